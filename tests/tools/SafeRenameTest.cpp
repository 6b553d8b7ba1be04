#include "SafeRename.h"
#include "ToolsTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

using namespace brindle;
using brindle::test::Folder;

namespace {

using Names = std::vector<std::string>;

// The real system calls, with hooks that can fail or interleave any step.
struct Seam : RenameSystem {
    std::function<int(const char*, const char*)> onRename; // returns an errno to fail, 0 to go on
    bool noFlag = false;                                   // the file system refuses RENAME_NOREPLACE
    int linkError = 0;                                     // errno for link, 0 to really link
    int unlinkError = 0;                                   // errno for the first unlink, 0 to really unlink
    int replaceError = 0;                                  // errno for the plain rename over a placeholder
    int links = 0, placeholders = 0;

    int renameNoReplace(int dirFd, const char* from, const char* to) override
    {
        if (noFlag)
            return errno = EINVAL, -1;
        if (onRename)
            if (const int err = onRename(from, to))
                return errno = err, -1;
        return RenameSystem::renameNoReplace(dirFd, from, to);
    }
    int link(int dirFd, const char* from, const char* to) override
    {
        ++links;
        if (linkError)
            return errno = linkError, -1;
        return RenameSystem::link(dirFd, from, to);
    }
    int unlink(int dirFd, const char* name) override
    {
        if (unlinkError) {
            const int err = std::exchange(unlinkError, 0);
            return errno = err, -1;
        }
        return RenameSystem::unlink(dirFd, name);
    }
    int createExclusive(int dirFd, const char* name) override
    {
        ++placeholders;
        return RenameSystem::createExclusive(dirFd, name);
    }
    int renameReplacing(int dirFd, const char* from, const char* to) override
    {
        if (replaceError)
            return errno = replaceError, -1;
        return RenameSystem::renameReplacing(dirFd, from, to);
    }
};

int rename(const Folder& f, const std::string& from, const std::string& to, RenameSystem& sys = RenameSystem::posix())
{
    return RenameNoReplace(f.path().toStdString(), from, to, sys);
}

TEST(RenameNoReplace, RenamesAndNeverReplaces)
{
    Folder f;
    f.put("a.mp3", "AAA");
    EXPECT_EQ(rename(f, "a.mp3", "b.mp3"), 0);
    EXPECT_EQ(f.names(), (Names{"b.mp3"}));
    EXPECT_EQ(f.read("b.mp3"), "AAA");

    f.put("c.mp3", "CCC");
    EXPECT_EQ(rename(f, "b.mp3", "c.mp3"), EEXIST);
    EXPECT_EQ(f.read("b.mp3"), "AAA");
    EXPECT_EQ(f.read("c.mp3"), "CCC");
    EXPECT_EQ(rename(f, "gone.mp3", "d.mp3"), ENOENT);
}

TEST(RenameNoReplace, NamesNeverLeaveTheFolder)
{
    Folder f;
    f.put("a.mp3");
    std::filesystem::create_directory(f.dir.path() / "sub");
    for (const char* to : {"sub/a.mp3", "../a.mp3", "", "/tmp/a.mp3"})
        EXPECT_EQ(rename(f, "a.mp3", to), EINVAL) << to;
    EXPECT_EQ(rename(f, "sub/../a.mp3", "b.mp3"), EINVAL);
    EXPECT_EQ(f.names(), (Names{"a.mp3", "sub"}));
}

TEST(RenameNoReplace, FallsBackToLinkAndUnlinkWithoutTheFlag)
{
    Folder f;
    f.put("a.mp3", "AAA");
    f.put("taken.mp3", "TTT");
    Seam seam;
    seam.noFlag = true;
    EXPECT_EQ(rename(f, "a.mp3", "b.mp3", seam), 0);
    EXPECT_EQ(seam.links, 1);
    EXPECT_EQ(f.names(), (Names{"b.mp3", "taken.mp3"}));
    EXPECT_EQ(f.read("b.mp3"), "AAA");

    EXPECT_EQ(rename(f, "b.mp3", "taken.mp3", seam), EEXIST);
    EXPECT_EQ(f.read("b.mp3"), "AAA");
    EXPECT_EQ(f.read("taken.mp3"), "TTT");

    // The old name cannot be removed: the new one goes again, so nothing changed.
    seam.unlinkError = EACCES;
    EXPECT_EQ(rename(f, "b.mp3", "c.mp3", seam), EACCES);
    EXPECT_EQ(f.names(), (Names{"b.mp3", "taken.mp3"}));
}

TEST(RenameNoReplace, FallsBackToAPlaceholderWithoutHardLinks)
{
    for (int linkError : {EPERM, EOPNOTSUPP}) {
        Folder f;
        f.put("a.mp3", "AAA");
        f.put("taken.mp3", "TTT");
        Seam seam;
        seam.noFlag = true;
        seam.linkError = linkError;
        EXPECT_EQ(rename(f, "a.mp3", "b.mp3", seam), 0);
        EXPECT_EQ(seam.placeholders, 1);
        EXPECT_EQ(f.names(), (Names{"b.mp3", "taken.mp3"}));
        EXPECT_EQ(f.read("b.mp3"), "AAA");

        EXPECT_EQ(rename(f, "b.mp3", "taken.mp3", seam), EEXIST);
        EXPECT_EQ(f.read("taken.mp3"), "TTT");

        seam.replaceError = EIO; // the placeholder must not outlive a failed rename
        EXPECT_EQ(rename(f, "b.mp3", "c.mp3", seam), EIO);
        EXPECT_EQ(f.names(), (Names{"b.mp3", "taken.mp3"}));
        EXPECT_EQ(f.read("b.mp3"), "AAA");
    }
}

TEST(RenameNoReplace, RealRefusalsOfLinkAreNotRetried)
{
    Folder f;
    f.put("a.mp3");
    Seam seam;
    seam.noFlag = true;
    seam.linkError = EACCES;
    EXPECT_EQ(rename(f, "a.mp3", "b.mp3", seam), EACCES);
    EXPECT_EQ(seam.placeholders, 0);
    EXPECT_EQ(f.names(), (Names{"a.mp3"}));
}

class ChangingCase : public ::testing::Test {
protected:
    Folder f;
    int dirFd = -1;
    void SetUp() override
    {
        f.put("song.mp3", "SONG");
        dirFd = OpenFolder(f.path().toStdString());
        ASSERT_GE(dirFd, 0);
    }
    void TearDown() override { ::close(dirFd); }
    static bool hidden(const char* name) { return name[0] == '.'; }
};

TEST_F(ChangingCase, GoesThroughAHiddenNameAndLeavesNothingBehind)
{
    std::vector<std::string> steps;
    Seam seam;
    seam.onRename = [&](const char* from, const char* to) {
        steps.push_back(std::string(from) + ">" + to);
        return 0;
    };
    std::string leftOver = "x";
    EXPECT_EQ(RenameChangingCase(dirFd, "song.mp3", "Song.mp3", seam, &leftOver), 0);
    EXPECT_EQ(leftOver, "");
    EXPECT_EQ(f.names(), (Names{"Song.mp3"}));
    EXPECT_EQ(f.read("Song.mp3"), "SONG");
    ASSERT_EQ(steps.size(), 2u);
    const std::string work = steps[0].substr(steps[0].find('>') + 1);
    EXPECT_TRUE(work.rfind(".brindle-", 0) == 0 && work.size() > 4 && work.substr(work.size() - 4) == ".mp3") << work;
    EXPECT_EQ(steps[1], work + ">Song.mp3");
}

TEST_F(ChangingCase, FailedSecondStepIsUndone)
{
    Seam seam;
    seam.onRename = [](const char* from, const char* to) {
        return hidden(from) && std::string(to) == "Song.mp3" ? EIO : 0;
    };
    EXPECT_EQ(RenameChangingCase(dirFd, "song.mp3", "Song.mp3", seam), EIO);
    EXPECT_EQ(f.names(), (Names{"song.mp3"}));
    EXPECT_EQ(f.read("song.mp3"), "SONG");
}

TEST_F(ChangingCase, NameTakenBetweenTheStepsIsReportedAndBothFilesStay)
{
    Seam seam;
    seam.onRename = [&](const char* from, const char*) {
        if (std::string(from) == "song.mp3")
            f.put("Song.mp3", "INTRUDER");
        return 0;
    };
    EXPECT_EQ(RenameChangingCase(dirFd, "song.mp3", "Song.mp3", seam), EEXIST);
    EXPECT_EQ(f.names(), (Names{"Song.mp3", "song.mp3"}));
    EXPECT_EQ(f.read("song.mp3"), "SONG");
    EXPECT_EQ(f.read("Song.mp3"), "INTRUDER");
}

TEST_F(ChangingCase, WhenEvenTheUndoFailsTheHiddenNameIsReported)
{
    Seam seam;
    seam.onRename = [](const char* from, const char*) { return hidden(from) ? EIO : 0; };
    std::string leftOver;
    EXPECT_EQ(RenameChangingCase(dirFd, "song.mp3", "Song.mp3", seam, &leftOver), EIO);
    ASSERT_FALSE(leftOver.empty());
    EXPECT_EQ(f.names(), (Names{leftOver}));
    EXPECT_EQ(f.read(leftOver), "SONG");
}

} // namespace
