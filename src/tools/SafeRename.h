#pragma once
// Renames that never replace an existing file. Every rename of the file tools goes
// through RenameNoReplace: a plain rename(2) silently destroys its target on Linux.
// Names are single path components inside one folder, so a file never leaves it.
// Results are errno values: 0 on success, EEXIST when the new name is taken.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <utility>

namespace brindle {

// The system calls the renames use, one virtual each, so that tests can fail or
// reroute any single step. Each returns 0 (or a descriptor) or -1 with errno set.
class RenameSystem {
public:
    virtual ~RenameSystem() = default;
    // renameat2(..., RENAME_NOREPLACE) within one folder.
    virtual int renameNoReplace(int dirFd, const char* from, const char* to);
    // Plain renameat; only ever used to replace a placeholder this code created.
    virtual int renameReplacing(int dirFd, const char* from, const char* to);
    virtual int link(int dirFd, const char* from, const char* to);
    virtual int unlink(int dirFd, const char* name);
    // Creates an empty file that did not exist (O_CREAT | O_EXCL) and closes it.
    virtual int createExclusive(int dirFd, const char* name);
    // fstatat without following a final symbolic link.
    virtual int stat(int dirFd, const char* name, struct stat* st);

    static RenameSystem& posix();
};

// Changes nothing: each call is played on a picture of the folder kept in memory over
// its real entries, so that a dry run goes through the very code of the real run and
// meets the same names taken, the same batch collisions and the same refusals.
class SimulatedRenameSystem : public RenameSystem {
public:
    int renameNoReplace(int dirFd, const char* from, const char* to) override;
    int renameReplacing(int dirFd, const char* from, const char* to) override;
    int link(int dirFd, const char* from, const char* to) override;
    int unlink(int dirFd, const char* name) override;
    int createExclusive(int dirFd, const char* name) override;
    int stat(int dirFd, const char* name, struct stat* st) override;

private:
    // 0, or the errno a change of the folder's entries would meet.
    static int folderUnwritable(int dirFd);
    int move(int dirFd, const char* from, const char* to, bool replacing);

    std::map<std::string, std::optional<struct stat>> changed_; // name -> entry now (nullopt: gone)
    std::set<std::pair<dev_t, ino_t>> moved_;                   // real files that no longer have their real name
    ino_t nextInode_ = 0;
};

// Opens a folder for the *at calls; -1 with errno on failure.
int OpenFolder(const std::string& folder);

// Renames `from` to `to` inside the folder without ever replacing `to`:
// renameat2 with RENAME_NOREPLACE; where the file system refuses the flag, link and
// unlink; where it has no hard links either, an exclusively created placeholder that
// the file is renamed over. Returns 0 or an errno value (EEXIST: `to` is taken).
int RenameNoReplace(int dirFd, const std::string& from, const std::string& to,
                    RenameSystem& sys = RenameSystem::posix());
int RenameNoReplace(const std::string& folder, const std::string& from, const std::string& to,
                    RenameSystem& sys = RenameSystem::posix());

// Renames through a unique hidden name in the same folder, for a new name that the
// file system takes to be the file's own name (a change of letter case on a
// case-insensitive mount). If the second step fails the first is undone; if even the
// undo fails, *leftOver receives the hidden name the file now has.
int RenameChangingCase(int dirFd, const std::string& from, const std::string& to,
                       RenameSystem& sys = RenameSystem::posix(), std::string* leftOver = nullptr);

// A unique-looking hidden name in the folder's namespace that keeps `name`'s extension.
std::string HiddenWorkName(const std::string& name);

} // namespace brindle
