// Interoperability with an independent tag library (mutagen, from Debian's
// python3-mutagen): what Brindle writes, it reads back with the same values, and what
// it and its mid3v2 tool write, Brindle reads with the same values. Skipped when
// python3 with mutagen is not installed.
#include "Mp3Builder.h"
#include "tag/TextCodec.h"
#include "tag/TrailingTags.h"
#include "tag/clsID3.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <sys/wait.h>

using namespace brindle;
using namespace brindle::test;
using namespace std::string_literals;
using Json = nlohmann::json;

namespace {

const std::filesystem::path kScripts = std::filesystem::path(__FILE__).parent_path() / "interop";

std::string quote(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? "'\\''"s : std::string(1, c);
    return out + "'";
}

struct Result {
    int status = -1;
    std::string out;
};

Result run(const std::string& command)
{
    Result r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        r.out.append(buf, n);
    int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// The first python3 that has mutagen; Debian's own comes first, since a python3
// earlier on PATH (a virtual environment) may lack the system's packages.
const std::string& python()
{
    static const std::string found = [] {
        for (std::string candidate : {"/usr/bin/python3", "python3"})
            if (run(quote(candidate) + " -c 'import mutagen' 2>/dev/null").status == 0)
                return candidate;
        return std::string();
    }();
    return found;
}

// mid3v2 runs on the same Debian python3, so its path is looked up rather than assumed.
const std::string& mid3v2()
{
    static const std::string found = [] {
        Result r = run("command -v mid3v2 2>/dev/null");
        std::string path = r.out.substr(0, r.out.find('\n'));
        return r.status == 0 ? path : std::string();
    }();
    return found;
}

std::string u8(const std::u16string& s) { return ToUtf8(s); }

std::string hex(std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 15]);
    }
    return out;
}

class Interop : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("song.mp3");
    std::string audio = MpegFrames(8);

    void SetUp() override
    {
        if (python().empty())
            GTEST_SKIP() << "python3 with mutagen is not installed";
    }

    Json mutagenRead()
    {
        Result r = run(quote(python()) + " " + quote((kScripts / "read_tags.py").string()) + " " + quote(path));
        EXPECT_EQ(r.status, 0) << r.out;
        return Json::parse(r.out, nullptr, false);
    }
    void mutagenWrite(const Json& request)
    {
        std::string requestPath = dir.file("request.json");
        WriteFile(requestPath, request.dump());
        Result r = run(quote(python()) + " " + quote((kScripts / "write_tags.py").string()) + " " + quote(path) + " " +
                       quote(requestPath) + " 2>&1");
        ASSERT_EQ(r.status, 0) << r.out;
    }

    // Every frame of one ID, in file order.
    static std::vector<Json> frames(const Json& read, const std::string& id)
    {
        std::vector<Json> out;
        for (const auto& f : read["tag"]["frames"])
            if (f["id"] == id)
                out.push_back(f);
        return out;
    }
    static std::string textOf(const Json& read, const std::string& id)
    {
        auto all = frames(read, id);
        return all.size() == 1 && all[0].contains("text") ? all[0]["text"].get<std::string>()
                                                          : "<" + id + " x" + std::to_string(all.size()) + ">";
    }

    // The audio bytes follow the tag as the other library measures it, and the
    // rebuilt trailing tags follow the audio.
    void expectLayout(const Json& read, const clsID3& tag)
    {
        std::string file = ReadFile(path);
        auto size = read["tag"]["size"].get<std::size_t>();
        ASSERT_LE(size + audio.size(), file.size());
        EXPECT_TRUE(file.substr(size, audio.size()) == audio) << "audio bytes changed";
        EXPECT_TRUE(file.substr(size + audio.size()) == BuildTrailer(tag)) << "trailing tags";
        EXPECT_EQ(read["audio"]["sample_rate"], 44100);
        EXPECT_EQ(read["audio"]["bitrate"], 128000);
    }
};

struct Values {
    std::u16string title, artist, album, comment, lyrics, composer;
};

const Values kLatin{u"Café del Mar", u"Sigur Rós", u"Ágætis byrjun", u"Très bien", u"La la\r\nlà", u"Dvorak"};
const Values kNonLatin{u"Сон № 5 — 夜", u"Björk & 王菲", u"Ελληνικά", u"コメント", u"Zeile 1\r\nЛиния 2", u"Dvořák"};

} // namespace

TEST_F(Interop, WhatBrindleWritesReadsTheSameElsewhere)
{
    const std::string jpeg = "\xFF\xD8\xFF\xE0\0\x10JFIF\0\x01\x02\0\0\x01\0\x01\0\0\xFF\xD9"s;
    for (int version : {2, 3, 4}) {
        for (const Values* v : {&kLatin, &kNonLatin}) {
            SCOPED_TRACE("version " + std::to_string(version) + ", " + u8(v->title));
            std::string oldFrame = version < 3 ? Frame(2, "TT2", Latin1("Old")) : Frame(version, "TIT2", Latin1("Old"));
            std::string before = Tag(version, oldFrame, 64) + audio + Id3v1("Old", "", "", "", "", -1, 255);
            WriteFile(path, before);
            clsID3 tag;
            tag.SetFileName(path);
            ASSERT_EQ(tag.ID3RevisionV2(), version);
            tag.Title = v->title;
            tag.Artist = v->artist;
            tag.Album = v->album;
            tag.Comments = v->comment;
            tag.Lyrics = v->lyrics;
            tag.Composer = v->composer;
            tag.Year = u"2004";
            tag.TrackNumber = u"3";
            tag.TracksTotal = u"12";
            tag.GenreID = 17;
            tag.Genre = u"Rock";
            tag.AudioURL = u"http://audio.example/file";
            tag.ArtistURL->Add("http://artist.example/1");
            tag.ArtistURL->Add("http://artist.example/2");
            tag.CommercialInfo->Add("http://shop.example/");
            std::string picture = version < 3 ? "JPG\x03"
                                                "Cover\0"s +
                                                    jpeg
                                              : "image/jpeg\0\x03"
                                                "Cover\0"s +
                                                    jpeg;
            tag.AttachedPictures->Add(picture, std::nullopt, std::nullopt, true);
            ASSERT_TRUE(tag.UpdateID3Tags()) << tag.LastError();

            Json read = mutagenRead();
            ASSERT_FALSE(read["tag"].is_null());
            EXPECT_EQ(read["tag"]["version"][1], version);
            EXPECT_EQ(textOf(read, "TIT2"), u8(v->title));
            EXPECT_EQ(textOf(read, "TPE1"), u8(v->artist));
            EXPECT_EQ(textOf(read, "TALB"), u8(v->album));
            EXPECT_EQ(textOf(read, "TCOM"), u8(v->composer));
            EXPECT_EQ(textOf(read, "TRCK"), "3/12");
            EXPECT_EQ(textOf(read, "TCON"), "(17)Rock");
            EXPECT_EQ(textOf(read, version < 4 ? "TYER" : "TDRC"), "2004");
            auto comm = frames(read, "COMM");
            ASSERT_EQ(comm.size(), 1u);
            EXPECT_EQ(comm[0]["lang"], "eng");
            EXPECT_EQ(comm[0]["desc"], "");
            EXPECT_EQ(comm[0]["text"], u8(v->comment));
            auto uslt = frames(read, "USLT");
            ASSERT_EQ(uslt.size(), 1u);
            EXPECT_EQ(uslt[0]["desc"], "");
            EXPECT_EQ(uslt[0]["text"], u8(v->lyrics));
            ASSERT_EQ(frames(read, "WOAF").size(), 1u);
            EXPECT_EQ(frames(read, "WOAF")[0]["url"], "http://audio.example/file");
            auto woar = frames(read, "WOAR");
            ASSERT_EQ(woar.size(), 2u);
            EXPECT_EQ(woar[0]["url"], "http://artist.example/1");
            EXPECT_EQ(woar[1]["url"], "http://artist.example/2");
            ASSERT_EQ(frames(read, "WCOM").size(), 1u);
            auto apic = frames(read, "APIC");
            ASSERT_EQ(apic.size(), 1u);
            EXPECT_EQ(apic[0]["mime"], version < 3 ? "JPG" : "image/jpeg");
            EXPECT_EQ(apic[0]["type"], 3);
            EXPECT_EQ(apic[0]["desc"], "Cover");
            EXPECT_EQ(apic[0]["data"], hex(jpeg));
            expectLayout(read, tag);

            // Brindle reads its own file back the same way.
            clsID3 back;
            back.SetFileName(path);
            EXPECT_EQ(back.Title, v->title);
            EXPECT_EQ(back.Lyrics, v->lyrics);
            EXPECT_EQ(back.GenreID, 17);
            ASSERT_EQ(back.AttachedPictures->Count(), 1);
            EXPECT_EQ(back.AttachedPictures->Item(1), picture);

            ASSERT_TRUE(back.DeleteID3Tags()) << back.LastError();
            EXPECT_TRUE(ReadFile(path) == audio);
            EXPECT_TRUE(mutagenRead()["tag"].is_null());
        }
    }
}

// The other library writes 2.4 pictures with a data length and unsynchronisation;
// after a save it still finds the same picture.
TEST_F(Interop, PictureWithADataLengthSurvivesASave)
{
    const std::string jpeg = "\xFF\xD8\xFF\xE0\0\x10JFIF\0\x01\xFF\0\xFF\xD9"s;
    const std::string entry = "\0image/jpeg\0\x03"
                              "Cover\0"s +
                              jpeg;
    std::string apic = Frame(4, "APIC", SyncSafe(static_cast<std::uint32_t>(entry.size())) + Unsynchronise(entry), 0,
                             0x03);
    WriteFile(path, Tag(4, apic + Frame(4, "TIT2", Latin1("T")), 32) + audio);
    ASSERT_EQ(frames(mutagenRead(), "APIC").size(), 1u);
    clsID3 tag;
    tag.SetFileName(path);
    tag.Artist = u"Other";
    ASSERT_TRUE(tag.UpdateID3Tags()) << tag.LastError();
    Json read = mutagenRead();
    auto pictures = frames(read, "APIC");
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0]["mime"], "image/jpeg");
    EXPECT_EQ(pictures[0]["desc"], "Cover");
    EXPECT_EQ(pictures[0]["data"], hex(jpeg));
    EXPECT_EQ(textOf(read, "TPE1"), "Other");
}

TEST_F(Interop, LongTitlesGoToLyrics3AndSurviveTheOtherToolsDeletingId3v2)
{
    WriteFile(path, audio);
    clsID3 tag;
    tag.SetFileName(path);
    tag.Title = u"A title that is far too long for ID3v1 alone";
    tag.Artist = u"An artist with more than thirty chars";
    tag.Album = u"Short";
    ASSERT_TRUE(tag.UpdateID3Tags()) << tag.LastError();

    Json read = mutagenRead();
    EXPECT_EQ(textOf(read, "TIT2"), u8(tag.Title));
    EXPECT_EQ(textOf(read, "TPE1"), u8(tag.Artist));
    expectLayout(read, tag);

    // The other tool removes the ID3v2 tag only; the long values live on in Lyrics3.
    if (mid3v2().empty())
        GTEST_SKIP() << "mid3v2 is not installed";
    Result r = run(quote(mid3v2()) + " --delete-v2 " + quote(path) + " 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
    clsID3 back;
    back.SetFileName(path);
    EXPECT_FALSE(back.ID3v2Exists());
    EXPECT_TRUE(back.Lyrics3v2Exists());
    EXPECT_EQ(back.Title, tag.Title);
    EXPECT_EQ(back.Artist, tag.Artist);
    EXPECT_EQ(back.Album, u"Short");
}

TEST_F(Interop, WhatMid3v2WritesBrindleReads)
{
    if (mid3v2().empty())
        GTEST_SKIP() << "mid3v2 is not installed";
    WriteFile(path, audio);
    std::string command = quote(mid3v2()) + " -t " + quote("Über den Wolken — 雲") + " -a " + quote("Die Ärzte") +
                          " -A " + quote("Ελληνικά") + " -y 2004-05-06 -c " + quote("Ein Kommentar") +
                          " -g Rock -T 3/12 --WOAR http://artist.example/ --TCOM " + quote("Dvořák") + " " +
                          quote(path) + " 2>&1";
    Result r = run(command);
    ASSERT_EQ(r.status, 0) << r.out;

    clsID3 tag;
    tag.SetFileName(path);
    EXPECT_EQ(tag.ID3RevisionV2(), 4);
    EXPECT_EQ(tag.Title, u"Über den Wolken — 雲");
    EXPECT_EQ(tag.Artist, u"Die Ärzte");
    EXPECT_EQ(tag.Album, u"Ελληνικά");
    EXPECT_EQ(tag.Year, u"2004");
    EXPECT_EQ(tag.Comments, u"Ein Kommentar");
    EXPECT_EQ(tag.Genre, u"Rock");
    EXPECT_EQ(tag.TrackNumber, u"3");
    EXPECT_EQ(tag.TracksTotal, u"12");
    EXPECT_EQ(tag.Composer, u"Dvořák");
    ASSERT_EQ(tag.ArtistURL->Count(), 1);
    EXPECT_EQ(tag.ArtistURL->Item(1), "http://artist.example/");

    // Editing the title leaves the other tool's frames readable to it, the date included.
    tag.Title = u"Neu";
    ASSERT_TRUE(tag.UpdateID3Tags()) << tag.LastError();
    Json read = mutagenRead();
    EXPECT_EQ(textOf(read, "TIT2"), "Neu");
    EXPECT_EQ(textOf(read, "TPE1"), "Die Ärzte");
    EXPECT_EQ(textOf(read, "TDRC"), "2004-05-06");
    EXPECT_EQ(textOf(read, "TCOM"), "Dvořák");
    expectLayout(read, tag);
}

TEST_F(Interop, EveryTextEncodingTheOtherLibraryWritesIsRead)
{
    const std::string png = "\x89PNG\r\n\x1A\n\0\0\0\rIHDR"s;
    struct Case {
        int version;
        int encoding;
        Values v;
    } cases[] = {
        {3, 0, kLatin}, {3, 1, kNonLatin}, {4, 0, kLatin}, {4, 1, kNonLatin}, {4, 2, kNonLatin}, {4, 3, kNonLatin},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("version " + std::to_string(c.version) + ", encoding " + std::to_string(c.encoding));
        WriteFile(path, audio);
        Json request;
        request["version"] = c.version;
        request["encoding"] = c.encoding;
        Json f;
        f["TIT2"] = u8(c.v.title);
        f["TPE1"] = u8(c.v.artist);
        f["TALB"] = u8(c.v.album);
        f["TCOM"] = u8(c.v.composer);
        f["COMM"] = ":" + u8(c.v.comment);
        f["USLT"] = ":" + u8(c.v.lyrics);
        f["TRCK"] = "7/9";
        f[c.version < 4 ? "TYER" : "TDRC"] = c.version < 4 ? "1999" : "1999-12-31";
        f["TCON"] = "(8)Jazz";
        f["WOAR"] = Json::array({"http://a.example/1", "http://a.example/2"});
        f["APIC"] = Json{{"mime", "image/png"}, {"type", 3}, {"desc", c.encoding ? "Bild" : ""}, {"data", hex(png)}};
        request["frames"] = f;
        mutagenWrite(request);

        clsID3 tag;
        tag.SetFileName(path);
        EXPECT_EQ(tag.ID3RevisionV2(), c.version);
        EXPECT_EQ(tag.Title, c.v.title);
        EXPECT_EQ(tag.Artist, c.v.artist);
        EXPECT_EQ(tag.Album, c.v.album);
        EXPECT_EQ(tag.Composer, c.v.composer);
        EXPECT_EQ(tag.Comments, c.v.comment);
        EXPECT_EQ(tag.Lyrics, c.v.lyrics);
        EXPECT_EQ(tag.TrackNumber, u"7");
        EXPECT_EQ(tag.TracksTotal, u"9");
        EXPECT_EQ(tag.Year, u"1999");
        EXPECT_EQ(tag.GenreID, 8);
        EXPECT_EQ(tag.Genre, u"Jazz");
        ASSERT_EQ(tag.ArtistURL->Count(), 2);
        EXPECT_EQ(tag.ArtistURL->Item(2), "http://a.example/2");
        ASSERT_EQ(tag.AttachedPictures->Count(), 1);
        const std::string& entry = tag.AttachedPictures->Item(1);
        EXPECT_TRUE(entry.size() > png.size() && entry.compare(entry.size() - png.size(), png.size(), png) == 0);

        // A Brindle edit of one field leaves the picture and the other values intact
        // for the other library.
        tag.Artist = u"Changed";
        ASSERT_TRUE(tag.UpdateID3Tags()) << tag.LastError();
        Json read = mutagenRead();
        EXPECT_EQ(textOf(read, "TPE1"), "Changed");
        EXPECT_EQ(textOf(read, "TIT2"), u8(c.v.title));
        EXPECT_EQ(textOf(read, "TCOM"), u8(c.v.composer));
        auto apic = frames(read, "APIC");
        ASSERT_EQ(apic.size(), 1u);
        EXPECT_EQ(apic[0]["desc"], c.encoding ? "Bild" : "");
        EXPECT_EQ(apic[0]["data"], hex(png));
        expectLayout(read, tag);
    }
}
