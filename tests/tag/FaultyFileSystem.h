#pragma once
// A file system that passes every call to another one but can make the k-th call
// (counting from 1) fail with a chosen errno, once or from then on. It also counts
// and names the calls, so a test can first count the calls of a clean run and then
// fail each of them in turn.

#include "tag/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace brindle::test {

class FaultyFileSystem : public FileSystem {
public:
    enum class Mode { Once, FromThenOn };

    explicit FaultyFileSystem(FileSystem& inner = FileSystem::posix()) : inner_(inner) {}

    // Fail call number k (1-based) with err; k = 0 disarms.
    void failAt(int k, int err, Mode mode = Mode::Once)
    {
        failAt_ = k;
        error_ = err;
        mode_ = mode;
    }
    // Fail every call of the given operation ("open", "pwrite", ...) with err.
    void failEvery(std::string op, int err)
    {
        failOp_ = std::move(op);
        failOpError_ = err;
    }

    // copy_file_range answers ENOSYS, so the plain read/write path runs.
    bool noKernelCopy = false;
    // fsync succeeds without waiting for the disk (for sweeps that check the order
    // of the steps, not durability; failures are still injected).
    bool skipFlush = false;
    // Reads and writes move at most this many bytes per call (0: no limit).
    std::size_t maxTransfer = 0;
    // Call number k, a pwrite or copyFileRange, reports success but writes nothing:
    // a lost write that only a length check can catch.
    int loseWriteAt = 0;
    // Pretends the file system has only this many free blocks (of f_frsize bytes).
    std::optional<fsblkcnt_t> availableBlocks;
    // Called before each operation with its name; may run other work in between.
    std::function<void(const std::string& op)> beforeCall;

    int calls() const { return static_cast<int>(log_.size()); }
    const std::vector<std::string>& log() const { return log_; }
    // Per call, the descriptor it worked on (written to, for copyFileRange; the
    // result, for open; -1 for unlink).
    const std::vector<int>& fds() const { return fds_; }
    std::size_t largestTransfer() const { return largestTransfer_; }
    int injected() const { return injected_; }
    // Paths passed to open with O_CREAT, whether the call succeeded or not.
    const std::vector<std::string>& created() const { return created_; }

    int open(const std::string& path, int flags, mode_t mode = 0) override
    {
        if (flags & O_CREAT)
            created_.push_back(path);
        if (fails("open"))
            return -1;
        const int fd = inner_.open(path, flags, mode);
        fds_.back() = fd;
        return fd;
    }
    int close(int fd) override
    {
        // Linux releases the descriptor even when close reports an error.
        const bool fail = fails("close", fd);
        const int err = errno;
        const int r = inner_.close(fd);
        if (fail) {
            errno = err;
            return -1;
        }
        return r;
    }
    ssize_t pread(int fd, void* buf, std::size_t count, off_t offset) override
    {
        if (fails("pread", fd))
            return -1;
        count = limit(count);
        return inner_.pread(fd, buf, count, offset);
    }
    ssize_t pwrite(int fd, const void* buf, std::size_t count, off_t offset) override
    {
        if (fails("pwrite", fd))
            return -1;
        count = limit(count);
        if (calls() == loseWriteAt)
            return static_cast<ssize_t>(count);
        return inner_.pwrite(fd, buf, count, offset);
    }
    int fstat(int fd, struct stat* st) override { return fails("fstat", fd) ? -1 : inner_.fstat(fd, st); }
    int fstatvfs(int fd, struct statvfs* st) override
    {
        if (fails("fstatvfs", fd) || inner_.fstatvfs(fd, st) != 0)
            return -1;
        if (availableBlocks)
            st->f_bavail = *availableBlocks;
        return 0;
    }
    int fsync(int fd) override
    {
        if (fails("fsync", fd))
            return -1;
        return skipFlush ? 0 : inner_.fsync(fd);
    }
    int ftruncate(int fd, off_t length) override { return fails("ftruncate", fd) ? -1 : inner_.ftruncate(fd, length); }
    int fallocate(int fd, off_t offset, off_t length) override
    {
        return fails("fallocate", fd) ? errno : inner_.fallocate(fd, offset, length);
    }
    ssize_t copyFileRange(int fdIn, off_t* offIn, int fdOut, off_t* offOut, std::size_t count) override
    {
        if (fails("copyFileRange", fdOut))
            return -1;
        if (noKernelCopy) {
            errno = ENOSYS;
            return -1;
        }
        count = limit(count);
        if (calls() == loseWriteAt)
            return static_cast<ssize_t>(count);
        return inner_.copyFileRange(fdIn, offIn, fdOut, offOut, count);
    }
    int futimens(int fd, const struct timespec times[2]) override
    {
        return fails("futimens", fd) ? -1 : inner_.futimens(fd, times);
    }
    int unlink(const std::string& path) override { return fails("unlink") ? -1 : inner_.unlink(path); }
    int lock(int fd, int operation) override { return fails("lock", fd) ? -1 : inner_.lock(fd, operation); }
    int clearNonBlocking(int fd) override { return fails("clearNonBlocking", fd) ? -1 : inner_.clearNonBlocking(fd); }
    int mkdir(const std::string& path, mode_t mode) override { return fails("mkdir") ? -1 : inner_.mkdir(path, mode); }
    int listFolder(const std::string& path, std::vector<std::string>& names) override
    {
        return fails("listFolder") ? errno : inner_.listFolder(path, names);
    }

private:
    bool fails(const char* op, int fd = -1)
    {
        if (beforeCall)
            beforeCall(op);
        log_.emplace_back(op);
        fds_.push_back(fd);
        const int k = calls();
        bool fail = false;
        int err = error_;
        if (failAt_ > 0)
            fail = mode_ == Mode::Once ? k == failAt_ : k >= failAt_;
        if (!fail && !failOp_.empty() && failOp_ == op) {
            fail = true;
            err = failOpError_;
        }
        if (fail) {
            ++injected_;
            errno = err;
        }
        return fail;
    }
    std::size_t limit(std::size_t count)
    {
        if (maxTransfer != 0)
            count = std::min(count, maxTransfer);
        largestTransfer_ = std::max(largestTransfer_, count);
        return count;
    }

    FileSystem& inner_;
    int failAt_ = 0;
    int error_ = EIO;
    Mode mode_ = Mode::Once;
    std::string failOp_;
    int failOpError_ = EIO;
    std::vector<std::string> log_;
    std::vector<int> fds_;
    std::vector<std::string> created_;
    std::size_t largestTransfer_ = 0;
    int injected_ = 0;
};

} // namespace brindle::test
