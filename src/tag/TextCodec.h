#pragma once
// Conversions between tag bytes and the engine's Unicode text (one UTF-16 unit per
// character). Single-byte tag text is Windows-1252; its five undefined bytes map to
// the C1 controls of the same value so that every byte survives a round trip.

#include <string>
#include <string_view>

namespace brindle {

std::u16string DecodeSingleByte(std::string_view bytes);
// Characters Windows-1252 lacks become '?'.
std::string EncodeSingleByte(std::u16string_view text);
bool FitsSingleByte(std::u16string_view text);

// UTF-16 split at every byte-order mark; bytes before the first mark are single-byte text.
std::u16string DecodeMarkedUtf16(std::string_view bytes);
std::string SwapBytePairs(std::string_view bytes);
// Big-endian UTF-16 without a mark (encoding 2 of 2.4 tags).
std::u16string DecodeUtf16BE(std::string_view bytes);
// Little-endian UTF-16 with a leading FF FE mark.
std::string EncodeUtf16WithBom(std::u16string_view text);

// Lenient UTF-8 decoder used for tag data (continuation bytes are not checked; a
// sequence cut short ends the text).
std::u16string DecodeUtf8(std::string_view bytes);

// Strict conversions for the outside world (command line, JSON): unpaired surrogates
// become U+FFFD, invalid UTF-8 bytes become U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view utf8);

// One step of strict UTF-8 decoding at byte i: the bytes it takes and the character,
// or, where no valid sequence starts, valid false and U+FFFD (a lone byte takes 1; a
// complete sequence of an overlong form or a surrogate takes its whole length).
struct Utf8Step {
    std::size_t length = 1;
    char32_t codePoint = 0xFFFD;
    bool valid = false;
};
Utf8Step DecodeUtf8Step(std::string_view utf8, std::size_t i);

// A file name (bytes, as the file system gave them) made fit to show: valid UTF-8,
// with U+FFFD for bytes that are not. Only for showing: never use the result as a
// name, it may be another file's.
std::string FileNameForDisplay(std::string_view nameBytes);

} // namespace brindle
