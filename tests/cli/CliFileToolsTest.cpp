// brindle-cli's file-name tools: the window's rules from the terminal.
#include "CliRunner.h"
#include "Mp3Builder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace brindle::test;
namespace fs = std::filesystem;

namespace {
std::string titled(const std::string& title) { return Tag(3, Frame(3, "TIT2", Latin1(title))) + MpegFrames(3); }
} // namespace

TEST(CliFileTools, DryRunChangesNothingAndToolsRename)
{
    TempDir dir;
    WriteFile(dir.file("track_one.mp3"), titled("First Song"));
    WriteFile(dir.file("07 - b.mp3"), titled("AC/DC"));
    CliResult r = RunCli({"rename", "--from-title", "--dry-run", dir.file("track_one.mp3"), dir.file("07 - b.mp3")});
    EXPECT_EQ(r.status, 1) << r.err; // the refusal of "AC/DC" is announced
    EXPECT_NE(r.out.find("track_one.mp3 -> First Song.mp3"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(dir.file("track_one.mp3")));

    r = RunCli({"rename", "--from-title", dir.file("track_one.mp3"), dir.file("07 - b.mp3")});
    EXPECT_EQ(r.status, 1); // the second file could not be renamed, and says why
    EXPECT_NE(r.err.find("contains \"/\""), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(dir.file("First Song.mp3")));
    // A title with "/" never moves a file out of its folder: it keeps its name.
    EXPECT_TRUE(fs::exists(dir.file("07 - b.mp3")));

    r = RunCli({"remove-leading-numbers", dir.file("07 - b.mp3")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir.file("b.mp3")));

    r = RunCli({"number-files", dir.file("b.mp3"), dir.file("First Song.mp3")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir.file("01 - b.mp3")));
    EXPECT_TRUE(fs::exists(dir.file("02 - First Song.mp3")));
}

TEST(CliFileTools, NeverReplacesAFileAndReportsIt)
{
    TempDir dir;
    WriteFile(dir.file("a.mp3"), titled("Taken"));
    WriteFile(dir.file("Taken.mp3"), "precious");
    CliResult r = RunCli({"rename", "--from-title", dir.file("a.mp3")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("a.mp3"), std::string::npos);
    EXPECT_EQ(ReadFile(dir.file("Taken.mp3")), "precious");
    EXPECT_TRUE(fs::exists(dir.file("a.mp3")));
}

TEST(CliFileTools, TitleFromFileName)
{
    TempDir dir;
    WriteFile(dir.file("My Song.mp3"), titled("old"));
    CliResult r = RunCli({"title-from-filename", dir.file("My Song.mp3")});
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunCli({"show", "--json", dir.file("My Song.mp3")});
    EXPECT_NE(r.out.find("\"Title\":\"My Song\""), std::string::npos) << r.out;
}
