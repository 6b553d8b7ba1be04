#pragma once
// The one seam through which the tag engine touches the file system. Calls follow
// POSIX conventions (-1 and errno on failure) so the POSIX implementation is a thin
// pass-through and a test double can fail any single step.

#include <cstddef>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <time.h>

namespace brindle {

// What tells one state of a file from another: a change of content or attributes
// moves the change time, which programs cannot set back.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1; // -1: unknown
    struct timespec mtime {
    }, ctime{};

    static FileIdentity of(const struct stat& st) { return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim}; }
    bool known() const { return size >= 0; }
    bool operator==(const FileIdentity& o) const
    {
        return device == o.device && inode == o.inode && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual int open(const std::string& path, int flags, mode_t mode = 0) = 0;
    virtual int close(int fd) = 0;
    virtual ssize_t pread(int fd, void* buf, std::size_t count, off_t offset) = 0;
    virtual ssize_t pwrite(int fd, const void* buf, std::size_t count, off_t offset) = 0;
    virtual int fstat(int fd, struct stat* st) = 0;
    virtual int fstatvfs(int fd, struct statvfs* st) = 0;
    virtual int fsync(int fd) = 0;
    virtual int ftruncate(int fd, off_t length) = 0;
    // Reserves [offset, offset+length) so that running out of space shows before
    // any byte is overwritten; the file's length and content stay as they are.
    // Returns an errno value (0 on success), like posix_fallocate; EOPNOTSUPP where
    // the file system cannot reserve.
    virtual int fallocate(int fd, off_t offset, off_t length) = 0;
    // copy_file_range(2); may fail with EXDEV, ENOSYS, EINVAL, EOPNOTSUPP, in which
    // case callers fall back to pread/pwrite.
    virtual ssize_t copyFileRange(int fdIn, off_t* offIn, int fdOut, off_t* offOut, std::size_t count) = 0;
    virtual int futimens(int fd, const struct timespec times[2]) = 0;
    virtual int unlink(const std::string& path) = 0;

    // Not pure, so that test doubles need only replace what they test.
    // flock(2) on the open file description: two descriptors of one file, in one
    // process or two, exclude each other.
    virtual int lock(int fd, int operation);
    // Clears O_NONBLOCK, which files are opened with so that a FIFO cannot block the open.
    virtual int clearNonBlocking(int fd);
    virtual int mkdir(const std::string& path, mode_t mode);
    // The names in a folder, without "." and ".."; an errno value, 0 on success.
    virtual int listFolder(const std::string& path, std::vector<std::string>& names);
    // fdatasync(2): the content and what reading it back needs, not the times.
    virtual int fdatasync(int fd);
    // rename(2) that never replaces: fails with EEXIST where `to` exists.
    virtual int renameNoReplace(const std::string& from, const std::string& to);

    // The process-wide POSIX implementation.
    static FileSystem& posix();
};

} // namespace brindle
