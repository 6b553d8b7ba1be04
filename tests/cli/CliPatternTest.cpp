// rename --pattern and tags-from-name (the dry run announces what the real run does),
// and list --recursive.
#include "CliRunner.h"
#include "Mp3Builder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

using namespace brindle::test;
namespace fs = std::filesystem;

namespace {
std::string tagged(const std::string& track, std::u16string_view artist, std::u16string_view title)
{
    return Tag(3, Frame(3, "TRCK", Latin1(track)) + Frame(3, "TPE1", Utf16(artist)) + Frame(3, "TIT2", Utf16(title))) +
           MpegFrames(3);
}
bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Folders nested deeper than any path can name, made and removed through folder
// handles since no path reaches the bottom; even root cannot open those.
const std::string kLongName(200, 'd');
void nestFolders(int parent, int depth, bool make)
{
    if (depth == 0 || (make && ::mkdirat(parent, kLongName.c_str(), 0755) != 0))
        return;
    const int fd = ::openat(parent, kLongName.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    nestFolders(fd, depth - 1, make);
    ::close(fd);
    if (!make)
        ::unlinkat(parent, kLongName.c_str(), AT_REMOVEDIR);
}
} // namespace

TEST(CliPattern, RenameByPatternKeepsTheBatchRules)
{
    TempDir dir;
    WriteFile(dir.file("a.mp3"), tagged("3", u"AC/DC", u"T.N.T."));
    WriteFile(dir.file("b.mp3"), tagged("3", u"AC/DC", u"T.N.T.")); // asks for the same name
    WriteFile(dir.file("c.mp3"), tagged("12", u"Björk", u"Jóga"));
    const std::string pattern = "%track% - %artist% - %title%";
    for (bool dry : {true, false}) {
        std::vector<std::string> args = {"rename",          "--pattern",       pattern,
                                         dir.file("a.mp3"), dir.file("b.mp3"), dir.file("c.mp3")};
        if (dry)
            args.insert(args.begin() + 1, "--dry-run");
        CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_TRUE(has(r.out, "a.mp3 -> 03 - AC-DC - T.N.T..mp3")) << r.out;
        EXPECT_TRUE(has(r.out, "c.mp3 -> 12 - Björk - Jóga.mp3")) << r.out;
        EXPECT_TRUE(has(r.err, "b.mp3: \"03 - AC-DC - T.N.T..mp3\" is also the new name of \"a.mp3\"")) << r.err;
        EXPECT_EQ(fs::exists(dir.file("a.mp3")), dry);
        EXPECT_TRUE(fs::exists(dir.file("b.mp3")));
    }
    EXPECT_TRUE(fs::exists(dir.file("03 - AC-DC - T.N.T..mp3")));
    EXPECT_TRUE(fs::exists(dir.file("12 - Björk - Jóga.mp3")));

    CliResult r = RunCli({"rename", "--pattern", "%track% %titel%", dir.file("b.mp3")});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(has(r.err, "unknown placeholder \"%titel%\"")) << r.err;
}

TEST(CliPattern, TagsFromNameWritesMatchedFieldsOnly)
{
    TempDir dir;
    const std::string song = dir.file("07 - Sigur Rós - Hoppípolla.mp3"), odd = dir.file("Intro.mp3");
    WriteFile(song, tagged("1", u"old", u"old"));
    WriteFile(odd, tagged("1", u"keep", u"keep"));
    const std::string pattern = "%track% - %artist% - %title%";
    for (bool dry : {true, false}) {
        std::vector<std::string> args = {"tags-from-name", "--pattern", pattern, song, odd};
        if (dry)
            args.insert(args.begin() + 1, "--dry-run");
        CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 1) << r.err; // the name that does not match is reported
        std::string lines;
        for (const char* value : {"TrackNumber=\"07\"", "Artist=\"Sigur Rós\"", "Title=\"Hoppípolla\""})
            lines.append(song).append(": ").append(value).append("\n");
        EXPECT_TRUE(has(r.out, lines)) << r.out;
        EXPECT_TRUE(has(r.err, odd + ": the name does not match the pattern")) << r.err;
        r = RunCli({"show", "--json", song});
        EXPECT_EQ(has(r.out, "\"Title\":\"old\""), dry) << r.out;
    }
    CliResult r = RunCli({"show", "--json", song, odd});
    EXPECT_TRUE(has(r.out, "\"Artist\":\"Sigur Rós\"") && has(r.out, "\"TrackNumber\":\"07\"")) << r.out;
    EXPECT_TRUE(has(r.out, "\"Title\":\"keep\"")) << r.out;

    // A name that is not UTF-8 would put U+FFFD into the tag: it is left alone.
    const std::string bytes = dir.file("08 - \xff - x.mp3");
    WriteFile(bytes, tagged("1", u"keep", u"keep"));
    r = RunCli({"tags-from-name", "--pattern", pattern, bytes});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "not valid UTF-8")) << r.err;
    EXPECT_TRUE(has(RunCli({"show", "--json", bytes}).out, "\"Title\":\"keep\""));
}

TEST(CliListRecursive, WalksEachFolderOnce)
{
    TempDir dir;
    for (const char* sub : {"Artist/Album", "Artist/Album/CD2", ".hidden", "b"})
        fs::create_directories(dir.path() / sub);
    WriteFile(dir.file("top.mp3"), tagged("1", u"a", u"Top"));
    WriteFile(dir.file("Artist/Album/01 - x.mp3"), tagged("1", u"a", u"X"));
    WriteFile(dir.file("Artist/Album/CD2/01 - y.mp3"), tagged("1", u"a", u"Y"));
    WriteFile(dir.file(".hidden/secret.mp3"), tagged("1", u"a", u"Secret"));
    fs::create_directory_symlink("..", dir.path() / "Artist/Album/CD2/up"); // a loop
    fs::create_directory_symlink("../Artist", dir.path() / "b/again");      // a folder seen already
    CliResult r = RunCli({"list", "--recursive", "--json", dir.path().string()});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string rows;
    for (const auto& row : nlohmann::json::parse(r.out))
        rows += row["Filename"].get<std::string>() + " @ " + row["Folder"].get<std::string>() + "\n";
    EXPECT_EQ(rows, "top.mp3 @ .\n01 - x.mp3 @ Artist/Album\n01 - y.mp3 @ Artist/Album/CD2\n") << r.out;
    r = RunCli({"list", "--recursive", dir.path().string()});
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')).substr(r.out.find("\tComments")), "\tComments\tFolder");
}

TEST(CliListRecursive, ReportsAFolderItCannotReadAndListsTheRest)
{
    TempDir dir;
    WriteFile(dir.file("top.mp3"), tagged("1", u"a", u"Top"));
    const int root = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    nestFolders(root, 25, true);
    const CliResult r = RunCli({"list", "--recursive", dir.path().string()});
    nestFolders(root, 25, false);
    ::close(root);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.out, "top.mp3")) << r.out;
    EXPECT_TRUE(has(r.err, kLongName + ": cannot be read: File name too long")) << r.err;
}
