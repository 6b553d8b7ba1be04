#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace brindle {

constexpr std::int32_t kGenreCount = 148; // entries 0..147
constexpr std::int32_t kGenreNone = 255;
constexpr std::int32_t kGenreOther = 12;
constexpr std::int32_t kGenreRemix = -1; // "(RX)" in a genre frame
constexpr std::int32_t kGenreCover = -2; // "(CR)"

// Table name for 0..147, "Unknown" for 255, "Remix" for -1, "Cover" for -2, else "".
std::u16string GenreNameOf(std::int32_t id);
// Matching ignores case, blanks, "/", "&", "-", "+" and " and ".
std::int32_t GenreIdOf(std::u16string_view name);
std::u16string NormalizeGenreName(std::u16string_view name);

} // namespace brindle
