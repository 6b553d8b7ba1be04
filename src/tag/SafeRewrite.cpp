#include "SafeRewrite.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

namespace brindle {

namespace {

// Plain reads and writes never hold more than this in memory, whatever the file's size.
constexpr std::size_t kCopyChunk = 1 << 20;
// Upper bound of one copy_file_range call (the kernel stops near 2 GiB anyway).
constexpr std::size_t kKernelChunk = std::size_t{1} << 30;
// Returned by the copy when its source ends before the range does.
constexpr int kSourceEnded = -1;
// The content of a copy starts on a block boundary after its record.
constexpr std::uint64_t kBlock = 4096;
constexpr char kMagic[] = "BRINDLE-SAVE 1\n";
constexpr char kSuffix[] = ".save";
// What a finished save's copy starts with once spoilt: of no more use, removed without a word.
constexpr char kSpent[] = "\0RINDLE-SAVE 1\n";

std::string errorText(int err)
{
    if (err == kSourceEnded)
        return "unexpected end of file";
    char buf[256];
    return ::strerror_r(err, buf, sizeof buf);
}

// errno after a failed call, never 0 (a misbehaving file system layer must not look like success).
int lastError() { return errno != 0 ? errno : EIO; }

// A fast 64-bit hash (the XXH64 construction) of the new content, kept in the
// record: after a crash it tells a complete copy from one whose blocks never
// reached the disk. Not a defence against tampering; the folder is private.
class ContentHash {
public:
    void update(const char* data, std::size_t size)
    {
        total_ += size;
        if (buffered_ > 0) {
            const std::size_t take = std::min(size, sizeof buffer_ - buffered_);
            std::memcpy(buffer_ + buffered_, data, take);
            buffered_ += take;
            data += take;
            size -= take;
            if (buffered_ < sizeof buffer_)
                return;
            stripe(buffer_);
            buffered_ = 0;
        }
        for (; size >= 32; data += 32, size -= 32)
            stripe(data);
        std::memcpy(buffer_, data, size);
        buffered_ = size;
    }
    void update(const std::string& s) { update(s.data(), s.size()); }

    std::uint64_t digest() const
    {
        std::uint64_t h = total_ >= 32 ? rotl(v_[0], 1) + rotl(v_[1], 7) + rotl(v_[2], 12) + rotl(v_[3], 18) : kP5;
        if (total_ >= 32)
            for (std::uint64_t v : v_)
                h = (h ^ round(0, v)) * kP1 + kP4;
        h += total_;
        const char* p = buffer_;
        std::size_t n = buffered_;
        for (; n >= 8; p += 8, n -= 8)
            h = rotl(h ^ round(0, read64(p)), 27) * kP1 + kP4;
        for (; n > 0; ++p, --n)
            h = rotl(h ^ (static_cast<unsigned char>(*p) * kP5), 11) * kP1;
        h ^= h >> 33;
        h *= kP2;
        h ^= h >> 29;
        h *= kP3;
        return h ^ (h >> 32);
    }

private:
    static constexpr std::uint64_t kP1 = 11400714785074694791ULL, kP2 = 14029467366897019727ULL,
                                   kP3 = 1609587929392839161ULL, kP4 = 9650029242287828579ULL,
                                   kP5 = 2870177450012600261ULL;
    static std::uint64_t rotl(std::uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }
    static std::uint64_t round(std::uint64_t acc, std::uint64_t in) { return rotl(acc + in * kP2, 31) * kP1; }
    static std::uint64_t read64(const char* p)
    {
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        return v;
    }
    void stripe(const char* p)
    {
        for (int i = 0; i < 4; ++i)
            v_[i] = round(v_[i], read64(p + std::ptrdiff_t{8} * i));
    }

    std::uint64_t v_[4] = {kP1 + kP2, kP2, 0, 0 - kP1};
    char buffer_[32];
    std::size_t buffered_ = 0;
    std::uint64_t total_ = 0;
};

// What a copy's first bytes say: "key value" lines, the path in hex (names are bytes),
// closed by a hash of the lines before it. A record without a content hash belongs to
// a copy still being written.
struct Record {
    std::string path;
    std::uint64_t device = 0, inode = 0, oldLength = 0, newLength = 0, offset = 0;
    std::optional<std::uint64_t> contentHash;
    timespec times[2]{};
};

std::string hex(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::uint64_t recordSpace(const std::string& path) { return (path.size() * 2 + 512 + kBlock - 1) / kBlock * kBlock; }

std::string encodeRecord(const Record& r)
{
    char line[160];
    std::string text = kMagic;
    text += "path " + hex(r.path) + "\n";
    std::snprintf(line, sizeof line,
                  "device %" PRIu64 "\ninode %" PRIu64 "\nold-length %" PRIu64 "\nnew-length %" PRIu64
                  "\noffset %" PRIu64 "\natime %lld %ld\nmtime %lld %ld\n",
                  r.device, r.inode, r.oldLength, r.newLength, r.offset, static_cast<long long>(r.times[0].tv_sec),
                  r.times[0].tv_nsec, static_cast<long long>(r.times[1].tv_sec), r.times[1].tv_nsec);
    text += line;
    if (r.contentHash) {
        std::snprintf(line, sizeof line, "content %016" PRIx64 "\n", *r.contentHash);
        text += line;
    }
    ContentHash h;
    h.update(text);
    std::snprintf(line, sizeof line, "check %016" PRIx64 "\n", h.digest());
    return text + line;
}

std::optional<Record> decodeRecord(std::string_view bytes)
{
    if (bytes.substr(0, sizeof kMagic - 1) != kMagic)
        return std::nullopt;
    const std::size_t check = bytes.find("\ncheck ");
    if (check == std::string_view::npos)
        return std::nullopt;
    ContentHash h;
    h.update(bytes.data(), check + 1);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%016" PRIx64 "\n", h.digest());
    if (bytes.substr(check + 7, 17) != expected)
        return std::nullopt;
    Record r;
    bool seen[8] = {};
    std::string_view rest = bytes.substr(sizeof kMagic - 1, check + 1 - (sizeof kMagic - 1));
    while (!rest.empty()) {
        const std::size_t eol = rest.find('\n');
        const std::string_view line = rest.substr(0, eol);
        rest.remove_prefix(eol + 1);
        const std::size_t space = line.find(' ');
        const std::string_view key = line.substr(0, space);
        const std::string value(line.substr(space + 1));
        char* end = nullptr;
        if (key == "path") {
            if (value.size() % 2)
                return std::nullopt;
            auto digit = [](char c) {
                return c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= '0' && c <= '9' ? c - '0' : -1;
            };
            for (std::size_t i = 0; i < value.size(); i += 2) {
                const int hi = digit(value[i]), lo = digit(value[i + 1]);
                if (hi < 0 || lo < 0)
                    return std::nullopt;
                r.path += static_cast<char>(hi * 16 + lo);
            }
            seen[0] = true;
        } else if (key == "atime" || key == "mtime") {
            timespec& t = r.times[key == "atime" ? 0 : 1];
            t.tv_sec = static_cast<time_t>(std::strtoll(value.c_str(), &end, 10));
            t.tv_nsec = std::strtol(end, nullptr, 10);
            seen[key == "atime" ? 6 : 7] = true;
        } else if (key == "content") {
            r.contentHash = std::strtoull(value.c_str(), nullptr, 16);
        } else {
            const std::uint64_t v = std::strtoull(value.c_str(), nullptr, 10);
            static const char* const keys[] = {"device", "inode", "old-length", "new-length", "offset"};
            std::uint64_t* fields[] = {&r.device, &r.inode, &r.oldLength, &r.newLength, &r.offset};
            for (int i = 0; i < 5; ++i)
                if (key == keys[i]) {
                    *fields[i] = v;
                    seen[i + 1] = true;
                }
        }
    }
    if (!std::all_of(std::begin(seen), std::end(seen), [](bool b) { return b; }) || r.path.empty() ||
        r.offset < kBlock || r.offset % kBlock != 0)
        return std::nullopt;
    return r;
}

std::string copyName(std::uint64_t device, std::uint64_t inode)
{
    char name[64];
    std::snprintf(name, sizeof name, "%" PRIx64 "-%" PRIx64 "%s", device, inode, kSuffix);
    return name;
}

std::string absolute(const std::string& path)
{
    if (!path.empty() && path[0] == '/')
        return path;
    std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    return cwd ? std::string(cwd.get()) + "/" + path : path;
}

// Flushes a folder's entries to disk; empty, or why not.
std::string flushFolder(FileSystem& fs, const std::string& folder)
{
    const int dfd = fs.open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0)
        return "cannot open the folder " + folder + ": " + errorText(lastError());
    const int synced = fs.fsync(dfd);
    const int err = lastError();
    fs.close(dfd);
    if (synced != 0)
        return "cannot flush the folder " + folder + ": " + errorText(err);
    return {};
}

// Every folder of the path, private where created here; empty, or why not. A folder
// made here is flushed into its parent, or a power loss could take it, and the copy
// about to be written into it, away.
std::string makeFolders(FileSystem& fs, const std::string& folder)
{
    for (std::size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        const std::string part = folder.substr(0, at);
        if (!part.empty()) {
            if (fs.mkdir(part, 0700) == 0) {
                const std::size_t slash = part.rfind('/');
                if (std::string why = flushFolder(fs, slash == 0 ? "/" : part.substr(0, slash)); !why.empty())
                    return why;
            } else if (errno != EEXIST) {
                return "cannot create the folder " + folder + " for its copy: " + errorText(lastError());
            }
        }
        if (at == std::string::npos)
            return {};
    }
}

// Repeats a call that a signal interrupted; otherwise returns what it returned
// (-1 with errno set on failure).
template <typename Call>
auto retryInterrupted(Call call) -> decltype(call())
{
    for (;;) {
        const auto r = call();
        if (r >= 0 || errno != EINTR)
            return r;
    }
}

int lockRetrying(FileSystem& fs, int fd, int operation)
{
    return retryInterrupted([&] { return fs.lock(fd, operation); });
}

// The flushes of one journal folder, shared by the saves of this process. A copy's
// name must be on disk before its file is touched, and one flush of the folder that
// starts after a name was made covers that name and every one made before: saves
// running at once wait on one flush instead of each on its own.
class FolderFlushes {
public:
    static FolderFlushes& of(const std::string& folder)
    {
        static std::mutex mutex;
        static std::map<std::string, std::unique_ptr<FolderFlushes>> all;
        std::lock_guard<std::mutex> lock(mutex);
        std::unique_ptr<FolderFlushes>& it = all[folder];
        if (!it)
            it = std::make_unique<FolderFlushes>();
        return *it;
    }

    // Call right after a name was made in the folder: what flushed() waits for.
    std::uint64_t named()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return ++named_;
    }

    // Returns once a flush of the folder that started after ticket was handed out
    // succeeded, running one where none is under way; empty, or why this call's
    // own flush failed (a failed flush covers nobody).
    std::string flushed(FileSystem& fs, const std::string& folder, std::uint64_t ticket)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (flushed_ >= ticket)
                return {};
            if (!running_) {
                running_ = true;
                const std::uint64_t covers = named_;
                lock.unlock();
                std::string error;
                try {
                    error = flushFolder(fs, folder);
                } catch (...) {
                    lock.lock();
                    running_ = false;
                    done_.notify_all();
                    throw;
                }
                lock.lock();
                running_ = false;
                if (error.empty())
                    flushed_ = std::max(flushed_, covers);
                done_.notify_all();
                if (!error.empty())
                    return error;
                continue;
            }
            done_.wait(lock);
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    std::uint64_t named_ = 0;   // tickets handed out
    std::uint64_t flushed_ = 0; // every ticket up to this one is on disk
    bool running_ = false;
};

// The copies kept for reuse (see CopyReuse). A kept copy is unlocked, its record
// spoilt, under the name of the file it last held: any run that meets that file may
// remove it, so this process locks it and checks it is still there before reuse.
class SpareCopies {
public:
    struct Spare {
        std::string path;
        int fd = -1;
    };

    static SpareCopies& get()
    {
        static SpareCopies pool;
        return pool;
    }

    void use(FileSystem& fs)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++users_;
        threaded_ = &fs;
    }
    // Whether saves through fs may flush the journal folder on a thread of their own.
    bool threaded(const FileSystem& fs)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return users_ > 0 && threaded_ == &fs;
    }
    std::vector<Spare> stopUsing()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (--users_ > 0)
            return {};
        threaded_ = nullptr;
        return std::move(spares_);
    }
    bool inUse()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return users_ > 0;
    }
    std::optional<Spare> take(const std::string& folder)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = spares_.begin(); it != spares_.end(); ++it)
            if (it->path.size() > folder.size() && it->path.compare(0, folder.size(), folder) == 0 &&
                it->path[folder.size()] == '/' && it->path.find('/', folder.size() + 1) == std::string::npos) {
                Spare spare = std::move(*it);
                spares_.erase(it);
                return spare;
            }
        return std::nullopt;
    }
    bool give(Spare spare)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (users_ == 0 || spares_.size() >= kMaxSpares)
            return false;
        spares_.push_back(std::move(spare));
        return true;
    }

private:
    static constexpr std::size_t kMaxSpares = 64;
    std::mutex mutex_;
    int users_ = 0;
    const FileSystem* threaded_ = nullptr;
    std::vector<Spare> spares_;
};

// Positioned copies and writes, shared by the save and the recovery.
class Io {
public:
    explicit Io(FileSystem& fs) : fs(fs) {}
    FileSystem& fs;

    int writeAll(int fd, const char* data, std::size_t size, std::uint64_t offset)
    {
        while (size > 0) {
            const ssize_t n = retryInterrupted([&] { return fs.pwrite(fd, data, size, static_cast<off_t>(offset)); });
            if (n < 0)
                return lastError();
            if (n == 0)
                return EIO;
            data += n;
            size -= static_cast<std::size_t>(n);
            offset += static_cast<std::uint64_t>(n);
        }
        return 0;
    }

    // Reads [offset, offset + length) of fd in chunks; each chunk goes to sink
    // (which returns an errno value, 0 to go on).
    template <typename Sink>
    int readRange(int fd, std::uint64_t offset, std::uint64_t length, Sink sink)
    {
        while (length > 0) {
            const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(length, kCopyChunk));
            const ssize_t n = retryInterrupted(
                [&] { return fs.pread(fd, buffer(), want, static_cast<off_t>(offset)); });
            if (n < 0)
                return lastError();
            if (n == 0)
                return kSourceEnded;
            if (int e = sink(buffer(), static_cast<std::size_t>(n), offset))
                return e;
            offset += static_cast<std::uint64_t>(n);
            length -= static_cast<std::uint64_t>(n);
        }
        return 0;
    }

    int copyRange(int in, std::uint64_t inOffset, int out, std::uint64_t outOffset, std::uint64_t length)
    {
        while (length > 0 && kernelCopy_) {
            off_t from = static_cast<off_t>(inOffset);
            off_t to = static_cast<off_t>(outOffset);
            const ssize_t n = retryInterrupted([&] {
                return fs.copyFileRange(in, &from, out, &to,
                                        static_cast<std::size_t>(std::min<std::uint64_t>(length, kKernelChunk)));
            });
            if (n > 0) {
                inOffset += static_cast<std::uint64_t>(n);
                outOffset += static_cast<std::uint64_t>(n);
                length -= static_cast<std::uint64_t>(n);
                continue;
            }
            if (n < 0) {
                const int e = lastError();
                if (e != EXDEV && e != ENOSYS && e != EINVAL && e != EOPNOTSUPP)
                    return e;
            }
            // Not possible between these files, or nothing copied (some file systems
            // answer 0 instead of failing): plain reads and writes decide.
            kernelCopy_ = false;
        }
        const std::int64_t shift = static_cast<std::int64_t>(outOffset) - static_cast<std::int64_t>(inOffset);
        return readRange(in, inOffset, length, [&](const char* data, std::size_t n, std::uint64_t at) {
            return writeAll(out, data, n, static_cast<std::uint64_t>(static_cast<std::int64_t>(at) + shift));
        });
    }

    std::optional<std::uint64_t> hashRange(int fd, std::uint64_t offset, std::uint64_t length)
    {
        ContentHash h;
        if (readRange(fd, offset, length, [&](const char* data, std::size_t n, std::uint64_t) {
                h.update(data, n);
                return 0;
            }) != 0)
            return std::nullopt;
        return h.digest();
    }

    // Makes sure the file can hold newLength bytes before its content is
    // overwritten, so that running out of space shows while it is intact: the
    // blocks are reserved, or, where the file system cannot reserve, the file is
    // extended with zeros (and cut back to its length and times if that fails).
    std::string reserve(int fd, std::uint64_t length, std::uint64_t newLength, const timespec times[2])
    {
        if (newLength == 0)
            return {};
        const int e = fs.fallocate(fd, 0, static_cast<off_t>(newLength));
        if (e == 0)
            return {};
        if (e != EOPNOTSUPP && e != ENOSYS && e != EINVAL)
            return "cannot reserve " + std::to_string(newLength) + " bytes for it: " + errorText(e);
        if (newLength <= length)
            return {};
        // Counting the free blocks first refuses most hopeless cases without a write.
        struct statvfs vfs {};
        if (fs.fstatvfs(fd, &vfs) != 0)
            return "cannot read the free space for it: " + errorText(lastError());
        const std::uint64_t blockSize = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
        const std::uint64_t blocks = vfs.f_bavail;
        const std::uint64_t available = blockSize != 0 && blocks > std::numeric_limits<std::uint64_t>::max() / blockSize
                                            ? std::numeric_limits<std::uint64_t>::max()
                                            : blocks * blockSize;
        const std::uint64_t growth = newLength - length;
        if (growth > available)
            return "cannot be written: " + errorText(ENOSPC) + " (" + std::to_string(growth) + " more bytes needed, " +
                   std::to_string(available) + " free)";
        static const char zeros[64 * 1024] = {};
        int err = 0;
        for (std::uint64_t at = length; at < newLength && err == 0;) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(newLength - at, sizeof zeros));
            err = writeAll(fd, zeros, n, at);
            at += n;
        }
        if (err == 0)
            return {};
        std::string reason = "cannot be written: " + errorText(err) + " while making room for " +
                             std::to_string(newLength) + " bytes";
        if (fs.ftruncate(fd, static_cast<off_t>(length)) != 0)
            return reason + "; cutting it back to " + std::to_string(length) +
                   " bytes failed too: " + errorText(lastError());
        fs.futimens(fd, times);
        return reason;
    }

    // Copies the new content from the copy into the original, cuts what is left of
    // a longer old file, restores the times and flushes. Overwriting keeps the
    // blocks the file already has: it is never empty on disk.
    std::string refill(int fd, int cfd, std::uint64_t offset, std::uint64_t newLength, std::uint64_t oldLength,
                       const timespec times[2], int& timesError)
    {
        timesError = 0;
        if (int e = copyRange(cfd, offset, fd, 0, newLength))
            return "cannot be written: " + errorText(e);
        struct stat st {};
        if (fs.fstat(fd, &st) != 0)
            return "cannot read its attributes after writing: " + errorText(lastError());
        // Longer than either content: another program appended meanwhile, and
        // cutting the file would lose what it wrote.
        if (static_cast<std::uint64_t>(st.st_size) > std::max(oldLength, newLength))
            return "it grew to " + std::to_string(st.st_size) +
                   " bytes while it was being saved: another "
                   "program wrote to it";
        if (static_cast<std::uint64_t>(st.st_size) > newLength && fs.ftruncate(fd, static_cast<off_t>(newLength)) != 0)
            return "cannot be truncated: " + errorText(lastError());
        // Before the flush, so that one flush covers the times too.
        if (fs.futimens(fd, times) != 0)
            timesError = lastError();
        if (fs.fsync(fd) != 0)
            return "cannot be flushed: " + errorText(lastError());
        if (fs.fstat(fd, &st) != 0)
            return "cannot read its attributes after writing: " + errorText(lastError());
        if (static_cast<std::uint64_t>(st.st_size) != newLength)
            return "it holds " + std::to_string(st.st_size) + " bytes after writing instead of " +
                   std::to_string(newLength);
        return {};
    }

    // Removes a copy; where that fails its record is spoilt, so that no later run
    // puts an old save over whatever the file holds by then.
    std::string removeCopy(const std::string& copyPath, int cfd)
    {
        int error = 0;
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (fs.unlink(copyPath) == 0)
                return {};
            error = lastError();
            if (error == ENOENT)
                return {};
        }
        std::string reason = "the temporary copy " + copyPath + " could not be removed: " + errorText(error);
        if (cfd >= 0 && writeAll(cfd, kSpent, 1, 0) == 0 && fs.fsync(cfd) == 0)
            return reason + " (it is of no more use and may be deleted)";
        return reason;
    }

    void closeFd(int& fd) noexcept
    {
        if (fd >= 0)
            fs.close(fd);
        fd = -1;
    }

private:
    char* buffer()
    {
        if (!buffer_)
            buffer_ = std::make_unique<char[]>(kCopyChunk);
        return buffer_.get();
    }
    bool kernelCopy_ = true;
    std::unique_ptr<char[]> buffer_;
};

// Removes a kept copy unless another run is dealing with it (or already removed it).
std::string dropSpare(FileSystem& fs, Io& io, SpareCopies::Spare& spare)
{
    std::string leftover;
    struct stat st {};
    if (lockRetrying(fs, spare.fd, LOCK_EX | LOCK_NB) == 0 && fs.fstat(spare.fd, &st) == 0 && st.st_nlink > 0)
        leftover = io.removeCopy(spare.path, spare.fd);
    io.closeFd(spare.fd);
    return leftover;
}

std::optional<Record> readRecord(FileSystem& fs, int cfd)
{
    char bytes[std::size_t{2} * kBlock + std::size_t{8192} * 2];
    const ssize_t n = retryInterrupted([&] { return fs.pread(cfd, bytes, sizeof bytes, 0); });
    if (n <= 0)
        return std::nullopt;
    return decodeRecord(std::string_view(bytes, static_cast<std::size_t>(n)));
}

bool isUnder(const std::string& path, const std::string& folder)
{
    if (folder.empty())
        return true;
    std::string prefix = absolute(folder);
    while (prefix.size() > 1 && prefix.back() == '/')
        prefix.pop_back();
    if (prefix == "/")
        return true;
    return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 && path[prefix.size()] == '/';
}

bool isSpent(FileSystem& fs, int cfd)
{
    char start[sizeof kSpent - 1];
    return retryInterrupted([&] { return fs.pread(cfd, start, sizeof start, 0); }) ==
               static_cast<ssize_t>(sizeof start) &&
           std::memcmp(start, kSpent, sizeof start) == 0;
}

// Whether a copy's name is the one its record's file gives (see copyName).
bool namedAfter(const std::string& copyPath, const Record& record)
{
    const std::size_t slash = copyPath.rfind('/');
    const std::string name = copyPath.substr(slash == std::string::npos ? 0 : slash + 1);
    return name == copyName(record.device, record.inode);
}

// The recovery of one copy. ownFd is the original, opened and locked by the
// caller, or -1: then it is opened and locked here, and a save still running is
// left alone (nothing here ever waits for a lock another save holds).
Recovery recover(FileSystem& fs, const std::string& copyPath, int ownFd, const std::string& folder, std::string& note,
                 const std::string& ownPath = {})
{
    Io io(fs);
    int cfd = fs.open(copyPath, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (cfd < 0)
        return Recovery::None;
    struct Closer {
        Io& io;
        int& a;
        int b = -1;
        ~Closer()
        {
            io.closeFd(b);
            io.closeFd(a);
        }
    } closer{io, cfd};
    // A save running in this or another process holds its copy locked.
    if (lockRetrying(fs, cfd, ownFd >= 0 ? LOCK_EX : LOCK_EX | LOCK_NB) != 0)
        return Recovery::None;
    struct stat cst {};
    if (fs.fstat(cfd, &cst) != 0 || cst.st_nlink == 0 || !S_ISREG(cst.st_mode))
        return Recovery::None;
    const std::optional<Record> record = readRecord(fs, cfd);
    if (!record && isSpent(fs, cfd)) {
        // The copy of a finished save, kept for reuse or not removable then.
        if (fs.unlink(copyPath) != 0 && errno != ENOENT) {
            note = "the spent copy " + copyPath + " could not be removed: " + errorText(lastError());
            return Recovery::Kept;
        }
        return Recovery::Undone;
    }
    if (record && !namedAfter(copyPath, *record)) {
        // A copy kept for reuse whose spoilt record never reached the disk: its save
        // had finished before it was renamed, so it is of no more use.
        if (fs.unlink(copyPath) != 0 && errno != ENOENT) {
            note = "the spent copy " + copyPath + " could not be removed: " + errorText(lastError());
            return Recovery::Kept;
        }
        note = "removed " + copyPath + ", the spent copy of a save that had finished";
        return Recovery::Undone;
    }
    if (record && !isUnder(record->path, folder))
        return Recovery::None;
    const bool complete = record && record->contentHash &&
                          static_cast<std::uint64_t>(cst.st_size) >= record->offset + record->newLength &&
                          io.hashRange(cfd, record->offset, record->newLength) == record->contentHash;
    if (!complete) {
        // The file is touched only once its copy is complete and on disk: this save
        // never reached it.
        if (fs.unlink(copyPath) != 0 && errno != ENOENT) {
            note = "the unfinished copy " + copyPath +
                   " of an interrupted save could not be removed: " + errorText(lastError());
            return Recovery::Kept;
        }
        note = (record ? record->path + ": an interrupted save was undone; the file had not been changed yet"
                       : "removed " + copyPath +
                             ", the unfinished copy of a save interrupted before its file was changed");
        return Recovery::Undone;
    }
    const std::string& path = record->path;
    auto kept = [&](const std::string& why) {
        note = path + ": an interrupted save could not be finished (" + why + "); its new content is kept in " +
               copyPath + " (from byte " + std::to_string(record->offset) + ")";
        return Recovery::Kept;
    };
    int fd = ownFd;
    if (fd < 0) {
        fd = closer.b = fs.open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return kept("cannot open it for writing: " + errorText(lastError()));
    }
    struct stat st {};
    if (fs.fstat(fd, &st) != 0)
        return kept("cannot read its attributes: " + errorText(lastError()));
    if (!S_ISREG(st.st_mode) || st.st_dev != record->device || st.st_ino != record->inode)
        return kept("it is no longer the file that was being saved");
    // A file of another name with the same device and inode may be a new file that
    // reuses the number: only the name the save was for is finished without asking.
    if (ownFd >= 0 && absolute(ownPath) != path)
        return kept("it was being saved under this name; brindle-cli recover finishes it");
    if (ownFd < 0 && (fs.clearNonBlocking(fd) != 0 || lockRetrying(fs, fd, LOCK_EX | LOCK_NB) != 0))
        return errno == EWOULDBLOCK ? Recovery::None : kept("cannot lock it: " + errorText(lastError()));
    const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    if (size < std::min(record->oldLength, record->newLength) || size > std::max(record->oldLength, record->newLength))
        return kept("its length, " + std::to_string(size) + " bytes, shows it was changed since");
    if (size == record->newLength && io.hashRange(fd, 0, size) == record->contentHash) {
        if (fs.futimens(fd, record->times) != 0 || fs.fsync(fd) != 0)
            return kept("cannot restore its times: " + errorText(lastError()));
        if (std::string left = io.removeCopy(copyPath, cfd); !left.empty())
            return kept(left);
        note = path + ": an interrupted save had finished; its leftover copy was removed";
        return Recovery::Completed;
    }
    if (std::string error = io.reserve(fd, size, record->newLength, record->times); !error.empty())
        return kept(error);
    int timesError = 0;
    if (std::string error = io.refill(fd, cfd, record->offset, record->newLength, record->oldLength, record->times,
                                      timesError);
        !error.empty())
        return kept(error);
    std::string left = io.removeCopy(copyPath, cfd);
    note = path + ": an interrupted save was completed; the file holds its new tags";
    if (timesError != 0)
        note += ", but its times could not be restored: " + errorText(timesError);
    if (!left.empty())
        note += "; " + left;
    return Recovery::Completed;
}

} // namespace

struct RewriteSession::Impl {
    Impl(FileSystem& fs, const std::string& path) : io(fs), fs(fs), path(path) {}
    ~Impl()
    {
        if (earlyFlush.valid())
            earlyFlush.wait();
        io.closeFd(cfd);
        io.closeFd(fd);
    }

    void open();
    RewriteResult run(const RewritePlan& plan);
    RewriteResult abandon() noexcept;

    std::string createCopy();
    std::string fillCopy(const RewritePlan& plan);
    std::string retireCopy();
    RewriteResult failed(std::string reason)
    {
        RewriteResult result;
        result.reason = std::move(reason);
        return result;
    }
    RewriteResult failedBeforeRefill(std::string reason)
    {
        if (!copyPath.empty()) {
            if (fs.unlink(copyPath) != 0 && errno != ENOENT)
                reason += "; " + io.removeCopy(copyPath, cfd);
            copyPath.clear();
        }
        io.closeFd(cfd);
        return failed(std::move(reason));
    }

    Io io;
    FileSystem& fs;
    const std::string path;
    std::string error;
    std::vector<std::string> notes;
    int fd = -1;
    int cfd = -1;
    bool used = false;
    std::string copyPath; // set only once this call has created the file
    bool refillStarted = false;
    struct stat read {}; // the file as it was when it was read
    std::uint64_t oldLength = 0;
    std::uint64_t newLength = 0;
    std::uint64_t offset = 0;
    std::uint64_t nameTicket = 0; // of the copy's name, for the flush of its folder
    bool reused = false;          // the copy was kept by an earlier save (CopyReuse)
    std::future<void> earlyFlush; // of the folder, started when a reused copy was renamed
    Record record;
    timespec times[2]{};
};

void RewriteSession::Impl::open()
{
    // Opening for writing comes first of all: a read-only file or file system fails
    // here, before anything exists or has changed. Without blocking, so that a FIFO
    // cannot hold it.
    fd = fs.open(path, O_RDWR | O_NONBLOCK | O_NOATIME | O_CLOEXEC);
    if (fd < 0 && errno == EPERM)
        fd = fs.open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot be opened for writing: " + errorText(lastError());
        return;
    }
    if (fs.fstat(fd, &read) != 0) {
        error = "cannot read its attributes: " + errorText(lastError());
    } else if (!S_ISREG(read.st_mode)) {
        error = "cannot be written: not a regular file";
    } else if (fs.clearNonBlocking(fd) != 0) {
        error = "cannot be opened for writing: " + errorText(lastError());
    } else if (lockRetrying(fs, fd, LOCK_EX) != 0) {
        error = "cannot be locked: " + errorText(lastError());
    } else {
        // An interrupted save of this very file is finished before anything reads it.
        copyPath = JournalFolder() + "/" + copyName(read.st_dev, read.st_ino);
        std::string note;
        const Recovery r = recover(fs, copyPath, fd, {}, note, path);
        copyPath.clear();
        if (!note.empty())
            notes.push_back(note);
        if (r == Recovery::Kept)
            error = "cannot be written: " + note;
        else if (fs.fstat(fd, &read) != 0)
            error = "cannot read its attributes: " + errorText(lastError());
    }
    if (!error.empty())
        io.closeFd(fd);
}

RewriteResult RewriteSession::Impl::run(const RewritePlan& plan)
{
    if (fd < 0)
        return failed(error);
    if (used)
        return failed("cannot be written twice in one session");
    used = true;
    oldLength = static_cast<std::uint64_t>(read.st_size);
    if (plan.audioBegin > plan.audioEnd || plan.audioEnd > oldLength)
        return failed("cannot be written: the audio range " + std::to_string(plan.audioBegin) + "-" +
                      std::to_string(plan.audioEnd) + " lies outside its " + std::to_string(oldLength) + " bytes");
    const std::uint64_t limit = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) / 2;
    const std::uint64_t audioLength = plan.audioEnd - plan.audioBegin;
    if (plan.head.size() > limit - audioLength || plan.tail.size() > limit - audioLength - plan.head.size())
        return failed("cannot be written: the new content is too large");
    newLength = plan.head.size() + audioLength + plan.tail.size();
    times[0] = read.st_atim;
    times[1] = read.st_mtim;

    if (std::string e = createCopy(); !e.empty())
        return failedBeforeRefill(std::move(e));
    if (std::string e = fillCopy(plan); !e.empty())
        return failedBeforeRefill(std::move(e));
    // The last moment to notice another program's change without losing it.
    struct stat now {};
    if (fs.fstat(fd, &now) != 0)
        return failedBeforeRefill("cannot read its attributes: " + errorText(lastError()));
    if (!(FileIdentity::of(now) == FileIdentity::of(read)))
        return failedBeforeRefill("it was changed by another program while it was being saved; it was left as "
                                  "that program left it");
    if (std::string e = io.reserve(fd, oldLength, newLength, times); !e.empty()) {
        if (e.find("failed too") == std::string::npos)
            return failedBeforeRefill(e + "; the file is unchanged");
        refillStarted = true; // cut back failed: only the copy holds a sound file now
    }

    // From here on the original may be partly overwritten until a refill succeeds;
    // the copy is complete and on disk with its record, so it is the way back.
    refillStarted = true;
    int timesError = 0;
    if (std::string e = io.refill(fd, cfd, offset, newLength, oldLength, times, timesError); !e.empty()) {
        if (e = io.refill(fd, cfd, offset, newLength, oldLength, times, timesError); !e.empty()) {
            // A reused copy ends where its content does, for whoever reads it by hand.
            if (reused && fs.ftruncate(cfd, static_cast<off_t>(offset + newLength)) == 0)
                fs.fdatasync(cfd);
            io.closeFd(cfd);
            RewriteResult result = failed(e +
                                          "; it may be incomplete until the save is finished: its new "
                                          "content is kept in " +
                                          copyPath +
                                          ", and the next run that meets the "
                                          "file (or brindle-cli recover) finishes the save from it");
            result.keptTempPath = copyPath;
            return result;
        }
    }
    if (timesError != 0) {
        // The content is complete already; one more try, flushed so the times last too.
        if (fs.futimens(fd, times) == 0 && fs.fsync(fd) == 0)
            timesError = 0;
        else
            timesError = lastError();
    }
    std::string leftover = retireCopy();
    if (timesError != 0) {
        std::string reason = "it was written but its times could not be restored: " + errorText(timesError);
        if (!leftover.empty())
            reason += "; " + leftover;
        return failed(std::move(reason));
    }
    RewriteResult result;
    result.ok = true;
    result.reason = std::move(leftover);
    return result;
}

RewriteResult RewriteSession::Impl::abandon() noexcept
{
    RewriteResult result;
    try {
        io.closeFd(cfd);
        if (refillStarted && !copyPath.empty()) {
            result.keptTempPath = copyPath;
            result.reason = "cannot be written: out of memory; the new content is kept in " + copyPath;
        } else {
            if (!copyPath.empty())
                fs.unlink(copyPath);
            result.reason = "cannot be written: out of memory";
        }
    } catch (...) {
        result.reason.clear();
    }
    return result;
}

// Removes the copy of a finished save, or keeps it for the next one (CopyReuse),
// its record spoilt first so that it never again counts as a save to finish.
std::string RewriteSession::Impl::retireCopy()
{
    SpareCopies& spares = SpareCopies::get();
    if (spares.inUse() && io.writeAll(cfd, kSpent, 1, 0) == 0 && fs.lock(cfd, LOCK_UN) == 0) {
        SpareCopies::Spare spare{copyPath, cfd};
        copyPath.clear();
        cfd = -1;
        if (spares.give(spare))
            return {};
        return dropSpare(fs, io, spare);
    }
    std::string leftover = io.removeCopy(copyPath, cfd);
    io.closeFd(cfd);
    return leftover;
}

std::string RewriteSession::Impl::createCopy()
{
    const std::string folder = JournalFolder();
    if (std::string why = makeFolders(fs, folder); !why.empty())
        return why;
    const std::string candidate = folder + "/" + copyName(read.st_dev, read.st_ino);
    while (std::optional<SpareCopies::Spare> spare = SpareCopies::get().take(folder)) {
        // Locked and still linked, the kept copy is where this process left it: only
        // a run holding its lock removes a copy. Never replaces a file of the new name.
        struct stat st {};
        if (lockRetrying(fs, spare->fd, LOCK_EX | LOCK_NB) == 0 && fs.fstat(spare->fd, &st) == 0 && st.st_nlink > 0 &&
            fs.renameNoReplace(spare->path, candidate) == 0) {
            cfd = spare->fd;
            copyPath = candidate;
            reused = true;
            nameTicket = FolderFlushes::of(folder).named();
            // The new name goes to disk while the copy is written, not after.
            try {
                if (SpareCopies::get().threaded(fs))
                    earlyFlush = std::async(std::launch::async, [this, folder, ticket = nameTicket] {
                        FolderFlushes::of(folder).flushed(fs, folder, ticket);
                    });
            } catch (...) {
                // No thread to spare: the flush after the copy does it all.
            }
            return {};
        }
        dropSpare(fs, io, *spare);
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        // O_EXCL: never reuses a file (nor follows a planted link); one left by an
        // interrupted save of this file was dealt with when the session opened.
        cfd = fs.open(candidate, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (cfd < 0) {
            const int e = lastError();
            return "cannot create the copy " + candidate + ": " + errorText(e);
        }
        copyPath = candidate;
        if (lockRetrying(fs, cfd, LOCK_EX) != 0)
            return "cannot lock the copy " + candidate + ": " + errorText(lastError());
        // A recovery that found it before it was locked may have removed it.
        struct stat st {};
        if (fs.fstat(cfd, &st) != 0)
            return "cannot read the attributes of the copy " + candidate + ": " + errorText(lastError());
        if (st.st_nlink > 0) {
            nameTicket = FolderFlushes::of(folder).named();
            return {};
        }
        io.closeFd(cfd);
        copyPath.clear();
    }
    return "cannot create the copy " + candidate + ": it keeps disappearing";
}

std::string RewriteSession::Impl::fillCopy(const RewritePlan& plan)
{
    record.path = absolute(path);
    record.device = read.st_dev;
    record.inode = read.st_ino;
    record.oldLength = oldLength;
    record.newLength = newLength;
    record.offset = offset = recordSpace(record.path);
    record.times[0] = times[0];
    record.times[1] = times[1];
    // The record comes first, so that even a half-written copy names its file.
    std::string header = encodeRecord(record);
    if (int e = io.writeAll(cfd, header.data(), header.size(), 0))
        return "cannot write the copy " + copyPath + ": " + errorText(e);
    ContentHash hash;
    hash.update(plan.head);
    if (int e = io.writeAll(cfd, plan.head.data(), plan.head.size(), offset))
        return "cannot write the copy " + copyPath + ": " + errorText(e);
    const std::uint64_t audioLength = plan.audioEnd - plan.audioBegin;
    const std::int64_t shift = static_cast<std::int64_t>(offset + plan.head.size()) -
                               static_cast<std::int64_t>(plan.audioBegin);
    if (int e = io.readRange(fd, plan.audioBegin, audioLength, [&](const char* data, std::size_t n, std::uint64_t at) {
            hash.update(data, n);
            return io.writeAll(cfd, data, n, static_cast<std::uint64_t>(static_cast<std::int64_t>(at) + shift));
        }))
        return "cannot copy its audio into " + copyPath + ": " + errorText(e);
    hash.update(plan.tail);
    if (int e = io.writeAll(cfd, plan.tail.data(), plan.tail.size(), offset + plan.head.size() + audioLength))
        return "cannot write the copy " + copyPath + ": " + errorText(e);
    record.contentHash = hash.digest();
    std::string complete = encodeRecord(record);
    complete.resize(std::max(complete.size(), header.size()), '\0');
    if (int e = io.writeAll(cfd, complete.data(), complete.size(), 0))
        return "cannot write the copy " + copyPath + ": " + errorText(e);
    // Read back: a record lost on its way would make a crash look like one before the file was touched.
    if (const std::optional<Record> written = readRecord(fs, cfd);
        !written || written->contentHash != record.contentHash)
        return "the record of the copy " + copyPath + " did not read back as written";
    // Nothing after the record reaches its end when the new file is empty.
    if (newLength == 0 && !reused && fs.ftruncate(cfd, static_cast<off_t>(offset)) != 0)
        return "cannot write the copy " + copyPath + ": " + errorText(lastError());
    // Under a reused copy lie the bytes of earlier saves (it is never cut, so that
    // its blocks stay), so its length cannot show a write that went missing:
    // reading it back does.
    if (reused && io.hashRange(cfd, offset, newLength) != record.contentHash)
        return "the copy " + copyPath + " did not read back as written";
    struct stat st {};
    if (fs.fstat(cfd, &st) != 0)
        return "cannot read the attributes of the copy " + copyPath + ": " + errorText(lastError());
    if (reused ? static_cast<std::uint64_t>(st.st_size) < offset + newLength
               : static_cast<std::uint64_t>(st.st_size) != offset + newLength)
        return "the copy " + copyPath + " holds " + std::to_string(st.st_size - static_cast<off_t>(offset)) +
               " bytes instead of " + std::to_string(newLength);
    // The times of a copy do not matter; a reused one whose length and blocks stay
    // as they were is then flushed without a commit of the file system's journal.
    if ((reused ? fs.fdatasync(cfd) : fs.fsync(cfd)) != 0)
        return "cannot flush the copy " + copyPath + ": " + errorText(lastError());
    // Its name must last as well as its content.
    const std::string folder = copyPath.substr(0, copyPath.rfind('/'));
    if (earlyFlush.valid())
        earlyFlush.wait();
    // Covered already when the early flush succeeded; else this one tells why not.
    return FolderFlushes::of(folder).flushed(fs, folder, nameTicket);
}

RewriteSession::RewriteSession(FileSystem& fs, const std::string& path) : impl_(std::make_unique<Impl>(fs, path))
{
    try {
        impl_->open();
    } catch (...) {
        impl_->io.closeFd(impl_->fd);
        impl_->error = "cannot be written: out of memory";
    }
}

RewriteSession::~RewriteSession() = default;

bool RewriteSession::isOpen() const { return impl_->fd >= 0; }
const std::string& RewriteSession::error() const { return impl_->error; }
int RewriteSession::fd() const { return impl_->fd; }
FileIdentity RewriteSession::identity() const
{
    return impl_->fd >= 0 ? FileIdentity::of(impl_->read) : FileIdentity{};
}
std::uint64_t RewriteSession::length() const { return static_cast<std::uint64_t>(impl_->read.st_size); }
const std::vector<std::string>& RewriteSession::notes() const { return impl_->notes; }

RewriteResult RewriteSession::rewrite(const RewritePlan& plan)
{
    try {
        return impl_->run(plan);
    } catch (...) {
        return impl_->abandon();
    }
}

CopyReuse::CopyReuse(FileSystem& fs) : fs_(fs) { SpareCopies::get().use(fs); }

CopyReuse::~CopyReuse()
{
    try {
        release();
    } catch (...) {
    }
}

std::string CopyReuse::release()
{
    if (released_)
        return {};
    released_ = true;
    std::string reasons;
    Io io(fs_);
    for (SpareCopies::Spare& spare : SpareCopies::get().stopUsing()) {
        std::string leftover = dropSpare(fs_, io, spare);
        if (!leftover.empty())
            reasons += (reasons.empty() ? "" : "; ") + leftover;
    }
    return reasons;
}

RewriteResult RewriteFile(FileSystem& fs, const std::string& path, const RewritePlan& plan)
{
    try {
        RewriteSession session(fs, path);
        return session.rewrite(plan);
    } catch (...) {
        RewriteResult result;
        result.reason = "cannot be written: out of memory";
        return result;
    }
}

std::string CheckAudioKept(std::int64_t audioStart, std::int64_t audioEnd, std::int64_t fileLength)
{
    if (audioStart > fileLength)
        return "its ID3v2 tag claims " + std::to_string(audioStart) + " bytes, but the file holds only " +
               std::to_string(fileLength) + "; writing it would cut the audio, so it was left unchanged";
    if (audioStart > audioEnd)
        return "its ID3v2 tag claims " + std::to_string(audioStart) + " bytes, past the end of the audio at byte " +
               std::to_string(audioEnd) + "; writing it would cut the audio, so it was left unchanged";
    return {};
}

std::string TemporaryFolder()
{
    for (const char* name : {"TEMP", "TMPDIR"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return value;
    }
    return "/tmp";
}

std::string JournalFolder()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/')
        return std::string(state) + "/brindle/saves";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return std::string(home) + "/.local/state/brindle/saves";
    std::string folder = TemporaryFolder();
    if (folder.back() != '/')
        folder += '/';
    return folder + "brindle-saves-" + std::to_string(::getuid());
}

std::vector<PendingSave> ListPendingSaves(FileSystem& fs)
{
    std::vector<PendingSave> saves;
    std::vector<std::string> names;
    const std::string folder = JournalFolder();
    if (fs.listFolder(folder, names) != 0)
        return saves;
    for (const std::string& name : names) {
        PendingSave save;
        unsigned long long device = 0, inode = 0;
        int used = 0;
        if (std::sscanf(name.c_str(), "%llx-%llx%n", &device, &inode, &used) != 2 ||
            name.substr(static_cast<std::size_t>(used)) != kSuffix)
            continue;
        save.copyPath = folder;
        save.copyPath += '/';
        save.copyPath += name;
        save.device = device;
        save.inode = inode;
        saves.push_back(std::move(save));
    }
    return saves;
}

std::optional<PendingSaveRecord> ReadPendingSave(FileSystem& fs, const std::string& copyPath)
{
    const int cfd = fs.open(copyPath, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (cfd < 0)
        return std::nullopt;
    const std::optional<Record> record = readRecord(fs, cfd);
    fs.close(cfd);
    if (!record || !record->contentHash)
        return std::nullopt;
    return PendingSaveRecord{record->path, record->offset, record->newLength};
}

Recovery RecoverPendingSave(FileSystem& fs, const PendingSave& save, std::string& note, const std::string& folder)
{
    note.clear();
    try {
        return recover(fs, save.copyPath, -1, folder, note);
    } catch (...) {
        note = "cannot recover " + save.copyPath + ": out of memory";
        return Recovery::Kept;
    }
}

std::vector<std::string> RecoverPendingSaves(FileSystem& fs, const std::function<bool(const PendingSave&)>& select,
                                             const std::string& folder, int* kept)
{
    std::vector<std::string> notes;
    if (kept)
        *kept = 0;
    for (const PendingSave& save : ListPendingSaves(fs)) {
        if (select && !select(save))
            continue;
        std::string note;
        const Recovery r = RecoverPendingSave(fs, save, note, folder);
        if (r == Recovery::Kept && kept)
            ++*kept;
        if (!note.empty())
            notes.push_back(std::move(note));
    }
    return notes;
}

} // namespace brindle
