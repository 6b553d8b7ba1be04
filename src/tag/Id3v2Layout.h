#pragma once
// The ID3v2 container as reader and writer both see it: header, size encodings,
// frame headers, frame content extraction and the foreign padding marker.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brindle {

struct Id3v2Header {
    std::uint8_t version = 0;
    std::uint8_t revision = 0;
    std::uint8_t flags = 0;
    std::int64_t size = 0; // bytes after the 10-byte header, footer excluded

    bool unsynchronised() const { return flags & 0x80; }
    bool compressed() const { return version < 3 && (flags & 0x40); }
    bool extendedHeader() const { return version >= 3 && (flags & 0x40); }
    bool footer() const { return version > 3 && (flags & 0x10); }
    // Bytes the tag occupies at the start of the file.
    std::int64_t totalLength() const { return 10 + size + (footer() ? 10 : 0); }
};

// A valid header needs "ID3", version and revision below 255, four size bytes below 128.
std::optional<Id3v2Header> ParseId3v2Header(std::string_view first10);

// The frames of a tag body as read after its header: the unsynchronisation of a 2.2
// or 2.3 tag undone (into storage) and an extended header dropped.
std::string_view TagFrames(const Id3v2Header& header, std::string_view body, std::string& storage);

// Big-endian number, 7 (syncsafe) or 8 bits per byte; the high bit is not masked.
// Nothing when the value does not fit a 32-bit signed integer.
std::optional<std::int64_t> DecodeSize(std::string_view bytes, bool syncsafe);
std::string EncodeSize(std::uint64_t value, int width, bool syncsafe);

// Every FF 00 becomes FF.
std::string RemoveUnsync(std::string_view bytes);

// Frame format flags (the second flag byte) of 2.3 and of 2.4.
inline constexpr unsigned kFormat23Compressed = 0x80;
inline constexpr unsigned kFormat23Encrypted = 0x40;
inline constexpr unsigned kFormat23Grouped = 0x20;
inline constexpr unsigned kFormat24Grouped = 0x40;
inline constexpr unsigned kFormat24Compressed = 0x08;
inline constexpr unsigned kFormat24Encrypted = 0x04;
inline constexpr unsigned kFormat24Unsynchronised = 0x02;
inline constexpr unsigned kFormat24DataLength = 0x01;

inline int FrameIdLength(int version) { return version < 3 ? 3 : 4; }
inline int FrameHeaderLength(int version) { return version < 3 ? 6 : 10; }

// Size of the whole frame (header included) at pos (0-based) in the tag data;
// nothing when the size field lies beyond the data or is out of range.
std::optional<std::int64_t> FrameTotalSize(std::string_view data, std::size_t pos, int version);

// The marker another tagger leaves as padding: "MP3ext V<version>(unicode)".
bool IsMarkerPadding(std::string_view data, std::size_t pos);

std::u16string_view CutAtNul(std::u16string_view text);

struct FrameText {
    std::u16string text;
    bool hasDescription = false;
};

// Content of the text-like frame whose header starts at pos. With skipLanguage the
// three language bytes are skipped before the text is decoded.
FrameText ReadFrameText(std::string_view data, std::size_t pos, int version, bool skipLanguage, bool cutAtNul);

// A compressed or encrypted frame: its content cannot be read, only kept.
bool FrameIsUnreadable(std::string_view data, std::size_t pos, int version);

// Content of a picture frame: the frame data after its encoding byte, byte for byte
// (a leading NUL is dropped like the empty-description marker of text frames).
std::string ReadFramePicture(std::string_view data, std::size_t pos, int version);

} // namespace brindle
