#pragma once
// One table drives reading, writing and the version rules of the frames the tag
// object understands; every other frame is kept as raw bytes.

#include "clsID3.h"

#include <array>
#include <string_view>

namespace brindle {

enum class FrameKind {
    Text,          // plain text property
    Url,           // single URL property
    Comment,       // COMM/COM: language + description + text
    Lyrics,        // USLT/ULT: same layout
    Genre,         // TCON/TCO, parsed after the walk
    Track,         // TRCK/TRK, "n/total"
    Disc,          // TPOS/TPA, "n/total"
    Picture,       // APIC/PIC, appended to AttachedPictures
    CommercialUrl, // WCOM/WCM, appended to CommercialInfo
    ArtistUrl,     // WOAR/WAR, appended to ArtistURL
    DateYear,      // TDRC: Year is the text before the first "-"
    DateOrigYear,  // TDOR: OriginalReleaseYear likewise
};

struct FrameSpec {
    std::string_view id4; // 2.3/2.4 ID
    std::string_view id3; // 2.2 ID, empty when the frame has none
    FrameKind kind;
    std::u16string clsID3::*member; // property fed by Text/Url/Comment/Lyrics/year kinds
};

// Looks an ID up among both versions' IDs (exact match).
const FrameSpec* FindFrame(std::string_view id);

// The order in which the writer appends new frames.
extern const std::array<std::string_view, 38> kFrameOrderV3;
extern const std::array<std::string_view, 33> kFrameOrderV2;
extern const std::array<std::string_view, 5> kLyrics3Fields;

} // namespace brindle
