// brindle-cli set and strip, end to end on files in a temporary folder.
#include "../tag/ReadOnlyFile.h"
#include "CliRunner.h"
#include "Mp3Builder.h"
#include "tag/TextCodec.h"
#include "tag/clsID3.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace brindle;
using namespace brindle::test;
using namespace std::string_literals;

namespace {

class CliSetStrip : public ::testing::Test {
protected:
    TempDir dir;
    std::string audio = MpegFrames(5);

    std::string make(const std::string& name, const std::string& title)
    {
        std::string path = dir.file(name);
        WriteFile(path, Tag(3, Frame(3, "TIT2", Latin1(title)), 32) + audio + Id3v1(title, "", "", "", "", -1, 255));
        return path;
    }
    static std::unique_ptr<clsID3> read(const std::string& path)
    {
        auto tag = std::make_unique<clsID3>();
        tag->SetFileName(path);
        return tag;
    }
    static std::size_t lines(const std::string& text)
    {
        return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    }
};

} // namespace

TEST_F(CliSetStrip, EditsApplyInTheOrderGiven)
{
    std::string a = make("a.mp3", "A"), b = make("b.mp3", "B");
    CliResult r = RunCli({"set", "--set", "Title=First", "--add", "ArtistURL=http://one/", "--clear", "ArtistURL",
                          "--add", "ArtistURL=http://two/", "--set", "Title=Second", a, b});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (const auto& path : {a, b}) {
        auto tag = read(path);
        EXPECT_EQ(tag->Title, u"Second");
        ASSERT_EQ(tag->ArtistURL->Count(), 1);
        EXPECT_EQ(tag->ArtistURL->Item(1), "http://two/");
    }

    // Options may also follow the files; --clear last empties the list again.
    r = RunCli(
        {"set", a, "--set", "GenreID=17", "--set", "Genre=Rock", "--clear", "ArtistURL", "--set", "TrackNumber=4"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto tag = read(a);
    EXPECT_EQ(tag->GenreID, 17);
    EXPECT_EQ(tag->Genre, u"Rock");
    EXPECT_EQ(tag->TrackNumber, u"4");
    EXPECT_EQ(tag->ArtistURL->Count(), 0);
    EXPECT_EQ(tag->Title, u"Second");
    std::string bytes = ReadFile(a);
    EXPECT_EQ(bytes.substr(bytes.size() - 128), Id3v1("Second", "", "", "", "", 4, 17));
}

TEST_F(CliSetStrip, UsageErrorsTouchNoFile)
{
    std::string a = make("a.mp3", "A"), b = make("b.mp3", "B");
    struct timespec old[2] = {{1000000000, 5}, {1000000000, 5}};
    for (const auto& path : {a, b})
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
    const std::string before = ReadFile(a);
    const std::vector<std::vector<std::string>> cases = {
        {"set", "--set", "Title=ok", "--set", "Bogus=1", a, b},
        {"set", "--set", "Title=ok", "--set", "GenreID=rock", a, b},
        {"set", "--set", "GenreID=", a, b},
        {"set", "--set", "Title", a, b},
        {"set", "--set", "=x", a, b},
        {"set", "--add", "Pictures=x", a, b},
        {"set", "--clear", "Title", a, b},
        {"set", "--set", "Title=ok"},
        {"strip"},
    };
    for (const auto& args : cases) {
        CliResult r = RunCli(args);
        std::string shown;
        for (const auto& arg : args)
            shown += arg + " ";
        EXPECT_EQ(r.status, 2) << shown;
        EXPECT_NE(r.err, "") << shown;
        for (const auto& path : {a, b}) {
            struct stat st {};
            ASSERT_EQ(::stat(path.c_str(), &st), 0);
            EXPECT_EQ(st.st_mtim.tv_sec, 1000000000) << shown;
            EXPECT_EQ(st.st_mtim.tv_nsec, 5) << shown;
        }
    }
    EXPECT_EQ(ReadFile(a), before);
}

TEST_F(CliSetStrip, AFileThatCannotBeWrittenIsReportedAndTheOthersAreWritten)
{
    std::string a = make("a.mp3", "A"), locked = make("locked.mp3", "L"), b = make("b.mp3", "B");
    std::string missing = dir.file("missing.mp3");
    const std::string lockedBefore = ReadFile(locked);
    ReadOnlyFile readOnly(locked);
    if (!readOnly.ok())
        GTEST_SKIP() << "cannot make a file unwritable here";

    CliResult r = RunCli({"set", "--set", "Album=Written", a, locked, missing, b});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines(r.err), 2u) << r.err;
    EXPECT_NE(r.err.find(locked), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;
    EXPECT_EQ(read(a)->Album, u"Written");
    EXPECT_EQ(read(b)->Album, u"Written");
    EXPECT_EQ(ReadFile(locked), lockedBefore);
    EXPECT_FALSE(std::filesystem::exists(missing));

    r = RunCli({"strip", a, locked, b});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find(locked), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(a), audio);
    EXPECT_EQ(ReadFile(b), audio);
    EXPECT_EQ(ReadFile(locked), lockedBefore);
}

TEST_F(CliSetStrip, CommandLineTextIsUtf8)
{
    std::string a = make("a.mp3", "A");
    CliResult r = RunCli({"set", "--set", "Title=Сон № 5", "--set", "Artist=Café", "--set", "Comments=日本語", "--add",
                          "CommercialInfo=http://shop.example/ü", a});
    ASSERT_EQ(r.status, 0) << r.err;
    auto tag = read(a);
    EXPECT_EQ(tag->Title, u"Сон № 5");
    EXPECT_EQ(tag->Artist, u"Café");
    EXPECT_EQ(tag->Comments, u"日本語");
    ASSERT_EQ(tag->CommercialInfo->Count(), 1);
    EXPECT_EQ(tag->CommercialInfo->Item(1), "http://shop.example/ü");
    // Windows-1252 holds "Café": one byte per character. The title needs UTF-16.
    std::string bytes = ReadFile(a);
    EXPECT_NE(bytes.find("TPE1\0\0\0\x05\0\0\0Caf\xE9"s), std::string::npos);
    EXPECT_NE(bytes.find("TIT2\0\0\0\x11\0\0\x01\xFF\xFE"s), std::string::npos);
}

TEST_F(CliSetStrip, StripLeavesTheAudioAlone)
{
    std::string a = dir.file("a.mp3"), b = dir.file("b.mp3");
    WriteFile(a, Tag(4, Frame(4, "TIT2", Latin1("T")), 10, 0x10) + Footer(4, 21, 0x10) + audio +
                     Lyrics3v2({{"IND", "00"}, {"ETT", std::string(40, 'x')}}) + Id3v1("T", "", "", "", "", 1, 2));
    WriteFile(b, audio);
    struct timespec old[2] = {{1000000000, 7}, {1100000000, 9}};
    ASSERT_EQ(::utimensat(AT_FDCWD, a.c_str(), old, 0), 0);
    CliResult r = RunCli({"strip", a, b});
    ASSERT_EQ(r.status, 0) << r.err;
    struct stat st {};
    ASSERT_EQ(::stat(a.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1100000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 9);
    EXPECT_EQ(ReadFile(a), audio);
    EXPECT_EQ(ReadFile(b), audio);
}
