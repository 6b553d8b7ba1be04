#pragma once
// Positioned reads of one open file. The head and the tail of the file are read
// once and cached, so that most files cost one open, one fstat and two preads:
// the head covers the tag header, usually the whole tag and the first audio
// frames; the tail covers the ID3v1 tag and the Lyrics3 end marker.

#include "FileSystem.h"
#include "Status.h"

#include <cstdint>
#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <string_view>

namespace brindle {

// A growable byte buffer that does not zero what it is about to overwrite.
class ByteBuffer {
public:
    char* data() { return data_.get(); }
    std::string_view view() const { return {data_.get(), size_}; }
    std::size_t size() const { return size_; }
    void resize(std::size_t n)
    {
        if (n > capacity_) {
            std::size_t cap = std::max(n, capacity_ * 2);
            auto grown = std::make_unique_for_overwrite<char[]>(cap);
            if (size_)
                std::copy(data_.get(), data_.get() + size_, grown.get());
            data_ = std::move(grown);
            capacity_ = cap;
        }
        size_ = n;
    }

private:
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// Buffers kept by a tag object across reads, so a folder scan allocates once.
struct ReadBuffers {
    ByteBuffer head, tail, body, chunk, scratch;
};

// The error of a file that is not a regular file (FIFO, socket, device): such a
// file could block a read forever, so it is refused before any read.
constexpr int kNotRegularFile = EINVAL;

class FileReader {
public:
    FileReader(FileSystem& fs, const std::string& path, ReadBuffers& buffers);
    FileReader(FileSystem& fs, const std::string& path);
    // Reads a file the caller has open already (and keeps open).
    FileReader(FileSystem& fs, int fd, ReadBuffers& buffers);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int error() const { return error_; }
    // Done, or why the file could not be opened for reading.
    Status status() const;
    std::int64_t length() const { return length_; }
    // The file as it was when it was opened.
    const FileIdentity& identity() const { return identity_; }

    // Up to count bytes at offset (fewer at the end of the file). The view stays
    // valid until the next call that uses the same buffer.
    std::string_view read(std::int64_t offset, std::size_t count);
    // Same, into a buffer of the caller's.
    std::string_view readInto(ByteBuffer& out, std::int64_t offset, std::size_t count);
    void readInto(std::string& out, std::int64_t offset, std::size_t count);

private:
    static constexpr std::size_t kHeadSize = std::size_t{16} * 1024;
    static constexpr std::size_t kTailSize = 256;

    void open(const std::string& path);
    void start(const struct stat& st);
    std::size_t fill(char* dest, std::int64_t offset, std::size_t count);

    FileSystem& fs_;
    std::unique_ptr<ReadBuffers> ownBuffers_;
    ReadBuffers& buffers_;
    int fd_ = -1;
    bool ownsFd_ = true;
    int error_ = 0;
    std::int64_t length_ = 0;
    FileIdentity identity_;
    std::int64_t tailOffset_ = -1; // where the cached tail starts, -1 until loaded
};

} // namespace brindle
