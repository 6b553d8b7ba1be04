// brindle-cli show and list, end to end on generated files.
#include "CliRunner.h"
#include "Mp3Builder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <sstream>

using namespace brindle::test;
using Json = nlohmann::json;

namespace {

std::vector<Json> jsonLines(const std::string& text)
{
    std::vector<Json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(Json::parse(line));
    return lines;
}

} // namespace

TEST(CliShow, JsonHoldsEveryPropertyWithItsType)
{
    TempDir dir;
    std::string picture = std::string("\0image/png\0\3cover\0", 18) + "PNGDATA";
    std::string frames = Frame(3, "TIT2", Utf16(u"Caf\u00E9 \u041C\u0438\u0440")) + Frame(3, "TPE1", Latin1("Artist")) +
                         Frame(3, "TCON", Latin1("(17)Rock")) + Frame(3, "TRCK", Latin1("3/12")) +
                         Frame(3, "WOAR", "http://a") + Frame(3, "WOAR", "http://b") + Frame(3, "APIC", picture) +
                         Frame(3, "TPE2", std::string("\0x\0y", 4));
    WriteFile(dir.file("a.mp3"), Tag(3, frames, 100) + MpegFrames(10) + Id3v1("", "", "", "1999", "", -1, 255));

    CliResult r = RunCli({"show", "--json", dir.file("a.mp3")});
    ASSERT_EQ(r.status, 0) << r.err;
    auto lines = jsonLines(r.out);
    ASSERT_EQ(lines.size(), 1u);
    const Json& j = lines[0];
    EXPECT_EQ(j["Title"], "Caf\u00E9 \u041C\u0438\u0440");
    EXPECT_EQ(j["Artist"], "Artist");
    EXPECT_EQ(j["Band"], "x"); // cut at the first NUL of the value
    EXPECT_EQ(j["GenreID"], 17);
    EXPECT_EQ(j["Genre"], "Rock");
    EXPECT_EQ(j["TrackNumber"], "3");
    EXPECT_EQ(j["TracksTotal"], "12");
    EXPECT_EQ(j["Year"], "1999");
    EXPECT_EQ(j["ArtistURL"], Json::array({"http://a", "http://b"}));
    EXPECT_EQ(j["CommercialInfo"], Json::array());
    ASSERT_EQ(j["AttachedPictures"].size(), 1u);
    EXPECT_EQ(j["AttachedPictures"][0]["Format"], "image/png");
    EXPECT_EQ(j["AttachedPictures"][0]["PictureType"], 3);
    EXPECT_EQ(j["AttachedPictures"][0]["Description"], "cover");
    EXPECT_EQ(j["AttachedPictures"][0]["DataLength"], 7);
    EXPECT_EQ(j["ID3v2Exists"], true);
    EXPECT_EQ(j["ID3v1Exists"], true);
    EXPECT_EQ(j["Lyrics3v2Exists"], false);
    EXPECT_EQ(j["ID3RevisionV2"], 3);
    EXPECT_EQ(j["Layer"], 1);
    EXPECT_EQ(j["MPEGVersion"], 2);
    EXPECT_EQ(j["SamplingRateFrequency"], 44100);
    EXPECT_EQ(j["BitRate"], 128000.0);
    EXPECT_TRUE(j["FrameSize"].is_number_float());
    EXPECT_EQ(j["FileName"], dir.file("a.mp3"));
    for (const char* key : {"Comments",
                            "Album",
                            "BeatsPerMinute",
                            "Composer",
                            "Copyright",
                            "EncodedBy",
                            "Lyricist",
                            "InitialKey",
                            "Languages",
                            "OriginalAlbum",
                            "OriginalFileName",
                            "OriginalLyricist",
                            "OriginalArtist",
                            "OriginalReleaseYear",
                            "FileOwner",
                            "Conductor",
                            "InterpretedBy",
                            "DiscNumber",
                            "DiscsTotal",
                            "Publisher",
                            "InternetRadioStationName",
                            "InternetRadioStationOwner",
                            "ISRC",
                            "Lyrics",
                            "CopyrightInfo",
                            "AudioURL",
                            "AudioSourceURL",
                            "InternetRadioURL",
                            "PaymentURL",
                            "PublisherURL"})
        EXPECT_EQ(j[key], "") << key;
    for (const char* key : {"Padding", "ChannelMode", "Encoding", "FrameSamples", "Length", "Lyrics3v1Exists"})
        EXPECT_TRUE(j.contains(key)) << key;
}

TEST(CliShow, MissingFilesAreReportedAndTheOthersStillShown)
{
    TempDir dir;
    WriteFile(dir.file("ok.mp3"), MpegFrames(3) + Id3v1("T", "", "", "", "", -1, 255));
    CliResult r = RunCli({"show", "--json", dir.file("missing.mp3"), dir.file("ok.mp3")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing.mp3"), std::string::npos);
    EXPECT_NE(r.err.find("No such file"), std::string::npos);
    auto lines = jsonLines(r.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["Title"], "T");

    r = RunCli({"show", dir.path().string()});
    EXPECT_EQ(r.status, 1); // a folder is not a file
    EXPECT_EQ(RunCli({"show"}).status, 2);
    EXPECT_EQ(RunCli({"frobnicate"}).status, 2);
    r = RunCli({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("strip"), std::string::npos);
}

TEST(CliShow, PlainListingNamesNonEmptyValues)
{
    TempDir dir;
    WriteFile(dir.file("a.mp3"), Tag(3, Frame(3, "TIT2", Latin1("Song"))) + MpegFrames(5));
    CliResult r = RunCli({"show", dir.file("a.mp3")});
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Title: Song\n"), std::string::npos);
    EXPECT_EQ(r.out.find("Artist:"), std::string::npos);
    EXPECT_NE(r.out.find("44100 Hz"), std::string::npos);
}

TEST(CliList, FilterAndCells)
{
    TempDir dir;
    std::string audio = MpegFrames(100);
    WriteFile(dir.file("a.mp3"), Tag(3, Frame(3, "TIT2", Latin1("Alpha")) + Frame(3, "TCON", Latin1("Jazzy")) +
                                            Frame(3, "TRCK", Latin1("1/9"))) +
                                     audio);
    WriteFile(dir.file("b.MP3"), audio + Id3v1("Beta", "", "", "", "", 2, 17));
    WriteFile(dir.file("c.mp3.txt"), audio);
    WriteFile(dir.file(".e.mp3"), audio);
    std::filesystem::create_directory(dir.path() / "d.mp3");
    std::filesystem::create_symlink(dir.path() / "a.mp3", dir.path() / "link.mp3");

    CliResult r = RunCli({"list", "--json", dir.path().string()});
    ASSERT_EQ(r.status, 0) << r.err;
    Json rows = Json::parse(r.out);
    ASSERT_EQ(rows.size(), 3u);
    std::map<std::string, Json> byName;
    for (const auto& row : rows)
        byName[row["Filename"]] = row;
    ASSERT_TRUE(byName.count("a.mp3") && byName.count("b.MP3") && byName.count("link.mp3"));
    const Json& a = byName["a.mp3"];
    EXPECT_EQ(a["Title"], "Alpha");
    EXPECT_EQ(a["Genre"], "Jazzy"); // free text with no number
    EXPECT_EQ(a["Track No."], "1");
    EXPECT_EQ(a["Tracks Total"], "9");
    EXPECT_EQ(a["Bit Rate"], "128 kbps CBR");
    EXPECT_EQ(a["Duration"], "0:02");
    EXPECT_EQ(byName["b.MP3"]["Genre"], "Rock");
    EXPECT_EQ(byName["b.MP3"]["Title"], "Beta");
    std::vector<std::string> keys;
    for (auto it = a.begin(); it != a.end(); ++it)
        keys.push_back(it.key());
    EXPECT_EQ(keys.size(), 11u);

    r = RunCli({"list", dir.path().string()});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "Filename\tTitle\tArtist\tAlbum\tGenre\tTrack No.\tTracks Total\tYear\tDuration\tBit Rate\tComments");

    r = RunCli({"list", dir.file("nowhere")});
    EXPECT_EQ(r.status, 1);
    TempDir empty;
    r = RunCli({"list", "--json", empty.path().string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Json::parse(r.out), Json::array());
}

TEST(CliList, SortsAsTheWindowDoes)
{
    TempDir dir;
    std::string audio = MpegFrames(20);
    auto file = [&](const char* name, const char* title, const char* track) {
        WriteFile(dir.file(name), Tag(3, Frame(3, "TIT2", Latin1(title)) + Frame(3, "TRCK", Latin1(track))) + audio);
    };
    file("x.mp3", "beta", "10");
    file("y.mp3", "Alpha", "2");
    file("z.mp3", "gamma", "1");
    auto column = [](const std::string& out, std::size_t index) {
        std::vector<std::string> values;
        std::istringstream in(out);
        std::string line;
        std::getline(in, line); // header
        while (std::getline(in, line)) {
            std::istringstream cells(line);
            std::string cell;
            for (std::size_t i = 0; i <= index; ++i)
                std::getline(cells, cell, '\t');
            values.push_back(cell);
        }
        return values;
    };
    CliResult r = RunCli({"list", "--sort", "Title", dir.path().string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(column(r.out, 1), (std::vector<std::string>{"Alpha", "beta", "gamma"})); // letter case ignored
    r = RunCli({"list", "--sort", "6", "--descending", dir.path().string()});
    EXPECT_EQ(column(r.out, 5), (std::vector<std::string>{"10", "2", "1"})); // numbers, not text
    EXPECT_EQ(RunCli({"list", "--sort", "12", dir.path().string()}).status, 2);
}
