#include "FileReader.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>

namespace brindle {

FileReader::FileReader(FileSystem& fs, const std::string& path) : fs_(fs)
{
    fd_ = fs_.open(path, O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    struct stat st{};
    if (fs_.fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = S_ISDIR(st.st_mode) ? EISDIR : (errno ? errno : EINVAL);
        fs_.close(fd_);
        fd_ = -1;
        return;
    }
    length_ = st.st_size;
    readInto(head_, 0, static_cast<std::size_t>(std::min<std::int64_t>(length_, kHeadSize)));
}

FileReader::~FileReader()
{
    if (fd_ >= 0)
        fs_.close(fd_);
}

void FileReader::readInto(std::string& out, std::int64_t offset, std::size_t count)
{
    out.clear();
    if (fd_ < 0 || offset < 0 || offset >= length_)
        return;
    count = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count), length_ - offset));
    if (offset + static_cast<std::int64_t>(count) <= static_cast<std::int64_t>(head_.size()) && &out != &head_) {
        out.assign(head_, static_cast<std::size_t>(offset), count);
        return;
    }
    out.resize(count);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = fs_.pread(fd_, out.data() + done, count - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    out.resize(done);
}

std::string_view FileReader::read(std::int64_t offset, std::size_t count)
{
    if (fd_ < 0 || offset < 0 || offset >= length_)
        return {};
    count = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count), length_ - offset));
    if (offset + static_cast<std::int64_t>(count) <= static_cast<std::int64_t>(head_.size()))
        return std::string_view(head_).substr(static_cast<std::size_t>(offset), count);
    readInto(scratch_, offset, count);
    return scratch_;
}

} // namespace brindle
