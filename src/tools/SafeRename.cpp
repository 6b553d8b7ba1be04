#include "SafeRename.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace brindle {

namespace {

int renameat2NoReplace(int dirFd, const char* from, const char* to)
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
    return ::renameat2(dirFd, from, dirFd, to, RENAME_NOREPLACE);
#elif defined(SYS_renameat2)
    return static_cast<int>(::syscall(SYS_renameat2, dirFd, from, dirFd, to, RENAME_NOREPLACE));
#else
    errno = ENOSYS;
    return -1;
#endif
}

int errnoOf(int rc) { return rc == 0 ? 0 : (errno != 0 ? errno : EIO); }

// Errors that mean "this file system cannot do hard links", as opposed to a real
// refusal such as EEXIST or EACCES.
bool noHardLinks(int err)
{
    return err == EPERM || err == EOPNOTSUPP || err == ENOTSUP || err == ENOSYS || err == EMLINK;
}

int renameByLink(int dirFd, const char* from, const char* to, RenameSystem& sys)
{
    if (sys.link(dirFd, from, to) == 0) {
        if (sys.unlink(dirFd, from) == 0)
            return 0;
        const int err = errnoOf(-1);
        // The file now has two names; drop the new one so nothing changed.
        sys.unlink(dirFd, to);
        return err;
    }
    const int linkErr = errnoOf(-1);
    if (!noHardLinks(linkErr))
        return linkErr;
    // Without hard links the only way to claim the name atomically is to create it.
    if (sys.createExclusive(dirFd, to) != 0)
        return errnoOf(-1);
    if (sys.renameReplacing(dirFd, from, to) == 0)
        return 0;
    const int err = errnoOf(-1);
    sys.unlink(dirFd, to);
    return err;
}

} // namespace

int RenameSystem::renameNoReplace(int dirFd, const char* from, const char* to)
{
    return renameat2NoReplace(dirFd, from, to);
}

int RenameSystem::renameReplacing(int dirFd, const char* from, const char* to)
{
    return ::renameat(dirFd, from, dirFd, to);
}

int RenameSystem::link(int dirFd, const char* from, const char* to) { return ::linkat(dirFd, from, dirFd, to, 0); }

int RenameSystem::unlink(int dirFd, const char* name) { return ::unlinkat(dirFd, name, 0); }

int RenameSystem::createExclusive(int dirFd, const char* name)
{
    const int fd = ::openat(dirFd, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    ::close(fd);
    return 0;
}

int RenameSystem::stat(int dirFd, const char* name, struct stat* st)
{
    return ::fstatat(dirFd, name, st, AT_SYMLINK_NOFOLLOW);
}

int SimulatedRenameSystem::folderUnwritable(int dirFd)
{
    return ::faccessat(dirFd, ".", W_OK | X_OK, 0) == 0 ? 0 : errnoOf(-1);
}

int SimulatedRenameSystem::stat(int dirFd, const char* name, struct stat* st)
{
    if (const auto it = changed_.find(name); it != changed_.end()) {
        if (!it->second) {
            errno = ENOENT;
            return -1;
        }
        *st = *it->second;
        return 0;
    }
    if (::fstatat(dirFd, name, st, AT_SYMLINK_NOFOLLOW) != 0)
        return -1;
    // A file system that ignores letter case finds a moved file under its old name
    // spelt otherwise; with one link only, that file is no longer there.
    if (st->st_nlink <= 1 && moved_.count({st->st_dev, st->st_ino})) {
        errno = ENOENT;
        return -1;
    }
    return 0;
}

int SimulatedRenameSystem::move(int dirFd, const char* from, const char* to, bool replacing)
{
    if (const int err = folderUnwritable(dirFd)) {
        errno = err;
        return -1;
    }
    struct stat source {};
    if (stat(dirFd, from, &source) != 0)
        return -1;
    struct stat target {};
    if (!replacing && stat(dirFd, to, &target) == 0) {
        errno = EEXIST;
        return -1;
    }
    moved_.insert({source.st_dev, source.st_ino});
    changed_[from] = std::nullopt;
    changed_[to] = source;
    return 0;
}

int SimulatedRenameSystem::renameNoReplace(int dirFd, const char* from, const char* to)
{
    return move(dirFd, from, to, false);
}

int SimulatedRenameSystem::renameReplacing(int dirFd, const char* from, const char* to)
{
    return move(dirFd, from, to, true);
}

int SimulatedRenameSystem::link(int dirFd, const char* from, const char* to)
{
    if (const int err = folderUnwritable(dirFd)) {
        errno = err;
        return -1;
    }
    struct stat source {};
    struct stat target {};
    if (stat(dirFd, from, &source) != 0)
        return -1;
    if (stat(dirFd, to, &target) == 0) {
        errno = EEXIST;
        return -1;
    }
    changed_[to] = source;
    return 0;
}

int SimulatedRenameSystem::unlink(int dirFd, const char* name)
{
    if (const int err = folderUnwritable(dirFd)) {
        errno = err;
        return -1;
    }
    struct stat st {};
    if (stat(dirFd, name, &st) != 0)
        return -1;
    changed_[name] = std::nullopt;
    return 0;
}

int SimulatedRenameSystem::createExclusive(int dirFd, const char* name)
{
    if (const int err = folderUnwritable(dirFd)) {
        errno = err;
        return -1;
    }
    struct stat st {};
    if (stat(dirFd, name, &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    st = {};
    st.st_mode = S_IFREG | 0600;
    st.st_nlink = 1;
    st.st_ino = --nextInode_; // from the top down, clear of real inode numbers
    changed_[name] = st;
    return 0;
}

RenameSystem& RenameSystem::posix()
{
    static RenameSystem instance;
    return instance;
}

int OpenFolder(const std::string& folder)
{
    return ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

int RenameNoReplace(int dirFd, const std::string& from, const std::string& to, RenameSystem& sys)
{
    if (from.empty() || to.empty() || from.find('/') != std::string::npos || to.find('/') != std::string::npos)
        return EINVAL;
    errno = 0;
    if (sys.renameNoReplace(dirFd, from.c_str(), to.c_str()) == 0)
        return 0;
    const int err = errnoOf(-1);
    if (err != EINVAL && err != ENOSYS && err != EOPNOTSUPP && err != ENOTSUP)
        return err;
    // EINVAL may also mean the names themselves are unusable; the fallback then fails
    // with its own reason, never by replacing anything.
    return renameByLink(dirFd, from.c_str(), to.c_str(), sys);
}

int RenameNoReplace(const std::string& folder, const std::string& from, const std::string& to, RenameSystem& sys)
{
    const int dirFd = OpenFolder(folder);
    if (dirFd < 0)
        return errnoOf(-1);
    const int rc = RenameNoReplace(dirFd, from, to, sys);
    ::close(dirFd);
    return rc;
}

std::string HiddenWorkName(const std::string& name)
{
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = std::random_device{}();
    const auto now = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::mt19937_64 gen(seed ^ now ^ (static_cast<unsigned long long>(counter++) << 32) ^
                        static_cast<unsigned long long>(::getpid()));
    char id[17];
    std::snprintf(id, sizeof id, "%016llx", static_cast<unsigned long long>(gen()));
    std::string ext;
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && name.size() - dot <= 16)
        ext = name.substr(dot);
    return ".brindle-" + std::string(id, 12) + ext;
}

int RenameChangingCase(int dirFd, const std::string& from, const std::string& to, RenameSystem& sys,
                       std::string* leftOver)
{
    if (leftOver)
        leftOver->clear();
    std::string work;
    int rc = EEXIST;
    for (int attempt = 0; attempt < 50 && rc == EEXIST; ++attempt) {
        work = HiddenWorkName(to);
        rc = RenameNoReplace(dirFd, from, work, sys);
    }
    if (rc != 0)
        return rc;
    rc = RenameNoReplace(dirFd, work, to, sys);
    if (rc == 0)
        return 0;
    if (RenameNoReplace(dirFd, work, from, sys) != 0 && leftOver)
        *leftOver = work;
    return rc;
}

} // namespace brindle
