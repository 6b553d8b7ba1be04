#pragma once
// The end of the file: where the audio stops (before an ID3v1 tag and a Lyrics3
// block) and the trailing tags the writer rebuilds from the properties.

#include <cstdint>
#include <optional>
#include <string>

namespace brindle {

class FileReader;
class clsID3;

// Length of the Lyrics3 v2 block (start marker and fields) whose "LYRICS200" marker
// ends at end (0-based, exclusive): nothing when its size field is not six digits,
// reaches before the file or does not lead to "LYRICSBEGIN".
std::optional<std::int64_t> Lyrics3v2BlockSize(FileReader& file, std::int64_t end);

// 0-based offset just past the last audio byte, with the writer's rules.
std::int64_t FindAudioEndForWrite(FileReader& file);

// Lyrics3 v2 block (only when a title, artist or album is longer than 30
// characters) followed by the ID3v1 tag (unless there is nothing to store).
std::string BuildTrailer(const clsID3& tag);

// Text cut to width characters and filled up with NUL bytes.
std::string PadField(const std::u16string& text, std::size_t width);

} // namespace brindle
