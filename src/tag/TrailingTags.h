#pragma once
// The end of the file: where the audio stops (before an ID3v1 tag and a Lyrics3
// block) and the trailing tags the writer rebuilds from the properties.

#include <cstdint>
#include <string>
#include <string_view>

namespace brindle {

class FileReader;
class clsID3;

inline constexpr std::string_view kLyricsBegin = "LYRICSBEGIN";
inline constexpr std::int64_t kId3v1Size = 128;

// Where the trailing tags of a file stand, by 0-based offsets; the reader and the
// writers all go by it.
struct TrailingTagLayout {
    bool id3v1 = false;           // an ID3v1 tag fills the last 128 bytes
    std::int64_t beforeId3v1 = 0; // the bytes before it (the file length without one)
    bool lyrics3v2 = false;       // "LYRICS200" ends those bytes
    bool lyrics3v1 = false;       // "LYRICSEND" ends them
    // Where that Lyrics3 block's "LYRICSBEGIN" stands: -1 when a v2 block's size field
    // is not six digits, reaches before the file or misses the marker, or when no v1
    // block begins within 5100 bytes of lyrics.
    std::int64_t lyricsStart = -1;

    // Just past the last audio byte, as the writers count it.
    std::int64_t audioEnd() const { return lyricsStart >= 0 ? lyricsStart : beforeId3v1; }
};
TrailingTagLayout LocateTrailingTags(FileReader& file);

// Lyrics3 v2 block (only when a title, artist or album is longer than 30
// characters) followed by the ID3v1 tag (unless there is nothing to store).
std::string BuildTrailer(const clsID3& tag);

// Text cut to width characters and filled up with NUL bytes.
std::string PadField(const std::u16string& text, std::size_t width);

} // namespace brindle
