#pragma once
// The end of the file: where the audio stops (before an ID3v1 tag and a Lyrics3
// block) and the trailing tags the writer rebuilds from the properties.

#include <cstdint>
#include <string>

namespace brindle {

class FileReader;
class clsID3;

// 0-based offset just past the last audio byte, with the writer's rules.
std::int64_t FindAudioEndForWrite(FileReader& file);

// Lyrics3 v2 block (only when a title, artist or album is longer than 30
// characters) followed by the ID3v1 tag (unless there is nothing to store).
std::string BuildTrailer(const clsID3& tag);

// Text cut to width characters and filled up with NUL bytes.
std::string PadField(const std::u16string& text, std::size_t width);

} // namespace brindle
