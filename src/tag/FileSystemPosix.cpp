#include "FileSystem.h"

#include <cerrno>
#include <string_view>
#include <cstdio>
#include <fcntl.h>
#include <dirent.h>
#include <sys/file.h>
#include <unistd.h>

namespace brindle {

namespace {

class PosixFileSystem final : public FileSystem {
public:
    int open(const std::string& path, int flags, mode_t mode) override { return ::open(path.c_str(), flags, mode); }
    int close(int fd) override { return ::close(fd); }
    ssize_t pread(int fd, void* buf, std::size_t count, off_t offset) override
    {
        return ::pread(fd, buf, count, offset);
    }
    ssize_t pwrite(int fd, const void* buf, std::size_t count, off_t offset) override
    {
        return ::pwrite(fd, buf, count, offset);
    }
    int fstat(int fd, struct stat* st) override { return ::fstat(fd, st); }
    int fstatvfs(int fd, struct statvfs* st) override { return ::fstatvfs(fd, st); }
    int fsync(int fd) override { return ::fsync(fd); }
    int ftruncate(int fd, off_t length) override { return ::ftruncate(fd, length); }

    int fallocate(int fd, off_t offset, off_t length) override
    {
        // KEEP_SIZE: the blocks are reserved but the file's length, and so its
        // content as readers see it, stays as it is until the bytes are written.
        // posix_fallocate is avoided on purpose: where the file system cannot
        // reserve, glibc would emulate it by writing into the file.
        return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, offset, length) == 0 ? 0 : errno;
    }

    ssize_t copyFileRange(int fdIn, off_t* offIn, int fdOut, off_t* offOut, std::size_t count) override
    {
        return ::copy_file_range(fdIn, offIn, fdOut, offOut, count, 0);
    }

    int futimens(int fd, const struct timespec times[2]) override { return ::futimens(fd, times); }
    int unlink(const std::string& path) override { return ::unlink(path.c_str()); }
};

} // namespace

int FileSystem::lock(int fd, int operation) { return ::flock(fd, operation); }

int FileSystem::clearNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags < 0 ? -1 : ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

int FileSystem::mkdir(const std::string& path, mode_t mode) { return ::mkdir(path.c_str(), mode); }

int FileSystem::listFolder(const std::string& path, std::vector<std::string>& names)
{
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return errno ? errno : EIO;
    errno = 0;
    while (dirent* e = ::readdir(dir)) {
        const std::string_view name(e->d_name);
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    const int error = errno;
    ::closedir(dir);
    return error;
}

int FileSystem::fdatasync(int fd) { return ::fdatasync(fd); }

int FileSystem::renameNoReplace(const std::string& from, const std::string& to)
{
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
}

FileSystem& FileSystem::posix()
{
    static PosixFileSystem instance;
    return instance;
}

} // namespace brindle
