#include "Properties.h"

#include <array>

namespace brindle {

namespace {

const std::array<TextProperty, 37> kProperties = {{
    {"Comments", &clsID3::Comments},
    {"Album", &clsID3::Album},
    {"BeatsPerMinute", &clsID3::BeatsPerMinute},
    {"Composer", &clsID3::Composer},
    {"Genre", &clsID3::Genre},
    {"Copyright", &clsID3::Copyright},
    {"EncodedBy", &clsID3::EncodedBy},
    {"Lyricist", &clsID3::Lyricist},
    {"Title", &clsID3::Title},
    {"InitialKey", &clsID3::InitialKey},
    {"Languages", &clsID3::Languages},
    {"OriginalAlbum", &clsID3::OriginalAlbum},
    {"OriginalFileName", &clsID3::OriginalFileName},
    {"OriginalLyricist", &clsID3::OriginalLyricist},
    {"OriginalArtist", &clsID3::OriginalArtist},
    {"OriginalReleaseYear", &clsID3::OriginalReleaseYear},
    {"FileOwner", &clsID3::FileOwner},
    {"Artist", &clsID3::Artist},
    {"Band", &clsID3::Band},
    {"Conductor", &clsID3::Conductor},
    {"InterpretedBy", &clsID3::InterpretedBy},
    {"DiscNumber", &clsID3::DiscNumber},
    {"DiscsTotal", &clsID3::DiscsTotal},
    {"Publisher", &clsID3::Publisher},
    {"TrackNumber", &clsID3::TrackNumber},
    {"TracksTotal", &clsID3::TracksTotal},
    {"InternetRadioStationName", &clsID3::InternetRadioStationName},
    {"InternetRadioStationOwner", &clsID3::InternetRadioStationOwner},
    {"ISRC", &clsID3::ISRC},
    {"Year", &clsID3::Year},
    {"Lyrics", &clsID3::Lyrics},
    {"CopyrightInfo", &clsID3::CopyrightInfo},
    {"AudioURL", &clsID3::AudioURL},
    {"AudioSourceURL", &clsID3::AudioSourceURL},
    {"InternetRadioURL", &clsID3::InternetRadioURL},
    {"PaymentURL", &clsID3::PaymentURL},
    {"PublisherURL", &clsID3::PublisherURL},
}};

} // namespace

std::span<const TextProperty> TextProperties() { return kProperties; }

const TextProperty* FindTextProperty(std::string_view name)
{
    for (const auto& p : TextProperties())
        if (p.name == name)
            return &p;
    return nullptr;
}

PictureParts SplitPictureEntry(std::string_view entry, int revision)
{
    PictureParts parts;
    std::size_t typeAt;
    if (revision < 3) {
        if (entry.size() < 4)
            return parts.dataLength = entry.size(), parts;
        parts.format = std::string(entry.substr(0, 3));
        typeAt = 3;
    } else {
        std::size_t nul = entry.find('\0');
        if (nul == std::string_view::npos || nul + 1 >= entry.size())
            return parts.dataLength = entry.size(), parts;
        parts.format = std::string(entry.substr(0, nul));
        typeAt = nul + 1;
    }
    std::size_t descEnd = entry.find('\0', typeAt + 1);
    if (descEnd == std::string_view::npos) {
        parts = PictureParts{};
        parts.dataLength = entry.size();
        return parts;
    }
    parts.pictureType = static_cast<unsigned char>(entry[typeAt]);
    parts.description = std::string(entry.substr(typeAt + 1, descEnd - typeAt - 1));
    parts.dataOffset = descEnd + 1;
    parts.dataLength = entry.size() - parts.dataOffset;
    return parts;
}

} // namespace brindle
