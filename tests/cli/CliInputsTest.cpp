// What brindle-cli accepts: which files it touches, which values it takes, and the
// conventions of a command-line tool.
#include "CliRunner.h"
#include "Mp3Builder.h"
#include "tag/clsID3.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace brindle;
using namespace brindle::test;
namespace fs = std::filesystem;

namespace {

std::string titled(const std::string& title) { return Tag(3, Frame(3, "TIT2", Latin1(title))) + MpegFrames(3); }

bool mentions(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

} // namespace

TEST(CliInputs, OnlyRegularMp3FilesUnlessForced)
{
    TempDir dir;
    const std::string readme = "read me\n";
    WriteFile(dir.file("README"), readme);
    WriteFile(dir.file("noext"), readme);
    WriteFile(dir.file("my_song.MP3"), titled("Kept"));
    fs::create_directory(dir.file("folder.mp3"));
    ASSERT_EQ(::mkfifo(dir.file("pipe.mp3").c_str(), 0644), 0);
    const std::vector<std::string> others = {dir.file("README"), dir.file("noext"), dir.file("folder.mp3"),
                                             dir.file("pipe.mp3")};

    const std::vector<std::vector<std::string>> commands = {{"show"},
                                                            {"set", "--set", "Album=A"},
                                                            {"strip"},
                                                            {"clean-names"},
                                                            {"title-from-filename"},
                                                            {"number-files"},
                                                            {"rename", "--from-title"},
                                                            {"remove-leading-numbers"}};
    for (auto args : commands) {
        args.insert(args.end(), others.begin(), others.end());
        CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 1) << args[0];
        for (const auto& other : others)
            EXPECT_TRUE(mentions(r.err, other)) << args[0] << ": " << r.err;
        EXPECT_EQ(ReadFile(dir.file("README")), readme) << args[0];
        EXPECT_EQ(ReadFile(dir.file("noext")), readme) << args[0];
    }
    // Nothing was renamed: the folder holds what it held.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 5);
    // An MP3 name in any letter case is an MP3 file.
    CliResult r = RunCli({"clean-names", dir.file("my_song.MP3"), dir.file("README")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(fs::exists(dir.file("My Song.mp3"))) << r.err;

    // --force takes any regular file for show, set and strip, never a FIFO or a folder.
    r = RunCli({"set", "--force", "--set", "Album=A", dir.file("noext"), dir.file("pipe.mp3")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(mentions(r.err, "pipe.mp3")) << r.err;
    clsID3 tag;
    tag.SetFileName(dir.file("noext"));
    EXPECT_EQ(tag.Album, u"A");
    EXPECT_EQ(RunCli({"show", "--force", dir.file("noext")}).status, 0);
    EXPECT_EQ(RunCli({"strip", "--force", dir.file("noext")}).status, 0);
}

TEST(CliInputs, NamesAreBytesAndTheirTwinIsNeverTouched)
{
    TempDir dir;
    const std::string invalid = dir.file("song\xff.mp3"), twin = dir.file("song\xef\xbf\xbd.mp3");
    WriteFile(invalid, titled("Mine"));
    WriteFile(twin, titled("Twin"));
    const std::string twinBefore = ReadFile(twin);

    CliResult r = RunCli({"set", "--set", "Album=Changed", invalid});
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunCli({"title-from-filename", invalid});
    ASSERT_EQ(r.status, 0) << r.err;
    clsID3 tag;
    tag.SetFileName(invalid);
    EXPECT_EQ(tag.Album, u"Changed");
    EXPECT_EQ(tag.Title, u"song\uFFFD");
    // A rename keeps the odd byte and leaves the twin alone.
    r = RunCli({"clean-names", invalid});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string cleaned = dir.file("Song\xff.mp3");
    EXPECT_TRUE(fs::exists(cleaned));
    EXPECT_EQ(ReadFile(twin), twinBefore);
    r = RunCli({"show", cleaned});
    EXPECT_TRUE(mentions(r.out, "Title: song\uFFFD\n")) << r.out;
}

TEST(CliInputs, TerminalOutputShowsControlCharactersEscaped)
{
    TempDir dir;
    WriteFile(dir.file("a.mp3"), titled("one\x1b[2J\nFileName: forged\rx\x07"));
    CliResult r = RunCli({"show", dir.file("a.mp3")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(mentions(r.out, "Title: one\\x1b[2J\\x0aFileName: forged\\x0dx\\x07\n")) << r.out;
    EXPECT_FALSE(mentions(r.out, "\x1b"));
    r = RunCli({"list", dir.path().string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
    EXPECT_TRUE(mentions(r.out, "\tone\\x1b[2J\\x0aFileName")) << r.out;
}

TEST(CliSetValues, CheckedNamesAndGenreNumberFollowsTheText)
{
    TempDir dir;
    const std::string a = dir.file("a.mp3");
    WriteFile(a, Tag(3, Frame(3, "TCON", Latin1("(17)Rock"))) + MpegFrames(3));
    CliResult r = RunCli({"set", "--set", "genre=Jazz", "--set", "TITLE=t", "--set", "year=", a});
    ASSERT_EQ(r.status, 0) << r.err;
    clsID3 tag;
    tag.SetFileName(a);
    EXPECT_EQ(tag.Genre, u"Jazz");
    EXPECT_EQ(tag.GenreID, 8);
    EXPECT_EQ(tag.Title, u"t");
    const std::string bytes = ReadFile(a);
    EXPECT_EQ(static_cast<unsigned char>(bytes.back()), 8); // the ID3v1 genre byte

    r = RunCli({"set", "--set", "Titel=x", a});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(mentions(r.err, "did you mean Title?")) << r.err;
    r = RunCli({"set", "--set", "GenreID=999", a});
    EXPECT_TRUE(mentions(r.err, "GenreID takes a genre number")) << r.err;
    r = RunCli({"set", "--set", "ArtistURL=x", a});
    EXPECT_TRUE(mentions(r.err, "ArtistURL is a list")) << r.err;
    for (const char* accepted : {"GenreID=255", "GenreID=-2", "TrackNumber=", "DiscsTotal=12", "Year=1999"})
        EXPECT_EQ(RunCli({"set", "--set", accepted, a}).status, 0) << accepted;
}

TEST(CliConventions, VersionHelpAndUnknownCommands)
{
    CliResult r = RunCli({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("brindle-cli ", 0), 0u) << r.out;
    r = RunCli({"frobnicate"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(mentions(r.err, "unknown command \"frobnicate\"")) << r.err;
    EXPECT_TRUE(mentions(r.err, "show, list, set")) << r.err;
    r = RunCli({"set", "--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* name : {"GenreID", "OriginalReleaseYear", "AttachedPictures"})
        EXPECT_TRUE(mentions(r.out, name)) << name;
}
