#pragma once
// Puts a rewritten file on disk without ever losing it, even to a crash or a power
// loss. The file is opened, locked and checked before it is read; the new content
// goes into a copy that starts with a record naming the file (its path, identity and
// times); only when that copy is complete and flushed is the original refilled in
// place (same inode, owner and permissions), and its access and modification times
// are set back. A copy left by an interrupted save is found by the next run and used
// to finish the save (or removed when the file was never touched): see
// RecoverPendingSaves.

#include "FileSystem.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brindle {

// The new file is head + old[audioBegin, audioEnd) + tail.
struct RewritePlan {
    std::string head;             // the new leading tag; may be empty
    std::uint64_t audioBegin = 0; // range of the old file kept as it is
    std::uint64_t audioEnd = 0;
    std::string tail; // the new trailing tags; may be empty
};

struct RewriteResult {
    // True when the file holds the new content, flushed, with its times restored.
    bool ok = false;
    // Why not, naming the step and the system error. May also be set when ok is
    // true, for a leftover that did no harm (a copy that could not be removed).
    std::string reason;
    // Set when the original could not be refilled: this file holds the complete
    // new content (after its record) and was left in place so that nothing is
    // lost; the next run that meets the file finishes the save from it.
    std::string keptTempPath;
};

// One file opened for writing: only a regular file, opened without blocking, locked
// exclusively against other writers of this program (in this process or another)
// until it is destroyed. An interrupted save of the same file is finished first.
// Read the file through fd() after construction: rewrite() refuses when another
// program changed the file (device, inode, size, modification or change time) since.
class RewriteSession {
public:
    RewriteSession(FileSystem& fs, const std::string& path);
    ~RewriteSession();
    RewriteSession(const RewriteSession&) = delete;
    RewriteSession& operator=(const RewriteSession&) = delete;

    bool isOpen() const;
    // Why the file could not be opened for writing.
    const std::string& error() const;
    int fd() const;
    std::uint64_t length() const;
    // The file as it is now (locked, any interrupted save dealt with).
    FileIdentity identity() const;
    // What was done about an interrupted save of this file before it was opened.
    const std::vector<std::string>& notes() const;

    // Once per session. Never throws.
    RewriteResult rewrite(const RewritePlan& plan);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// While one lives, a finished save keeps its copy, its record spoilt and under a name
// of no file, for the next save in this process to write over: reusing the disk
// blocks of a copy costs far less than freeing them and finding new ones, save after
// save. Saves through fs also flush the journal folder on a thread of their own
// while they write their copy, so fs must bear calls from two threads at once.
// release() (or the destructor) deletes the kept copies.
class CopyReuse {
public:
    explicit CopyReuse(FileSystem& fs);
    ~CopyReuse();
    CopyReuse(const CopyReuse&) = delete;
    CopyReuse& operator=(const CopyReuse&) = delete;
    // Why kept copies could not be deleted; empty when all went.
    std::string release();

private:
    FileSystem& fs_;
    bool released_ = false;
};

// A session and its rewrite, for a plan that needs no read. Never throws.
RewriteResult RewriteFile(FileSystem& fs, const std::string& path, const RewritePlan& plan);

// Empty when a rewrite that keeps [audioStart, audioEnd) of a file of fileLength
// bytes keeps all its audio; else why the file must not be written. A tag whose
// size runs past the end of the file, or into the trailing tags, would take the
// audio with it.
std::string CheckAudioKept(std::int64_t audioStart, std::int64_t audioEnd, std::int64_t fileLength);

// $TEMP when set and not empty, else $TMPDIR when set and not empty, else /tmp.
std::string TemporaryFolder();

// Where the copies of saves in progress live, with their records: a folder that
// survives a restart, the same for every run of one user whatever its temporary
// folder: $XDG_STATE_HOME/brindle/saves, else ~/.local/state/brindle/saves, else
// (no home) brindle-saves-UID in the temporary folder.
std::string JournalFolder();

// --- Interrupted saves

struct PendingSave {
    std::string copyPath;     // in JournalFolder()
    std::uint64_t device = 0; // of the file being saved, from the copy's name
    std::uint64_t inode = 0;
};

// The copies in the journal folder: one look at one folder, however many files a
// run meets. Empty when there are none (or no folder yet).
std::vector<PendingSave> ListPendingSaves(FileSystem& fs);

// What a copy's record says; nullopt when it has no complete record.
struct PendingSaveRecord {
    std::string path; // the file being saved, absolute
    std::uint64_t contentOffset = 0;
    std::uint64_t newLength = 0;
};
std::optional<PendingSaveRecord> ReadPendingSave(FileSystem& fs, const std::string& copyPath);

enum class Recovery {
    None,      // nothing to do (the copy is gone, or its save is still running)
    Completed, // the file now holds the new content
    Undone,    // the save had not touched the file yet; the copy was removed
    Kept,      // could not be finished; the copy stays and the note says why
};

// Finishes or undoes the save of one copy, unless a live save still holds it;
// never waits. folder, when not empty, limits it to files in that folder (and below).
Recovery RecoverPendingSave(FileSystem& fs, const PendingSave& save, std::string& note, const std::string& folder = {});

// Lists the pending saves once and recovers those select accepts; returns one
// human-readable note per save dealt with. *kept counts the saves that could not be finished.
std::vector<std::string> RecoverPendingSaves(FileSystem& fs, const std::function<bool(const PendingSave&)>& select,
                                             const std::string& folder = {}, int* kept = nullptr);

} // namespace brindle
