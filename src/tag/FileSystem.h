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

    // The process-wide POSIX implementation.
    static FileSystem& posix();
};

} // namespace brindle
