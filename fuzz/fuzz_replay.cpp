// Runs both fuzz targets over every file of the folders (or files) given, so the
// seeds, the fixed crashes and outside sample files are checked on every build,
// with any compiler.
#include "FuzzCommon.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <vector>

// Reading must never allocate more than the file can hold: a tag that claims
// 256 MB in a 1 KB file is read as far as the file goes. libFuzzer checks this
// with -malloc_limit_mb; here every single allocation is watched instead.
namespace {
std::size_t largestRequest = 0;

void* allocate(std::size_t n)
{
    largestRequest = std::max(largestRequest, n);
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        fs::path arg(argv[i]);
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            for (const auto& e : fs::recursive_directory_iterator(arg, ec))
                if (e.is_regular_file())
                    files.push_back(e.path());
        } else if (fs::is_regular_file(arg, ec)) {
            files.push_back(arg);
        } else {
            std::fprintf(stderr, "fuzz_replay: no such file or folder: %s\n", argv[i]);
            return 2;
        }
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "fuzz_replay: no input files\n");
        return 2;
    }
    for (const auto& path : files) {
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto data = reinterpret_cast<const std::uint8_t*>(bytes.data());
        // Printed first so that a crash names the file it came from.
        std::fprintf(stderr, "%s\n", path.c_str());
        largestRequest = 0;
        BrindleFuzzRead(data, bytes.size());
        BrindleFuzzWrite(data, bytes.size());
        // Text decoding may double a byte count and string growth double it again.
        const std::size_t limit = 8 * bytes.size() + (1u << 20);
        if (largestRequest > limit) {
            std::fprintf(stderr, "fuzz_replay: %s: one allocation of %zu bytes for a file of %zu\n", path.c_str(),
                         largestRequest, bytes.size());
            return 1;
        }
    }
    std::printf("%zu passed, 0 failed\n", files.size());
    return 0;
}
