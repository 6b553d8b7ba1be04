// brindle-cli's wiring of the save's safety: --jobs keeps the order of messages,
// and every command finishes an interrupted save of the files it meets.
#include "../tag/FaultyFileSystem.h"
#include "CliRunner.h"
#include "Mp3Builder.h"
#include "tag/SafeRewrite.h"
#include "tag/clsID3.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

using namespace brindle;
using namespace brindle::test;

namespace {

class CliSaveSafety : public ::testing::Test {
protected:
    TempDir dir;
    std::string audio = MpegFrames(20);
    void SetUp() override { ::setenv("XDG_STATE_HOME", dir.file("state").c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_STATE_HOME"); }

    std::string make(const std::string& name)
    {
        const std::string path = dir.file(name);
        WriteFile(path, Tag(3, Frame(3, "TIT2", Latin1("Old")), 32) + audio);
        return path;
    }
    // A save of path killed (as by kill -9) when it starts refilling the file.
    static void interruptedSave(const std::string& path, const std::u16string& title)
    {
        const pid_t pid = ::fork();
        if (pid == 0) {
            FaultyFileSystem fs;
            fs.beforeCall = [](const std::string& op) {
                if (op == "copyFileRange")
                    ::_exit(9);
            };
            clsID3 tag(&fs);
            tag.SetFileName(path);
            tag.Title = title;
            tag.UpdateID3Tags();
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9);
    }
    static std::u16string title(const std::string& path)
    {
        clsID3 tag;
        tag.SetFileName(path);
        return tag.Title;
    }
};

} // namespace

TEST_F(CliSaveSafety, ParallelJobsReportInArgumentOrder)
{
    // Files the writer refuses: a tag size that claims more than the file holds.
    std::vector<std::string> args{"set", "--jobs", "3", "--set", "Title=New"};
    std::vector<std::string> refused;
    for (int i = 0; i < 12; ++i) {
        if (i % 4 == 1) {
            args.push_back(dir.file("bad" + std::to_string(i) + ".mp3"));
            WriteFile(args.back(), std::string("ID3\x03\x00\x00\x7f\x7f\x7f\x7f", 10) + std::string(4096, '\0'));
            refused.push_back("brindle-cli: " + args.back() + ": ");
        } else {
            args.push_back(make("f" + std::to_string(i) + ".mp3"));
        }
    }
    const CliResult r = RunCli(args);
    EXPECT_EQ(r.status, 1);
    std::vector<std::string> lines;
    for (std::size_t at = 0, nl; (nl = r.err.find('\n', at)) != std::string::npos; at = nl + 1)
        lines.push_back(r.err.substr(at, nl - at));
    ASSERT_EQ(lines.size(), refused.size()) << r.err;
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].rfind(refused[i], 0), 0u) << lines[i];
    for (std::size_t i = 5; i < args.size(); ++i) {
        if (args[i].find("bad") == std::string::npos) {
            EXPECT_EQ(title(args[i]), u"New") << args[i];
        }
    }
    EXPECT_EQ(RunCli({"strip", "--jobs", "0", args[5]}).status, 2) << "jobs run from 1";
}

TEST_F(CliSaveSafety, CommandsFinishAnInterruptedSaveOfTheFilesTheyMeet)
{
    const std::string a = make("a.mp3"), b = make("b.mp3"), c = make("c.mp3");
    interruptedSave(a, u"From the show");
    interruptedSave(b, u"From recover");
    interruptedSave(c, u"Elsewhere");
    // show meets a only.
    CliResult r = RunCli({"show", a});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "brindle-cli: " + a + ": an interrupted save was completed; the file holds its new tags\n");
    EXPECT_NE(r.out.find("Title: From the show"), std::string::npos) << r.out;
    EXPECT_EQ(title(b), u"Old");
    // recover limited to another folder leaves b and c alone; without one it does both.
    r = RunCli({"recover", dir.file("state")});
    EXPECT_EQ(r.out, "no interrupted saves to recover\n");
    r = RunCli({"recover"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(b + ": an interrupted save was completed"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(c + ": an interrupted save was completed"), std::string::npos) << r.out;
    EXPECT_EQ(title(b), u"From recover");
    EXPECT_EQ(title(c), u"Elsewhere");
    EXPECT_TRUE(ListPendingSaves(FileSystem::posix()).empty());
}
