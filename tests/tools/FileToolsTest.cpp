#include "FileTools.h"
#include "ToolsTestSupport.h"

#include "tag/clsID3.h"

#include <gtest/gtest.h>

#include <QFile>

#include <atomic>
#include <cerrno>
#include <sys/stat.h>

using namespace brindle;
using brindle::test::Folder;

namespace {

using Names = std::vector<std::string>;

QString q(const char* s) { return QString::fromUtf8(s); }

// Behaves like a case-insensitive mount (FAT, SMB) over the real folder: a name finds
// the entry that equals it without letter case, and a no-replace rename onto such a
// name is refused.
struct CaseBlindSystem : RenameSystem {
    const Folder& folder;
    explicit CaseBlindSystem(const Folder& f) : folder(f) {}
    std::string actual(const char* name) const
    {
        const QString wanted = QString::fromUtf8(name).toCaseFolded();
        for (const std::string& n : folder.names())
            if (QString::fromStdString(n).toCaseFolded() == wanted)
                return n;
        return name;
    }
    int stat(int dirFd, const char* name, struct stat* st) override
    {
        return RenameSystem::stat(dirFd, actual(name).c_str(), st);
    }
    int renameNoReplace(int dirFd, const char* from, const char* to) override
    {
        if (actual(to) != to)
            return errno = EEXIST, -1;
        return RenameSystem::renameNoReplace(dirFd, actual(from).c_str(), to);
    }
};

TEST(UseTitleForFilename, RenamesAfterTheTitleWithLowerCaseMp3)
{
    Folder f;
    f.put("track.MP3", "T");
    const RenameResult r = UseTitleForFilename(f.path(), q("track.MP3"), q("Intro"));
    EXPECT_EQ(r.outcome, RenameOutcome::Renamed);
    EXPECT_EQ(r.currentName(), q("Intro.mp3"));
    EXPECT_EQ(f.names(), (Names{"Intro.mp3"}));
    EXPECT_EQ(f.read("Intro.mp3"), "T");

    EXPECT_EQ(UseTitleForFilename(f.path(), q("Intro.mp3"), QString()).outcome, RenameOutcome::Unchanged);
    EXPECT_EQ(UseTitleForFilename(f.path(), q("Intro.mp3"), q("Intro")).outcome, RenameOutcome::Unchanged);
    EXPECT_EQ(f.names(), (Names{"Intro.mp3"}));
}

TEST(UseTitleForFilename, TitlesThatCannotBeNamesKeepTheOldName)
{
    Folder f;
    f.put("a.mp3");
    std::filesystem::create_directory(f.dir.path() / "AC");
    for (const char* title : {"AC/DC", "../up", "/", ".", ".hidden"}) {
        const RenameResult r = UseTitleForFilename(f.path(), q("a.mp3"), q(title));
        EXPECT_TRUE(r.failed()) << title;
        EXPECT_FALSE(r.taken) << title;
        EXPECT_EQ(r.currentName(), q("a.mp3"));
    }
    EXPECT_EQ(f.names(), (Names{"AC", "a.mp3"}));
    EXPECT_TRUE(std::filesystem::is_empty(f.dir.path() / "AC"));

    const RenameResult longTitle = UseTitleForFilename(f.path(), q("a.mp3"), QString(300, u'x'));
    EXPECT_EQ(longTitle.reason, q("the new name is 304 bytes long; the file system allows 255"));
    EXPECT_EQ(f.names(), (Names{"AC", "a.mp3"}));
}

TEST(UseTitleForFilename, ExistingNamesAreNeverReplacedWhateverTheirCase)
{
    Folder f;
    f.put("a.mp3", "A");
    f.put("Intro.mp3", "I");
    for (const char* title : {"Intro", "INTRO", "intro"}) {
        const RenameResult r = UseTitleForFilename(f.path(), q("a.mp3"), q(title));
        EXPECT_TRUE(r.taken) << title;
        EXPECT_EQ(r.reason, q("a file named \"Intro.mp3\" already exists"));
    }
    EXPECT_EQ(f.read("a.mp3"), "A");
    EXPECT_EQ(f.read("Intro.mp3"), "I");
    EXPECT_EQ(UseTitleForFilename(f.path(), q("gone.mp3"), q("x")).reason, q("the file no longer exists"));
}

TEST(CleanFilename, ChangesLetterCaseOnDisk)
{
    Folder f;
    f.put("song.mp3", "S");
    const RenameResult r = CleanFilename(f.path(), q("song.mp3"));
    EXPECT_EQ(r.outcome, RenameOutcome::Renamed);
    EXPECT_EQ(f.names(), (Names{"Song.mp3"}));
    EXPECT_EQ(CleanFilename(f.path(), q("Song.mp3")).outcome, RenameOutcome::Unchanged);
    EXPECT_EQ(f.names(), (Names{"Song.mp3"}));
}

TEST(CleanFilename, CaseOnlyChangeWorksWhereTheMountIgnoresCase)
{
    Folder f;
    f.put("my_song.MP3", "S");
    CaseBlindSystem fat(f);
    // The plain no-replace rename is refused there, so only the detour can succeed.
    ASSERT_EQ(RenameNoReplace(f.path().toStdString(), "my_song.MP3", "MY_SONG.mp3", fat), EEXIST);
    const RenameResult r = CleanFilename(f.path(), q("my_song.MP3"), fat);
    EXPECT_EQ(r.outcome, RenameOutcome::Renamed) << r.reason.toStdString();
    EXPECT_EQ(f.names(), (Names{"My Song.mp3"}));

    f.put("a_b.mp3", "AB");
    f.put("a b.mp3", "other"); // a different file the mount finds under the cleaned name
    EXPECT_TRUE(CleanFilename(f.path(), q("a_b.mp3"), fat).taken);
    EXPECT_EQ(f.names(), (Names{"My Song.mp3", "a b.mp3", "a_b.mp3"}));
    EXPECT_EQ(f.read("a_b.mp3"), "AB");
    EXPECT_EQ(f.read("a b.mp3"), "other");
}

TEST(CleanFilename, AFailedCaseChangeKeepsTheNameOrSaysWhereTheFileIs)
{
    Folder f;
    f.put("song.mp3", "S");
    struct : CaseBlindSystem {
        using CaseBlindSystem::CaseBlindSystem;
        bool undoFails = false;
        int renameNoReplace(int dirFd, const char* from, const char* to) override
        {
            if (from[0] == '.' && (undoFails || to[0] == 'S'))
                return errno = EIO, -1;
            return CaseBlindSystem::renameNoReplace(dirFd, from, to);
        }
    } fat(f);
    const RenameResult kept = CleanFilename(f.path(), q("song.mp3"), fat);
    EXPECT_EQ(kept.reason, q("Input/output error"));
    EXPECT_EQ(kept.currentName(), q("song.mp3"));
    EXPECT_EQ(f.names(), (Names{"song.mp3"}));

    fat.undoFails = true;
    const RenameResult lost = CleanFilename(f.path(), q("song.mp3"), fat);
    ASSERT_TRUE(lost.failed());
    ASSERT_FALSE(lost.hiddenName.isEmpty());
    EXPECT_EQ(lost.currentName(), lost.hiddenName);
    EXPECT_TRUE(lost.reason.endsWith(QStringLiteral("; the file is now named \"%1\"").arg(lost.hiddenName)));
    EXPECT_EQ(f.names(), (Names{lost.hiddenName.toStdString()}));
    EXPECT_EQ(f.read(lost.hiddenName.toStdString()), "S");
}

TEST(CleanFilename, NamesThatCleanToNothingAreKept)
{
    Folder f;
    f.put("___.mp3");
    f.put("%20 %20.mp3");
    for (const char* name : {"___.mp3", "%20 %20.mp3"})
        EXPECT_TRUE(CleanFilename(f.path(), q(name)).failed()) << name;
    EXPECT_EQ(f.names(), (Names{"%20 %20.mp3", "___.mp3"}));
}

TEST(RemoveLeadingNumbers, ChangesTheNameOnlyNeverTheFolder)
{
    Folder f;
    const auto sub = f.dir.path() / "05_Album";
    std::filesystem::create_directories(sub);
    test::WriteFile(sub / "05_Intro.mp3", "I");
    test::WriteFile(sub / "Outro.mp3", "O");
    const QString folder = QString::fromStdString(sub.string());
    EXPECT_EQ(RemoveLeadingNumbers(folder, q("05_Intro.mp3")).outcome, RenameOutcome::Renamed);
    EXPECT_EQ(RemoveLeadingNumbers(folder, q("Outro.mp3")).outcome, RenameOutcome::Unchanged);
    EXPECT_EQ(test::ReadFile(sub / "Intro.mp3"), "I");
    EXPECT_TRUE(std::filesystem::exists(sub / "Outro.mp3"));
    EXPECT_EQ(f.names(), (Names{"05_Album"}));
}

TEST(AutoNumberFilenames, NumbersInListOrder)
{
    Folder f;
    QStringList listOrder;
    for (int i = 12; i >= 1; --i) { // list order differs from any name order
        const std::string name = "Song " + std::string(1, char('A' + i)) + ".mp3";
        f.put(name, std::to_string(i));
        listOrder << q(name.c_str());
    }
    const QList<RenameResult> results = RenameInFolder(f.path(), PlanAutoNumberFilenames(listOrder));
    ASSERT_EQ(results.size(), 12);
    EXPECT_TRUE(DescribeFailures(results).isEmpty());
    EXPECT_EQ(results[8].currentName(), q("09 - Song E.mp3"));
    EXPECT_EQ(results[9].currentName(), q("10 - Song D.mp3"));
    EXPECT_EQ(f.read("01 - Song M.mp3"), "12");
    EXPECT_EQ(f.read("12 - Song B.mp3"), "1");
    EXPECT_EQ(f.names().size(), 12u);
}

TEST(Batch, TwoFilesGivenOneNameRenameOnlyTheFirst)
{
    Folder f;
    f.put("01 - Intro.mp3", "1");
    f.put("02 - intro.mp3", "2");
    const QList<RenameResult> r = RenameInFolder(
        f.path(), {PlanRemoveLeadingNumbers(q("01 - Intro.mp3")), PlanRemoveLeadingNumbers(q("02 - intro.mp3"))});
    EXPECT_EQ(r[0].outcome, RenameOutcome::Renamed);
    EXPECT_TRUE(r[1].taken);
    EXPECT_EQ(DescribeFailures(r),
              QStringList{q("02 - intro.mp3: \"intro.mp3\" is also the new name of \"01 - Intro.mp3\"")});
    EXPECT_EQ(f.names(), (Names{"02 - intro.mp3", "Intro.mp3"}));
}

TEST(Batch, AFileWaitsForTheOneHoldingItsNewName)
{
    Folder f;
    f.put("a.mp3", "A");
    f.put("b.mp3", "B");
    const QList<RenameResult> r = RenameInFolder(f.path(), {{q("a.mp3"), q("b.mp3")}, {q("b.mp3"), q("c.mp3")}});
    EXPECT_TRUE(DescribeFailures(r).isEmpty());
    EXPECT_EQ(f.names(), (Names{"b.mp3", "c.mp3"}));
    EXPECT_EQ(f.read("b.mp3"), "A");
    EXPECT_EQ(f.read("c.mp3"), "B");
}

TEST(Batch, RenumberingAfterReorderingSwapsNamesWithoutLeftovers)
{
    Folder f;
    f.put("01 - Song.mp3", "first");
    f.put("02 - Song.mp3", "second");
    const QList<RenameResult> r = RenameInFolder(f.path(),
                                                 PlanAutoNumberFilenames({q("02 - Song.mp3"), q("01 - Song.mp3")}));
    EXPECT_TRUE(DescribeFailures(r).isEmpty()) << DescribeFailures(r).join("\n").toStdString();
    EXPECT_EQ(f.names(), (Names{"01 - Song.mp3", "02 - Song.mp3"}));
    EXPECT_EQ(f.read("01 - Song.mp3"), "second");
    EXPECT_EQ(f.read("02 - Song.mp3"), "first");
}

TEST(Batch, AFileParkedInARingGetsItsNameBackWhenTheRingCannotClose)
{
    Folder f;
    f.put("01 - Song.mp3", "first");
    f.put("02 - Song.mp3", "second");
    struct : RenameSystem {
        int renameNoReplace(int dirFd, const char* from, const char* to) override
        {
            if (from[0] != '.' && to[0] != '.') // only moves to and from hidden names work
                return errno = EROFS, -1;
            return RenameSystem::renameNoReplace(dirFd, from, to);
        }
    } stuck;
    const QList<RenameResult> r = RenameInFolder(
        f.path(), PlanAutoNumberFilenames({q("02 - Song.mp3"), q("01 - Song.mp3")}), stuck);
    EXPECT_EQ(DescribeFailures(r).size(), 2);
    EXPECT_EQ(f.read("01 - Song.mp3"), "first");
    EXPECT_EQ(f.read("02 - Song.mp3"), "second");
    EXPECT_EQ(f.names().size(), 2u);
}

// A stopped batch leaves every file under its old or its new name: the renames not
// reached are Stopped, and progress counts the ones dealt with.
TEST(Batch, StopsBetweenRenamesAndCountsWhatWasDone)
{
    Folder f;
    QStringList names;
    for (int i = 1; i <= 6; ++i) {
        const std::string name = std::to_string(i) + " - x" + std::to_string(i) + ".mp3";
        f.put(name, std::to_string(i));
        names << q(name.c_str());
    }
    QList<PlannedRename> plan;
    for (const QString& n : names)
        plan << PlanRemoveLeadingNumbers(n);
    plan.insert(1, PlannedRename{q("keep.mp3"), QString()}); // nothing to do: not counted
    std::atomic<bool> stop{false};
    QList<int> seen;
    BatchControl control;
    control.stop = &stop;
    control.progress = [&](int done) {
        seen << done;
        if (done == 2)
            stop = true;
    };
    const QList<RenameResult> r = RenameInFolder(f.path(), plan, RenameSystem::posix(), control);
    EXPECT_EQ(seen, (QList<int>{1, 2}));
    ASSERT_EQ(r.size(), 7);
    EXPECT_EQ(r[0].outcome, RenameOutcome::Renamed);
    EXPECT_EQ(r[1].outcome, RenameOutcome::Unchanged);
    EXPECT_EQ(r[2].outcome, RenameOutcome::Renamed);
    for (int i = 3; i < 7; ++i) {
        EXPECT_EQ(r[i].outcome, RenameOutcome::Stopped) << i;
        EXPECT_EQ(r[i].currentName(), plan[i].oldName);
    }
    EXPECT_TRUE(DescribeFailures(r).isEmpty());
    EXPECT_EQ(f.names(), (Names{"3 - x3.mp3", "4 - x4.mp3", "5 - x5.mp3", "6 - x6.mp3", "x1.mp3", "x2.mp3"}));
}

// A stop that comes while a file of a ring waits under a hidden name: the ring is
// closed first (and nothing else is renamed), so no file is left hidden.
TEST(Batch, AStopClosesTheRingInProgressFirst)
{
    Folder f;
    for (const char* n : {"01 - a.mp3", "02 - a.mp3", "01 - b.mp3", "02 - b.mp3"})
        f.put(n, n);
    std::atomic<bool> stop{false};
    struct : RenameSystem {
        std::atomic<bool>* stop = nullptr;
        int renameNoReplace(int dirFd, const char* from, const char* to) override
        {
            if (to[0] == '.')
                *stop = true; // the first file moved aside
            return RenameSystem::renameNoReplace(dirFd, from, to);
        }
    } sys;
    sys.stop = &stop;
    BatchControl control;
    control.stop = &stop;
    QList<PlannedRename> plan = {{q("01 - a.mp3"), q("02 - a.mp3")},
                                 {q("02 - a.mp3"), q("01 - a.mp3")},
                                 {q("01 - b.mp3"), q("02 - b.mp3")},
                                 {q("02 - b.mp3"), q("01 - b.mp3")}};
    const QList<RenameResult> r = RenameInFolder(f.path(), plan, sys, control);
    ASSERT_TRUE(stop);
    EXPECT_EQ(r[0].outcome, RenameOutcome::Renamed);
    EXPECT_EQ(r[1].outcome, RenameOutcome::Renamed);
    EXPECT_EQ(r[2].outcome, RenameOutcome::Stopped);
    EXPECT_EQ(r[3].outcome, RenameOutcome::Stopped);
    EXPECT_EQ(f.names(), (Names{"01 - a.mp3", "01 - b.mp3", "02 - a.mp3", "02 - b.mp3"}));
    EXPECT_EQ(f.read("01 - a.mp3"), "02 - a.mp3");
    EXPECT_EQ(f.read("01 - b.mp3"), "01 - b.mp3");
}

TEST(EditFilename, NeedsTheExtensionAndNeverReplaces)
{
    Folder f;
    f.put("a.mp3", "A");
    f.put("b.mp3", "B");
    for (const char* text : {"a", "   ", "a.mp3x"}) {
        const RenameResult r = EditFilename(f.path(), q("a.mp3"), q(text));
        EXPECT_EQ(r.reason, q("Please enter a valid name including the .mp3 extension!")) << text;
    }
    EXPECT_TRUE(EditFilename(f.path(), q("a.mp3"), q("b.mp3")).taken);
    EXPECT_EQ(EditFilename(f.path(), q("a.mp3"), q("New.MP3")).outcome, RenameOutcome::Renamed);
    EXPECT_EQ(EditFilename(f.path(), q("New.MP3"), q("x/y.mp3")).reason, q("the new name \"x/y.mp3\" contains \"/\""));
    EXPECT_EQ(f.names(), (Names{"New.MP3", "b.mp3"}));
    EXPECT_EQ(f.read("New.MP3"), "A");
    // Blanks after the extension are dropped, so the file stays a listed MP3 file.
    const RenameResult trailing = EditFilename(f.path(), q("New.MP3"), q(" Spaced.mp3  "));
    EXPECT_EQ(trailing.outcome, RenameOutcome::Renamed);
    EXPECT_EQ(trailing.currentName(), q(" Spaced.mp3"));
    EXPECT_EQ(f.names(), (Names{" Spaced.mp3", "b.mp3"}));
}

// Renaming needs no write permission on the file, so its mode is left alone.
TEST(Renaming, KeepsTheFileMode)
{
    Folder f;
    f.put("1 - x.mp3");
    ::chmod(f.dir.file("1 - x.mp3").c_str(), 0444);
    EXPECT_EQ(RemoveLeadingNumbers(f.path(), q("1 - x.mp3")).outcome, RenameOutcome::Renamed);
    struct stat st {};
    ASSERT_EQ(::stat(f.dir.file("x.mp3").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
}

// A name that is not UTF-8 is renamed and written as itself, never as its twin
// with U+FFFD in place of the odd byte.
TEST(Renaming, NamesAreBytes)
{
    Folder f;
    const std::string odd = "song\xFF.mp3", twin = "song\xEF\xBF\xBD.mp3";
    f.put(odd, "odd");
    f.put(twin, "twin");
    EXPECT_EQ(DisplayName(odd), q("song\uFFFD.mp3"));
    EXPECT_NE(NameText(odd), NameText(twin));
    EXPECT_EQ(NameBytes(NameText(odd)), odd);

    const QList<RenameResult> r = RenameInFolder(f.path(), {PlanCleanFilename(NameText(odd))});
    ASSERT_EQ(r.first().outcome, RenameOutcome::Renamed) << r.first().reason.toStdString();
    EXPECT_EQ(NameBytes(r.first().newName), "Song\xFF.mp3");
    EXPECT_EQ(f.names(), (Names{"Song\xFF.mp3", twin}));
    EXPECT_EQ(f.read("Song\xFF.mp3"), "odd");

    test::WriteFile(f.dir.path() / odd, test::MpegFrames(4));
    const TitleResult t = UseFilenameForTitle(f.dir.path().string(), odd);
    ASSERT_TRUE(t.written) << t.reason.toStdString();
    EXPECT_EQ(t.title, q("song\uFFFD"));
    EXPECT_EQ(f.read(twin), "twin");
}

TEST(UseFilenameForTitle, WritesTheNameWithoutMp3AsTitle)
{
    Folder f;
    test::WriteFile(f.dir.path() / "My Song.MP3",
                    test::Tag(3, test::Frame(3, "TIT2", test::Latin1("old"))) + test::MpegFrames(4));
    const TitleResult r = UseFilenameForTitle(f.path(), q("My Song.MP3"));
    ASSERT_TRUE(r.written) << r.reason.toStdString();
    EXPECT_EQ(r.title, q("My Song"));
    clsID3 tag;
    tag.SetFileName(f.dir.file("My Song.MP3"));
    EXPECT_EQ(tag.Title, u"My Song");
    // and back again, from the tag
    EXPECT_EQ(UseTitleForFilename(f.path(), q("My Song.MP3"), tag).outcome, RenameOutcome::Renamed);
    EXPECT_TRUE(f.has("My Song.mp3") && !f.has("My Song.MP3"));

    const TitleResult missing = UseFilenameForTitle(f.path(), q("gone.mp3"));
    EXPECT_FALSE(missing.written);
    EXPECT_EQ(missing.reason, q("the file no longer exists"));
    EXPECT_FALSE(f.has("gone.mp3"));
}

} // namespace

// A batch over a folder tree is planned folder by folder: one new name in two folders
// is no collision, a collision within one folder still is, and the preview agrees.
TEST(RenameInFolders, EachFolderIsItsOwnBatch)
{
    Folder f;
    std::filesystem::create_directories(f.dir.path() / "A");
    std::filesystem::create_directories(f.dir.path() / "B");
    f.put("A/1.mp3");
    f.put("A/2.mp3");
    f.put("B/1.mp3");
    const QList<PlannedRename> plan = {
        {q("1.mp3"), q("Song.mp3"), q("A")}, {q("1.mp3"), q("Song.mp3"), q("B")}, {q("2.mp3"), q("Song.mp3"), q("A")}};
    for (const bool preview : {true, false}) {
        const QList<RenameResult> r = preview ? PreviewRenameInFolders(f.path(), plan)
                                              : RenameInFolders(f.path(), plan);
        ASSERT_EQ(r.size(), 3);
        EXPECT_EQ(r[0].outcome, RenameOutcome::Renamed) << preview;
        EXPECT_EQ(r[1].outcome, RenameOutcome::Renamed) << preview;
        EXPECT_EQ(r[1].folder, q("B"));
        EXPECT_TRUE(r[2].failed()) << preview;
        EXPECT_EQ(DescribeFailures({r[2]}).value(0).left(8), q("A/2.mp3:"));
    }
    EXPECT_TRUE(f.has("A/Song.mp3"));
    EXPECT_TRUE(f.has("B/Song.mp3"));
    EXPECT_TRUE(f.has("A/2.mp3"));
    EXPECT_FALSE(f.has("Song.mp3"));
}
