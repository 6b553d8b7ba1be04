#pragma once
// Makes a file unwritable for the length of a test: by its permission bits, or, for
// the superuser whom those do not bind, by the file system's immutable flag. Tests
// skip when neither is possible.

#include <fcntl.h>
#include <linux/fs.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brindle::test {

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(std::string path) : path_(std::move(path))
    {
        if (::geteuid() != 0) {
            ok_ = ::chmod(path_.c_str(), 0444) == 0;
            return;
        }
        immutable_ = setImmutable(true);
        ok_ = immutable_;
    }
    ~ReadOnlyFile()
    {
        if (immutable_)
            setImmutable(false);
        else
            ::chmod(path_.c_str(), 0644);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // False when the file could not be made unwritable here.
    bool ok() const { return ok_; }

private:
    bool setImmutable(bool on)
    {
        int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    std::string path_;
    bool ok_ = false;
    bool immutable_ = false;
};

} // namespace brindle::test
