#include "TrailingTags.h"

#include "Ascii.h"
#include "FileReader.h"
#include "Genres.h"
#include "NumberText.h"
#include "TextCodec.h"
#include "clsID3.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace brindle {

namespace {

std::u16string escapeLineBreaks(std::u16string s)
{
    std::u16string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'\r' && i + 1 < s.size() && s[i + 1] == u'\n') {
            out += u"[CR][LF]";
            ++i;
        } else if (s[i] == u'\r') {
            out += u"[CR]";
        } else if (s[i] == u'\n') {
            out += u"[LF]";
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

std::string digits(std::size_t value, int width)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*zu", width, value);
    return buf;
}

// The track byte of an ID3v1.1 tag: a number from 1 to 255, rounded to a whole
// number; 0 (no track byte) for anything else.
int trackByte(const std::u16string& text)
{
    auto value = NumberTextValue(text);
    return value && *value >= 1 && *value <= 255 ? static_cast<int>(std::nearbyint(*value)) : 0;
}

} // namespace

TrailingTagLayout LocateTrailingTags(FileReader& file)
{
    TrailingTagLayout t;
    const std::int64_t length = file.length();
    t.beforeId3v1 = length;
    if (length >= kId3v1Size && file.read(length - kId3v1Size, 3) == "TAG") {
        t.id3v1 = true;
        t.beforeId3v1 = length - kId3v1Size;
    }
    const std::int64_t e = t.beforeId3v1;
    if (e < 9)
        return t;
    const std::string marker(file.read(e - 9, 9));
    if (marker == "LYRICS200") {
        t.lyrics3v2 = true;
        // Six digits before the marker give the block's length from "LYRICSBEGIN" on.
        if (e < 15)
            return t;
        std::string_view sizeField = file.read(e - 15, 6);
        if (sizeField.size() != 6 || !AllDigits(sizeField))
            return t;
        const std::int64_t size = DigitsValue(sizeField);
        const auto markerLength = static_cast<std::int64_t>(kLyricsBegin.size());
        if (size >= markerLength && size <= e - 15 && file.read(e - 15 - size, kLyricsBegin.size()) == kLyricsBegin)
            t.lyricsStart = e - 15 - size;
    } else if (marker == "LYRICSEND") {
        t.lyrics3v1 = true;
        // Up to 5100 bytes of lyrics and the start marker before the end marker.
        std::int64_t from = std::max<std::int64_t>(0, e - 5120);
        std::int64_t to = e - 10; // inclusive
        if (to < from)
            return t;
        std::string window(file.read(from, static_cast<std::size_t>(to - from + 1)));
        std::size_t at = window.rfind(kLyricsBegin);
        if (at != std::string::npos)
            t.lyricsStart = from + static_cast<std::int64_t>(at);
    }
    return t;
}

std::string PadField(const std::u16string& text, std::size_t width)
{
    std::string bytes = EncodeSingleByte(std::u16string_view(text).substr(0, width));
    bytes.resize(width, '\0');
    return bytes;
}

std::string BuildTrailer(const clsID3& tag)
{
    std::string out;

    if (tag.Title.size() > 30 || tag.Artist.size() > 30 || tag.Album.size() > 30) {
        std::string block(kLyricsBegin);
        block += "IND0000200";
        const std::pair<const char*, const std::u16string*> fields[] = {
            {"EAL", &tag.Album}, {"EAR", &tag.Artist}, {"ETT", &tag.Title}};
        for (const auto& [id, value] : fields) {
            if (value->size() <= 30)
                continue;
            std::string data = EncodeSingleByte(escapeLineBreaks(value->substr(0, 250)));
            block += id;
            block += digits(data.size(), 5);
            block += data;
        }
        out += block;
        out += digits(block.size(), 6);
        out += "LYRICS200";
    }

    std::int32_t g = tag.GenreID;
    std::u16string genre = AsciiLower(std::u16string_view(tag.Genre));
    if ((g == kGenreOther && genre != u"other") || (g == kGenreNone && genre != u"unknown"))
        g = GenreIdOf(tag.Genre);
    if (g == -1 || g == -2)
        g = kGenreOther;
    if (g < 0 || g > 255)
        g = kGenreNone;

    bool nothing = tag.Title.empty() && tag.Artist.empty() && tag.Album.empty() && tag.Year.empty() &&
                   tag.Comments.empty() && tag.TrackNumber.empty() && (g == kGenreOther || g == kGenreNone);
    if (nothing)
        return out;

    out += "TAG";
    out += PadField(tag.Title, 30);
    out += PadField(tag.Artist, 30);
    out += PadField(tag.Album, 30);
    out += PadField(tag.Year, 4);
    if (int track = trackByte(tag.TrackNumber)) {
        out += PadField(tag.Comments, 28);
        out.push_back('\0');
        out.push_back(static_cast<char>(track));
    } else {
        out += PadField(tag.Comments, 30);
    }
    out.push_back(static_cast<char>(g));
    return out;
}

} // namespace brindle
