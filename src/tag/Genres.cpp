#include "Genres.h"

#include "TextCodec.h"

#include <array>

namespace brindle {

namespace {

const std::array<std::string_view, kGenreCount> kGenres = {
    "Blues",
    "Classic Rock",
    "Country",
    "Dance",
    "Disco",
    "Funk",
    "Grunge",
    "Hip-Hop",
    "Jazz",
    "Metal",
    "New Age",
    "Oldies",
    "Other",
    "Pop",
    "R&B",
    "Rap",
    "Reggae",
    "Rock",
    "Techno",
    "Industrial",
    "Alternative",
    "Ska",
    "Death Metal",
    "Pranks",
    "Soundtrack",
    "Euro-Techno",
    "Ambient",
    "Trip-Hop",
    "Vocal",
    "Jazz+Funk",
    "Fusion",
    "Trance",
    "Classical",
    "Instrumental",
    "Acid",
    "House",
    "Game",
    "Sound Clip",
    "Gospel",
    "Noise",
    "AlternRock",
    "Bass",
    "Soul",
    "Punk",
    "Space",
    "Meditative",
    "Instrumental Pop",
    "Instrumental Rock",
    "Ethnic",
    "Gothic",
    "Darkwave",
    "Techno-Industrial",
    "Electronic",
    "Pop-Folk",
    "Eurodance",
    "Dream",
    "Southern Rock",
    "Comedy",
    "Cult",
    "Gangsta",
    "Top 40",
    "Christian Rap",
    "Pop/Funk",
    "Jungle",
    "Native American",
    "Cabaret",
    "New Wave",
    "Psychedelic",
    "Rave",
    "Showtunes",
    "Trailer",
    "Lo-Fi",
    "Tribal",
    "Acid Punk",
    "Acid Jazz",
    "Polka",
    "Retro",
    "Musical",
    "Rock & Roll",
    "Hard Rock",
    "Folk",
    "Folk-Rock",
    "National Folk",
    "Swing",
    "Fast Fusion",
    "Bebob",
    "Latin",
    "Revival",
    "Celtic",
    "Bluegrass",
    "Avantgarde",
    "Gothic Rock",
    "Progressive Rock",
    "Psychedelic Rock",
    "Symphonic Rock",
    "Slow Rock",
    "Big Band",
    "Chorus",
    "Easy Listening",
    "Acoustic",
    "Humor",
    "Speech",
    "Chanson",
    "Opera",
    "Chamber Music",
    "Sonata",
    "Symphony",
    "Booty Bass",
    "Primus",
    "Porn Groove",
    "Satire",
    "Slow Jam",
    "Club",
    "Tango",
    "Samba",
    "Folklore",
    "Ballad",
    "Power Ballad",
    "Rhythmic Soul",
    "Freestyle",
    "Duet",
    "Punk Rock",
    "Drum Solo",
    "A Cappella",
    "Euro-House",
    "Dance Hall",
    "Goa",
    "Drum & Bass",
    "Club-House",
    "Hardcore",
    "Terror",
    "Indie",
    "BritPop",
    "Negerpunk",
    "Polsk Punk",
    "Beat",
    "Christian Gangsta Rap",
    "Heavy Metal",
    "Black Metal",
    "Crossover",
    "Contemporary Christian",
    "Christian Rock",
    "Merengue",
    "Salsa",
    "Thrash Metal",
    "Anime",
    "JPop",
    "Synthpop",
};

std::u16string ascii(std::string_view s) { return std::u16string(s.begin(), s.end()); }

void removeAll(std::u16string& s, std::u16string_view what)
{
    std::size_t at;
    while ((at = s.find(what)) != std::u16string::npos)
        s.erase(at, what.size());
}

} // namespace

std::u16string GenreNameOf(std::int32_t id)
{
    if (id >= 0 && id < kGenreCount)
        return ascii(kGenres[static_cast<std::size_t>(id)]);
    switch (id) {
    case kGenreNone: return u"Unknown";
    case kGenreRemix: return u"Remix";
    case kGenreCover: return u"Cover";
    default: return {};
    }
}

std::u16string NormalizeGenreName(std::u16string_view name)
{
    std::u16string s(name);
    removeAll(s, u"/");
    removeAll(s, u" and ");
    removeAll(s, u"&");
    removeAll(s, u"-");
    removeAll(s, u"+");
    removeAll(s, u" ");
    for (auto& c : s)
        // ASCII and Latin-1 capitals (but the multiplication sign) lie 32 below their small letters.
        if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
            c = static_cast<char16_t>(c + 32);
    return s;
}

std::int32_t GenreIdOf(std::u16string_view name)
{
    auto first = name.find_first_not_of(u' ');
    if (first == std::u16string_view::npos)
        return kGenreNone;
    // Search order: Cover, Remix, 0..147, 255.
    static const auto normalized = [] {
        std::array<std::u16string, kGenreCount + 3> t;
        std::size_t slot = 0;
        for (std::int32_t id = kGenreCover; id < kGenreCount; ++id)
            t[slot++] = NormalizeGenreName(GenreNameOf(id));
        t.back() = NormalizeGenreName(GenreNameOf(kGenreNone));
        return t;
    }();
    std::u16string wanted = NormalizeGenreName(name);
    for (std::size_t i = 0; i < normalized.size(); ++i)
        if (normalized[i] == wanted)
            return i + 1 == normalized.size() ? kGenreNone : static_cast<std::int32_t>(i) + kGenreCover;
    return kGenreOther;
}

} // namespace brindle
