#include "FrameTable.h"

namespace brindle {

namespace {

using K = FrameKind;

const FrameSpec kFrames[] = {
    {"APIC", "PIC", K::Picture, nullptr},
    {"COMM", "COM", K::Comment, &clsID3::Comments},
    {"TALB", "TAL", K::Text, &clsID3::Album},
    {"TBPM", "TBP", K::Text, &clsID3::BeatsPerMinute},
    {"TCOM", "TCM", K::Text, &clsID3::Composer},
    {"TCON", "TCO", K::Genre, &clsID3::Genre},
    {"TCOP", "TCR", K::Text, &clsID3::Copyright},
    {"TENC", "TEN", K::Text, &clsID3::EncodedBy},
    {"TEXT", "TXT", K::Text, &clsID3::Lyricist},
    {"TIT2", "TT2", K::Text, &clsID3::Title},
    {"TKEY", "TKE", K::Text, &clsID3::InitialKey},
    {"TLAN", "TLA", K::Text, &clsID3::Languages},
    {"TOAL", "TOT", K::Text, &clsID3::OriginalAlbum},
    {"TOFN", "TOF", K::Text, &clsID3::OriginalFileName},
    {"TOLY", "TOL", K::Text, &clsID3::OriginalLyricist},
    {"TOPE", "TOA", K::Text, &clsID3::OriginalArtist},
    {"TORY", "TOR", K::Text, &clsID3::OriginalReleaseYear},
    {"TOWN", "", K::Text, &clsID3::FileOwner},
    {"TPE1", "TP1", K::Text, &clsID3::Artist},
    {"TPE2", "TP2", K::Text, &clsID3::Band},
    {"TPE3", "TP3", K::Text, &clsID3::Conductor},
    {"TPE4", "TP4", K::Text, &clsID3::InterpretedBy},
    {"TPOS", "TPA", K::Disc, nullptr},
    {"TPUB", "TPB", K::Text, &clsID3::Publisher},
    {"TRCK", "TRK", K::Track, nullptr},
    {"TRSN", "", K::Text, &clsID3::InternetRadioStationName},
    {"TRSO", "", K::Text, &clsID3::InternetRadioStationOwner},
    {"TSRC", "TRC", K::Text, &clsID3::ISRC},
    {"TYER", "TYE", K::Text, &clsID3::Year},
    {"USLT", "ULT", K::Lyrics, &clsID3::Lyrics},
    {"WCOM", "WCM", K::CommercialUrl, nullptr},
    {"WCOP", "WCP", K::Url, &clsID3::CopyrightInfo},
    {"WOAF", "WAF", K::Url, &clsID3::AudioURL},
    {"WOAR", "WAR", K::ArtistUrl, nullptr},
    {"WOAS", "WAS", K::Url, &clsID3::AudioSourceURL},
    {"WORS", "", K::Url, &clsID3::InternetRadioURL},
    {"WPAY", "", K::Url, &clsID3::PaymentURL},
    {"WPUB", "WPB", K::Url, &clsID3::PublisherURL},
    {"TDRC", "", K::DateYear, &clsID3::Year},
    {"TDOR", "", K::DateOrigYear, &clsID3::OriginalReleaseYear},
};

} // namespace

const FrameSpec* FindFrame(std::string_view id)
{
    if (id.size() == 4) {
        for (const auto& f : kFrames)
            if (f.id4 == id)
                return &f;
    } else if (id.size() == 3) {
        for (const auto& f : kFrames)
            if (!f.id3.empty() && f.id3 == id)
                return &f;
    }
    return nullptr;
}

const std::array<std::string_view, 38> kFrameOrderV3 = {
    "APIC", "COMM", "TALB", "TBPM", "TCOM", "TCON", "TCOP", "TENC", "TEXT", "TIT2", "TKEY", "TLAN", "TOAL",
    "TOFN", "TOLY", "TOPE", "TORY", "TOWN", "TPE1", "TPE2", "TPE3", "TPE4", "TPOS", "TPUB", "TRCK", "TRSN",
    "TRSO", "TSRC", "TYER", "USLT", "WCOM", "WCOP", "WOAF", "WOAR", "WOAS", "WORS", "WPAY", "WPUB",
};

const std::array<std::string_view, 33> kFrameOrderV2 = {
    "COM", "PIC", "TAL", "TBP", "TCM", "TCO", "TCR", "TEN", "TXT", "TT2", "TKE",
    "TLA", "TOT", "TOF", "TOL", "TOA", "TOR", "TP1", "TP2", "TP3", "TP4", "TPA",
    "TPB", "TRK", "TRC", "TYE", "ULT", "WCM", "WCP", "WAF", "WAR", "WAS", "WPB",
};

const std::array<std::string_view, 5> kLyrics3Fields = {"LYR", "AUT", "EAL", "EAR", "ETT"};

} // namespace brindle
