#pragma once
// Positioned reads of one open file with a cached head: the first read covers the
// tag header, usually the whole tag and the first audio frames, so most files cost
// one open, one fstat and two or three preads.

#include "FileSystem.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace brindle {

class FileReader {
public:
    FileReader(FileSystem& fs, const std::string& path);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int error() const { return error_; }
    std::int64_t length() const { return length_; }

    // Up to count bytes at offset (fewer at the end of the file). The view stays
    // valid until the next call.
    std::string_view read(std::int64_t offset, std::size_t count);
    // Same, into a buffer owned by the caller (for data that must outlive the next read).
    void readInto(std::string& out, std::int64_t offset, std::size_t count);

private:
    static constexpr std::size_t kHeadSize = 32 * 1024;

    FileSystem& fs_;
    int fd_ = -1;
    int error_ = 0;
    std::int64_t length_ = 0;
    std::string head_; // the first kHeadSize bytes (or the whole file)
    std::string scratch_;
};

} // namespace brindle
