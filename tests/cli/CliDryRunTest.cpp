// A dry run announces exactly what the real run then does: the same renames, the
// same refusals with the same reasons, the same exit status, on folders built with
// every kind of collision.
#include "CliRunner.h"
#include "Mp3Builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

using namespace brindle::test;
namespace fs = std::filesystem;

namespace {

std::string titled(const std::string& title) { return Tag(3, Frame(3, "TIT2", Latin1(title))) + MpegFrames(2); }

// Every entry of the folder: name -> content ("->target" for a link, "/" for a folder).
std::map<std::string, std::string> snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> entries;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (e.is_symlink())
            entries[name] = "->" + fs::read_symlink(e.path()).string();
        else if (e.is_directory())
            entries[name] = "/";
        else
            entries[name] = ReadFile(e.path());
    }
    return entries;
}

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Builds the folder twice, dry-runs the tool on one and runs it on the other, and
// compares what each said; the dry-run folder must be left as it was.
void expectDryRunTellsTheTruth(const std::string& tool, const std::function<void(const TempDir&)>& build,
                               const std::vector<std::string>& names, int expectedStatus)
{
    TempDir dry, real;
    build(dry);
    build(real);
    const auto before = snapshot(dry.path());
    auto run = [&](const TempDir& dir, bool dryRun) {
        std::vector<std::string> args = {tool};
        if (tool == "rename")
            args.push_back("--from-title");
        if (dryRun)
            args.push_back("--dry-run");
        for (const auto& n : names)
            args.push_back(dir.file(n));
        CliResult r = RunCli(args);
        r.out = replaced(r.out, dir.path().string(), "DIR");
        r.err = replaced(r.err, dir.path().string(), "DIR");
        return r;
    };
    const CliResult announced = run(dry, true);
    const CliResult done = run(real, false);
    SCOPED_TRACE(tool + "\n--- dry run:\n" + announced.out + announced.err + "--- real run:\n" + done.out + done.err);
    EXPECT_EQ(announced.status, expectedStatus);
    EXPECT_EQ(announced.status, done.status);
    EXPECT_EQ(announced.out, done.out);
    EXPECT_EQ(announced.err, done.err);
    EXPECT_EQ(snapshot(dry.path()), before);
    EXPECT_NE(snapshot(real.path()), before);
    // Every rename announced happened.
    for (std::size_t start = 0, end; (end = done.out.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = done.out.substr(start, end - start);
        const auto arrow = line.find(" -> ");
        ASSERT_NE(arrow, std::string::npos) << line;
        EXPECT_TRUE(fs::exists(real.file(line.substr(arrow + 4)))) << line;
    }
}

} // namespace

TEST(CliDryRun, AgreesWithTheRealRunOnEveryCollision)
{
    expectDryRunTellsTheTruth(
        "rename",
        [](const TempDir& d) {
            WriteFile(d.file("plain.mp3"), titled("Fine"));
            WriteFile(d.file("taken.mp3"), titled("Existing")); // a file holds the name
            WriteFile(d.file("Existing.mp3"), "precious");
            WriteFile(d.file("case.mp3"), titled("EXISTING")); // the same name but for letter case
            WriteFile(d.file("dir.mp3"), titled("Folder"));    // a folder holds the name
            fs::create_directory(d.file("Folder.mp3"));
            WriteFile(d.file("link.mp3"), titled("Dangling")); // a dangling link holds the name
            fs::create_symlink("nowhere", d.file("Dangling.mp3"));
            WriteFile(d.file("hide.mp3"), titled(".hidden")); // would hide the file
            WriteFile(d.file("slash.mp3"), titled("AC/DC"));  // would leave the folder
            WriteFile(d.file("twin1.mp3"), titled("Same"));   // two files want one name
            WriteFile(d.file("twin2.mp3"), titled("same"));
            WriteFile(d.file("ring-a.mp3"), titled("ring-b")); // two files swap names
            WriteFile(d.file("ring-b.mp3"), titled("ring-a"));
            WriteFile(d.file("chain.mp3"), titled("Fine"));  // wants what plain.mp3 gets
            WriteFile(d.file("upper.mp3"), titled("UPPER")); // a change of letter case only
        },
        {"plain.mp3", "taken.mp3", "case.mp3", "dir.mp3", "link.mp3", "hide.mp3", "slash.mp3", "twin1.mp3", "twin2.mp3",
         "ring-a.mp3", "ring-b.mp3", "chain.mp3", "upper.mp3", "plain.mp3"},
        1);

    expectDryRunTellsTheTruth(
        "clean-names",
        [](const TempDir& d) {
            WriteFile(d.file("my_song.mp3"), titled("x"));
            WriteFile(d.file("My  Song.mp3"), titled("x")); // cleans to the same name
            WriteFile(d.file("LOUD.mp3"), titled("x"));
            WriteFile(d.file("quiet%20one.mp3"), titled("x"));
            WriteFile(d.file("Quiet One.MP3"), titled("x")); // holds the name but for case
        },
        {"my_song.mp3", "My  Song.mp3", "LOUD.mp3", "quiet%20one.mp3"}, 1);

    expectDryRunTellsTheTruth(
        "number-files",
        [](const TempDir& d) {
            WriteFile(d.file("b.mp3"), titled("x"));
            WriteFile(d.file("a.mp3"), titled("x"));
            WriteFile(d.file("01 - b.mp3"), "taken");
        },
        {"b.mp3", "a.mp3"}, 1);

    // Without any collision the dry run exits 0 as the real run does.
    expectDryRunTellsTheTruth(
        "remove-leading-numbers", [](const TempDir& d) { WriteFile(d.file("07 - x.mp3"), titled("x")); },
        {"07 - x.mp3"}, 0);
}
