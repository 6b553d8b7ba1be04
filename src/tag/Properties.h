#pragma once
// The tag object's text properties by name, in the order of the class's members:
// one list for everything that shows, sets or copies properties by name.

#include "clsID3.h"

#include <span>
#include <string_view>

namespace brindle {

struct TextProperty {
    std::string_view name;
    std::u16string clsID3::*member;
};

// Every text property except FileName (GenreID is a number and not listed).
std::span<const TextProperty> TextProperties();
const TextProperty* FindTextProperty(std::string_view name);

// A picture entry split into its parts; an entry that cannot be split gives an
// empty format, picture type -1, an empty description and its whole length as data.
struct PictureParts {
    std::string format; // MIME type, or the three-letter image format of a 2.2 tag
    int pictureType = -1;
    std::string description; // raw bytes
    std::size_t dataOffset = 0;
    std::size_t dataLength = 0;
};
PictureParts SplitPictureEntry(std::string_view entry, int revision);

} // namespace brindle
