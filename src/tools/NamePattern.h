#pragma once
// File names from tags and tags from file names by a pattern such as
// "%track% - %artist% - %title%". Standard library and tag engine only, so that the
// window and brindle-cli (which starts without Qt) share it.
//
// Placeholders are the tag object's text properties by their names in lower case
// (%title%, %tracknumber%, %originalartist%, ...), the short names %track%, %tracks%,
// %disc%, %discs% and %comment%, and %filename% (the name without ".mp3"); letter case
// in a placeholder is ignored. "%%" is a literal "%". Names are bytes, read as UTF-8.

#include "tag/Properties.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindle {

class clsID3;

struct PatternValue {
    const TextProperty* property;
    std::u16string value;
};

class NamePattern {
public:
    // nullopt with the reason in error for an empty pattern, an unknown or unclosed
    // placeholder, "/" or a control character outside placeholders, or no placeholder.
    // A final ".mp3" in the pattern is dropped: it is always appended.
    static std::optional<NamePattern> Parse(std::string_view pattern, std::string& error);
    // Every placeholder name without its "%", the property names first, in table order.
    static std::vector<std::string> PlaceholderNames();

    // The new name for a file now named fileName: tag text with every character a name
    // cannot hold replaced, then ".mp3". %track% is a number of at least two digits.
    // Empty when every placeholder is empty: there is nothing to name the file after.
    std::string NameFor(const clsID3& tag, std::string_view fileName, std::string_view replacement = "-") const;

    // Why the pattern cannot be read back from names (it names no property, or names one
    // twice, which could take two values); empty when it can.
    std::string ReadingProblem() const;
    // The properties' values in fileName (without ".mp3"), in pattern order; nullopt
    // when the name does not have the pattern's shape. Each placeholder takes the
    // shortest text that lets the rest match; TrackNumber, TracksTotal, DiscNumber and
    // DiscsTotal take only digits and Year four digits or nothing, as brindle-cli set
    // accepts them. %filename% matches any text and gives no value.
    std::optional<std::vector<PatternValue>> ValuesFromName(std::string_view fileName) const;

private:
    struct Token {
        enum class Kind { Literal, Property, FileName } kind;
        std::u32string literal;
        const TextProperty* property = nullptr;
        std::string placeholder; // as typed, for messages
    };
    std::vector<Token> tokens_;
};

// Why text cannot replace the characters a name cannot hold (it holds one itself);
// empty when it can.
std::string ReplacementProblem(std::string_view replacement);

// The name without a final ".mp3" (letter case ignored).
std::string_view WithoutMp3(std::string_view fileName);

} // namespace brindle
