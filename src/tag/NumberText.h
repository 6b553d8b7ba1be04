#pragma once
// What counts as "a number" in a track or disc field, for reading the ID3v2 parts
// and for the ID3v1.1 track byte alike.

#include <optional>
#include <string_view>

namespace brindle {

// Blanks around, an optional sign, digits with at most one decimal point.
bool IsNumberText(std::u16string_view text);
// The value of such a text; nothing for any other text.
std::optional<double> NumberTextValue(std::u16string_view text);

} // namespace brindle
