#include "SafeRewrite.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <unistd.h>

namespace brindle {

namespace {

// Plain reads and writes never hold more than this in memory, whatever the file's size.
constexpr std::size_t kCopyChunk = 1 << 20;
// Upper bound of one copy_file_range call (the kernel stops near 2 GiB anyway).
constexpr std::size_t kKernelChunk = std::size_t{1} << 30;
// Name clashes come from other writers of the same second; a few retries settle them.
constexpr int kNameAttempts = 100;
// Returned by the copy when its source ends before the range does.
constexpr int kSourceEnded = -1;

std::atomic<unsigned long> temporaryCounter{0};

std::string errorText(int err)
{
    if (err == kSourceEnded)
        return "unexpected end of file";
    char buf[256];
    return ::strerror_r(err, buf, sizeof buf);
}

// errno after a failed call, never 0 (a misbehaving file system layer must not look like success).
int lastError()
{
    return errno != 0 ? errno : EIO;
}

std::string localStamp()
{
    char buf[80] = "00000000000000";
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    if (::localtime_r(&now, &tm) != nullptr)
        std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                      tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

class Rewriter {
public:
    Rewriter(FileSystem& fs, const std::string& path, const RewritePlan& plan) noexcept
        : fs_(fs), path_(path), plan_(plan)
    {
    }
    ~Rewriter()
    {
        closeFd(tfd_);
        closeFd(fd_);
    }
    Rewriter(const Rewriter&) = delete;
    Rewriter& operator=(const Rewriter&) = delete;

    RewriteResult run();
    RewriteResult abandon() noexcept;

private:
    std::string createTemporary();
    std::string fillTemporary();
    std::string reserveRoom(std::uint64_t oldLength);
    std::string refill();
    std::string removeTemporary();
    RewriteResult failed(std::string reason);
    RewriteResult failedBeforeRefill(std::string reason);

    int copyRange(int in, std::uint64_t inOffset, int out, std::uint64_t outOffset, std::uint64_t length);
    int writeAll(int fd, const char* data, std::size_t size, std::uint64_t offset);
    void closeFd(int& fd) noexcept
    {
        if (fd >= 0)
            fs_.close(fd);
        fd = -1;
    }

    FileSystem& fs_;
    const std::string& path_;
    const RewritePlan& plan_;
    int fd_ = -1;
    int tfd_ = -1;
    std::string tempPath_;     // set only once this call has created the file
    bool refillStarted_ = false;
    bool kernelCopy_ = true;
    std::uint64_t oldLength_ = 0;
    std::uint64_t newLength_ = 0;
    struct timespec times_[2]{};
    int timesError_ = 0;
    std::unique_ptr<char[]> buffer_;
};

RewriteResult Rewriter::failed(std::string reason)
{
    RewriteResult result;
    result.reason = std::move(reason);
    return result;
}

RewriteResult Rewriter::failedBeforeRefill(std::string reason)
{
    closeFd(tfd_);
    if (std::string leftover = removeTemporary(); !leftover.empty())
        reason += "; " + leftover;
    return failed(std::move(reason));
}

RewriteResult Rewriter::run()
{
    // Opening for writing comes first of all: a read-only file or file system
    // fails here, before anything exists or has changed.
    fd_ = fs_.open(path_, O_RDWR | O_CLOEXEC);
    if (fd_ < 0)
        return failed("cannot open " + path_ + " for writing: " + errorText(lastError()));
    struct stat st{};
    if (fs_.fstat(fd_, &st) != 0)
        return failed("cannot read the attributes of " + path_ + ": " + errorText(lastError()));
    if (!S_ISREG(st.st_mode))
        return failed("cannot write " + path_ + ": not a regular file");
    oldLength_ = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t oldLength = oldLength_;
    if (plan_.audioBegin > plan_.audioEnd || plan_.audioEnd > oldLength)
        return failed("cannot write " + path_ + ": the audio range " + std::to_string(plan_.audioBegin) + "-" +
                      std::to_string(plan_.audioEnd) + " lies outside its " + std::to_string(oldLength) + " bytes");
    const std::uint64_t limit = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
    const std::uint64_t audioLength = plan_.audioEnd - plan_.audioBegin;
    if (plan_.head.size() > limit - audioLength || plan_.tail.size() > limit - audioLength - plan_.head.size())
        return failed("cannot write " + path_ + ": the new content is too large");
    newLength_ = plan_.head.size() + audioLength + plan_.tail.size();
    times_[0] = st.st_atim;
    times_[1] = st.st_mtim;

    if (std::string error = createTemporary(); !error.empty())
        return failed(std::move(error));
    if (std::string error = fillTemporary(); !error.empty())
        return failedBeforeRefill(std::move(error));
    if (std::string error = reserveRoom(oldLength); !error.empty())
        return failedBeforeRefill(std::move(error));

    // From here on the original may be partly overwritten until a refill succeeds;
    // the temporary copy is complete and on disk, so it is the way back.
    refillStarted_ = true;
    if (std::string error = refill(); !error.empty()) {
        if (error = refill(); !error.empty()) {
            closeFd(tfd_);
            RewriteResult result = failed(error + "; the new content is kept in " + tempPath_);
            result.keptTempPath = tempPath_;
            return result;
        }
    }
    if (timesError_ != 0) {
        // The content is complete already; one more try, flushed so the times last too.
        if (fs_.futimens(fd_, times_) == 0 && fs_.fsync(fd_) == 0)
            timesError_ = 0;
        else
            timesError_ = lastError();
    }
    closeFd(fd_);
    closeFd(tfd_);
    std::string leftover = removeTemporary();
    if (timesError_ != 0) {
        std::string reason = path_ + " was written but its times could not be restored: " + errorText(timesError_);
        if (!leftover.empty())
            reason += "; " + leftover;
        return failed(std::move(reason));
    }
    RewriteResult result;
    result.ok = true;
    result.reason = std::move(leftover);
    return result;
}

RewriteResult Rewriter::abandon() noexcept
{
    RewriteResult result;
    try {
        closeFd(tfd_);
        if (refillStarted_ && !tempPath_.empty()) {
            result.keptTempPath = tempPath_;
            result.reason = "cannot write " + path_ + ": out of memory; the new content is kept in " + tempPath_;
        } else {
            if (!tempPath_.empty())
                fs_.unlink(tempPath_);
            result.reason = "cannot write " + path_ + ": out of memory";
        }
    } catch (...) {
        result.reason.clear();
    }
    return result;
}

std::string Rewriter::createTemporary()
{
    std::string prefix = TemporaryFolder();
    if (prefix.back() != '/')
        prefix += '/';
    prefix += "mp3" + localStamp() + "-" + std::to_string(::getpid()) + "-";
    std::string candidate;
    int error = EEXIST;
    for (int attempt = 0; attempt < kNameAttempts && error == EEXIST; ++attempt) {
        candidate = prefix + std::to_string(++temporaryCounter) + ".mp3";
        // O_EXCL: a file of that name belongs to someone else and is never reused
        // (O_CREAT|O_EXCL does not follow a planted symbolic link either).
        tfd_ = fs_.open(candidate, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (tfd_ >= 0) {
            tempPath_ = candidate;
            return {};
        }
        error = lastError();
    }
    return "cannot create temporary file " + candidate + ": " + errorText(error);
}

std::string Rewriter::fillTemporary()
{
    const std::string& head = plan_.head;
    const std::string& tail = plan_.tail;
    const std::uint64_t audioLength = plan_.audioEnd - plan_.audioBegin;
    if (int e = writeAll(tfd_, head.data(), head.size(), 0))
        return "cannot write temporary file " + tempPath_ + ": " + errorText(e);
    if (int e = copyRange(fd_, plan_.audioBegin, tfd_, head.size(), audioLength))
        return "cannot copy the audio of " + path_ + " into temporary file " + tempPath_ + ": " + errorText(e);
    if (int e = writeAll(tfd_, tail.data(), tail.size(), head.size() + audioLength))
        return "cannot write temporary file " + tempPath_ + ": " + errorText(e);
    struct stat st{};
    if (fs_.fstat(tfd_, &st) != 0)
        return "cannot read the attributes of temporary file " + tempPath_ + ": " + errorText(lastError());
    if (static_cast<std::uint64_t>(st.st_size) != newLength_)
        return "temporary file " + tempPath_ + " holds " + std::to_string(st.st_size) + " bytes instead of " +
               std::to_string(newLength_);
    if (fs_.fsync(tfd_) != 0)
        return "cannot flush temporary file " + tempPath_ + ": " + errorText(lastError());
    return {};
}

std::string Rewriter::reserveRoom(std::uint64_t oldLength)
{
    if (newLength_ == 0)
        return {};
    const int e = fs_.fallocate(fd_, 0, static_cast<off_t>(newLength_));
    if (e == 0)
        return {};
    if (e != EOPNOTSUPP && e != ENOSYS && e != EINVAL)
        return "cannot reserve " + std::to_string(newLength_) + " bytes for " + path_ + ": " + errorText(e);
    // The file system cannot reserve; counting its free blocks is the next best check.
    if (newLength_ <= oldLength)
        return {};
    struct statvfs vfs{};
    if (fs_.fstatvfs(fd_, &vfs) != 0)
        return "cannot read the free space for " + path_ + ": " + errorText(lastError());
    const std::uint64_t blockSize = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
    const std::uint64_t blocks = vfs.f_bavail;
    const std::uint64_t available = blockSize != 0 && blocks > std::numeric_limits<std::uint64_t>::max() / blockSize
                                        ? std::numeric_limits<std::uint64_t>::max()
                                        : blocks * blockSize;
    const std::uint64_t growth = newLength_ - oldLength;
    if (growth > available)
        return "cannot write " + path_ + ": " + errorText(ENOSPC) + " (" + std::to_string(growth) + " more bytes needed, " +
               std::to_string(available) + " free)";
    return {};
}

std::string Rewriter::refill()
{
    // Overwriting and then cutting the end keeps the blocks the file already has:
    // nothing is freed and allocated again, and the file is never empty on disk.
    // Only a shrinking file is cut; a growing one reaches its length by the copy
    // alone, so the length check below also catches a copy that came up short.
    timesError_ = 0;
    if (int e = copyRange(tfd_, 0, fd_, 0, newLength_))
        return "cannot write " + path_ + ": " + errorText(e);
    if (oldLength_ > newLength_ && fs_.ftruncate(fd_, static_cast<off_t>(newLength_)) != 0)
        return "cannot truncate " + path_ + ": " + errorText(lastError());
    // Before the flush, so that one flush covers the times too.
    if (fs_.futimens(fd_, times_) != 0)
        timesError_ = lastError();
    if (fs_.fsync(fd_) != 0)
        return "cannot flush " + path_ + ": " + errorText(lastError());
    struct stat st{};
    if (fs_.fstat(fd_, &st) != 0)
        return "cannot read the attributes of " + path_ + " after writing: " + errorText(lastError());
    if (static_cast<std::uint64_t>(st.st_size) != newLength_)
        return path_ + " holds " + std::to_string(st.st_size) + " bytes after writing instead of " +
               std::to_string(newLength_);
    return {};
}

std::string Rewriter::removeTemporary()
{
    if (tempPath_.empty())
        return {};
    int error = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (fs_.unlink(tempPath_) == 0)
            return {};
        error = lastError();
        if (error == ENOENT)
            return {};
    }
    return "temporary file " + tempPath_ + " could not be removed: " + errorText(error);
}

int Rewriter::copyRange(int in, std::uint64_t inOffset, int out, std::uint64_t outOffset, std::uint64_t length)
{
    while (length > 0) {
        if (kernelCopy_) {
            off_t from = static_cast<off_t>(inOffset);
            off_t to = static_cast<off_t>(outOffset);
            const ssize_t n =
                fs_.copyFileRange(in, &from, out, &to, static_cast<std::size_t>(std::min<std::uint64_t>(length, kKernelChunk)));
            if (n > 0) {
                inOffset += static_cast<std::uint64_t>(n);
                outOffset += static_cast<std::uint64_t>(n);
                length -= static_cast<std::uint64_t>(n);
                continue;
            }
            if (n < 0) {
                const int e = lastError();
                if (e == EINTR)
                    continue;
                if (e != EXDEV && e != ENOSYS && e != EINVAL && e != EOPNOTSUPP)
                    return e;
            }
            // Not possible between these files, or nothing copied (some file systems
            // answer 0 instead of failing): plain reads and writes decide.
            kernelCopy_ = false;
            continue;
        }
        if (!buffer_)
            buffer_ = std::make_unique<char[]>(kCopyChunk);
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(length, kCopyChunk));
        const ssize_t n = fs_.pread(in, buffer_.get(), want, static_cast<off_t>(inOffset));
        if (n < 0) {
            const int e = lastError();
            if (e == EINTR)
                continue;
            return e;
        }
        if (n == 0)
            return kSourceEnded;
        if (int e = writeAll(out, buffer_.get(), static_cast<std::size_t>(n), outOffset))
            return e;
        inOffset += static_cast<std::uint64_t>(n);
        outOffset += static_cast<std::uint64_t>(n);
        length -= static_cast<std::uint64_t>(n);
    }
    return 0;
}

int Rewriter::writeAll(int fd, const char* data, std::size_t size, std::uint64_t offset)
{
    while (size > 0) {
        const ssize_t n = fs_.pwrite(fd, data, size, static_cast<off_t>(offset));
        if (n < 0) {
            const int e = lastError();
            if (e == EINTR)
                continue;
            return e;
        }
        if (n == 0)
            return EIO;
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return 0;
}

} // namespace

std::string TemporaryFolder()
{
    for (const char* name : {"TEMP", "TMPDIR"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return value;
    }
    return "/tmp";
}

RewriteResult RewriteFile(FileSystem& fs, const std::string& path, const RewritePlan& plan)
{
    Rewriter rewriter(fs, path, plan);
    try {
        return rewriter.run();
    } catch (...) {
        return rewriter.abandon();
    }
}

} // namespace brindle
