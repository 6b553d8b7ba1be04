#pragma once
// Builds MP3 files byte by byte for tests, fuzz seeds and the demo folder: ID3v2
// tags of every version, frames, padding, ID3v1 records, Lyrics3 blocks and
// synthetic MPEG frames.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brindle::test {

// ---- MPEG audio
struct MpegSpec {
    int version = 3;      // header bits: 3 = MPEG 1, 2 = MPEG 2, 0 = MPEG 2.5
    int layer = 1;        // header bits: 1 = Layer III, 2 = Layer II, 3 = Layer I
    int bitrateIndex = 9; // 9 = 128 kbit/s for MPEG 1 Layer III
    int sampleIndex = 0;  // 0 = 44100 Hz for MPEG 1
    bool padding = false;
    int channelMode = 0; // 0 stereo .. 3 single channel
    int emphasis = 0;
};
std::string MpegHeader(const MpegSpec& s = {});
// Frame length in bytes for these header fields (header included).
std::size_t MpegFrameLength(const MpegSpec& s = {});
// One frame: header and a zero body.
std::string MpegFrame(const MpegSpec& s = {});
std::string MpegFrames(int count, const MpegSpec& s = {});
// A first frame carrying a Xing ("Xing") or Info ("Info") header.
std::string XingFrame(std::string_view tag, std::uint32_t flags, std::int32_t frames, std::int32_t bytes,
                      const MpegSpec& s = {});
std::string VbriFrame(std::int32_t frames, std::int32_t bytes, int entries, int entrySize, const MpegSpec& s = {});

// ---- ID3v2
std::string SyncSafe(std::uint32_t value);
std::string BigEndian(std::uint32_t value, int width);
std::string Frame(int version, std::string_view id, std::string_view data, std::uint8_t status = 0,
                  std::uint8_t format = 0);
// Tag header + body (+ padding zeros); size field covers body + padding.
std::string Tag(int version, std::string_view frames, std::size_t padding = 0, std::uint8_t flags = 0,
                std::string_view extendedHeader = {});
std::string Footer(int version, std::size_t size, std::uint8_t flags);

std::string Latin1(std::string_view text);     // encoding byte 0 + bytes
std::string Utf16(std::u16string_view text);   // encoding 1, FF FE + little-endian
std::string Utf16BE(std::u16string_view text); // encoding 2
std::string Utf8(std::string_view utf8);       // encoding 3
// COMM/USLT data: encoding byte, language, description, NUL(s), text.
std::string CommentData(int encoding, std::string_view lang, std::u16string_view description, std::u16string_view text);
std::string Unsynchronise(std::string_view bytes);

// ---- trailing tags
std::string Id3v1(std::string_view title, std::string_view artist, std::string_view album, std::string_view year,
                  std::string_view comment, int track, int genre);
std::string Lyrics3v2(const std::vector<std::pair<std::string, std::string>>& fields);
std::string Lyrics3v1(std::string_view lyrics);

// ---- files
void WriteFile(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFile(const std::filesystem::path& path);

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(std::string_view name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Writes a small folder of varied example files (used for the demo and CLI tests).
void WriteDemoFolder(const std::filesystem::path& folder);

} // namespace brindle::test
