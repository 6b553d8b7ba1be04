#include "FileReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace brindle {

FileReader::FileReader(FileSystem& fs, const std::string& path)
    : fs_(fs), ownBuffers_(std::make_unique<ReadBuffers>()), buffers_(*ownBuffers_)
{
    open(path);
}

FileReader::FileReader(FileSystem& fs, const std::string& path, ReadBuffers& buffers) : fs_(fs), buffers_(buffers)
{
    open(path);
}

FileReader::FileReader(FileSystem& fs, int fd, ReadBuffers& buffers)
    : fs_(fs), buffers_(buffers), fd_(fd), ownsFd_(false)
{
    buffers_.head.resize(0);
    struct stat st {};
    if (fs_.fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = st.st_mode != 0 ? kNotRegularFile : (errno ? errno : EIO);
        fd_ = -1;
        return;
    }
    start(st);
}

Status FileReader::status() const
{
    if (error_ == 0)
        return {};
    return error_ == kNotRegularFile ? Status::Failed("not a regular file")
                                     : Status::FromErrno("cannot be read", error_);
}

void FileReader::open(const std::string& path)
{
    buffers_.head.resize(0);
    // Non-blocking, so that a FIFO cannot hold the open; only a regular file is read.
    // Reading tags is not using the file: its access time stays where it is, where
    // the system lets the reader ask for that (owner or root).
    fd_ = fs_.open(path, O_RDONLY | O_NONBLOCK | O_NOATIME | O_CLOEXEC);
    if (fd_ < 0 && errno == EPERM)
        fd_ = fs_.open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = errno ? errno : EIO;
        return;
    }
    struct stat st {};
    if (fs_.fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || fs_.clearNonBlocking(fd_) != 0) {
        error_ = S_ISDIR(st.st_mode)                       ? EISDIR
                 : st.st_mode != 0 && !S_ISREG(st.st_mode) ? kNotRegularFile
                                                           : (errno ? errno : EIO);
        fs_.close(fd_);
        fd_ = -1;
        return;
    }
    start(st);
}

void FileReader::start(const struct stat& st)
{
    identity_ = FileIdentity::of(st);
    length_ = st.st_size;
    auto headLength = static_cast<std::size_t>(std::min<std::int64_t>(length_, kHeadSize));
    buffers_.head.resize(headLength);
    buffers_.head.resize(fill(buffers_.head.data(), 0, headLength));
}

FileReader::~FileReader()
{
    if (fd_ >= 0 && ownsFd_)
        fs_.close(fd_);
}

std::size_t FileReader::fill(char* dest, std::int64_t offset, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = fs_.pread(fd_, dest + done, count - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::string_view FileReader::readInto(ByteBuffer& out, std::int64_t offset, std::size_t count)
{
    if (fd_ < 0 || offset < 0 || offset >= length_) {
        out.resize(0);
        return {};
    }
    count = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count), length_ - offset));
    out.resize(count);
    std::string_view head = buffers_.head.view();
    std::size_t fromHead = 0;
    if (offset < static_cast<std::int64_t>(head.size())) {
        fromHead = std::min(count, head.size() - static_cast<std::size_t>(offset));
        std::copy_n(head.data() + offset, fromHead, out.data());
    }
    if (fromHead < count)
        out.resize(fromHead +
                   fill(out.data() + fromHead, offset + static_cast<std::int64_t>(fromHead), count - fromHead));
    return out.view();
}

void FileReader::readInto(std::string& out, std::int64_t offset, std::size_t count)
{
    out.assign(readInto(buffers_.scratch, offset, count));
}

std::string_view FileReader::read(std::int64_t offset, std::size_t count)
{
    if (fd_ < 0 || offset < 0 || offset >= length_)
        return {};
    count = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count), length_ - offset));
    std::string_view head = buffers_.head.view();
    if (offset + static_cast<std::int64_t>(count) <= static_cast<std::int64_t>(head.size()))
        return head.substr(static_cast<std::size_t>(offset), count);
    // Reads near the end of the file come from the cached tail.
    if (length_ - offset <= static_cast<std::int64_t>(kTailSize)) {
        if (tailOffset_ < 0) {
            tailOffset_ = std::max<std::int64_t>(0, length_ - static_cast<std::int64_t>(kTailSize));
            readInto(buffers_.tail, tailOffset_, static_cast<std::size_t>(length_ - tailOffset_));
        }
        std::string_view tail = buffers_.tail.view();
        auto at = static_cast<std::size_t>(offset - tailOffset_);
        if (at + count <= tail.size())
            return tail.substr(at, count);
    }
    return readInto(buffers_.scratch, offset, count);
}

} // namespace brindle
