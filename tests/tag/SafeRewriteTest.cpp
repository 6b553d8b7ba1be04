#include "FaultyFileSystem.h"
#include "Mp3Builder.h"
#include "tag/FileReader.h"
#include "tag/FolderScan.h"
#include "tag/SafeRewrite.h"
#include "tag/clsID3.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <optional>
#include <random>
#include <sched.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace brindle {
namespace {

using test::FaultyFileSystem;
namespace fsys = std::filesystem;

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string randomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(gen());
    return s;
}

struct stat statOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

// Attributes first: reading the file would move its access time.
struct Snapshot {
    explicit Snapshot(const std::string& path) : st(statOf(path)), content(readAll(path)) {}
    struct stat st;
    std::string content;
};

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// Compares file contents without printing them.
::testing::AssertionResult sameBytes(const std::string& actual, const std::string& expected)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure() << actual.size() << " bytes instead of " << expected.size()
                                         << ", first difference at offset " << at;
}

// The new content a kept copy holds after its record.
std::string keptContent(const std::string& copy)
{
    const auto record = ReadPendingSave(FileSystem::posix(), copy);
    if (!record)
        return "(no record)";
    return readAll(copy).substr(record->contentOffset);
}

std::string expectedContent(const std::string& old, const RewritePlan& plan)
{
    return plan.head + old.substr(plan.audioBegin, plan.audioEnd - plan.audioBegin) + plan.tail;
}

// A plan that replaces the first `oldHead` and last `oldTail` bytes of a file.
RewritePlan replaceEnds(std::size_t fileSize, std::size_t oldHead, std::size_t oldTail, std::size_t newHead,
                        std::size_t newTail)
{
    RewritePlan plan;
    plan.head = randomBytes(newHead, 11);
    plan.audioBegin = oldHead;
    plan.audioEnd = fileSize - oldTail;
    plan.tail = randomBytes(newTail, 12);
    return plan;
}

class SafeRewriteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/brindle-rewrite-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        temp_ = root_ + "/temp";
        fsys::create_directory(temp_);
        if (const char* old = std::getenv("TEMP"))
            savedTemp_ = old;
        ::setenv("TEMP", temp_.c_str(), 1);
        if (const char* old = std::getenv("XDG_STATE_HOME"))
            savedState_ = old;
        ::setenv("XDG_STATE_HOME", (root_ + "/state").c_str(), 1);
        journal_ = root_ + "/state/brindle/saves";
        // Made beforehand, so that every save of a test takes the same steps; the
        // first save's own folder steps have a test of their own.
        fsys::create_directories(journal_);
        fsys::permissions(journal_, fsys::perms::owner_all);
    }
    void TearDown() override
    {
        if (savedTemp_)
            ::setenv("TEMP", savedTemp_->c_str(), 1);
        else
            ::unsetenv("TEMP");
        if (savedState_)
            ::setenv("XDG_STATE_HOME", savedState_->c_str(), 1);
        else
            ::unsetenv("XDG_STATE_HOME");
        std::error_code ec;
        fsys::permissions(root_, fsys::perms::owner_all, ec);
        fsys::remove_all(root_, ec);
    }

    // The next run that meets a file a crash left: the scan of its folder, or the next
    // save of it, which finishes the old one before it reads. Gives the notes.
    std::vector<std::string> meetAgain(const std::string& path, bool byScan)
    {
        std::vector<std::string> notes;
        if (byScan) {
            ListFolderMp3s(root_, nullptr, &notes);
            return notes;
        }
        RewriteSession session(FileSystem::posix(), path);
        EXPECT_TRUE(session.isOpen()) << session.error();
        return session.notes();
    }

    // Writes a file with fixed, nanosecond-precise times and returns its path.
    std::string makeFile(const std::string& name, const std::string& content, mode_t mode = 0640)
    {
        std::string path = root_ + "/" + name;
        ::unlink(path.c_str()); // a fresh file: truncating one makes ext4 start writing it back
        std::ofstream(path, std::ios::binary) << content;
        ::chmod(path.c_str(), mode);
        const timespec times[2] = {{1000000000, 123456789}, {1100000000, 987654321}};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        return path;
    }

    // The copies left in the journal folder, and anything left in the temporary one.
    std::vector<std::string> tempFiles() const
    {
        std::vector<std::string> names;
        for (const std::string& folder : {temp_, journal_}) {
            std::error_code ec;
            for (const auto& entry : fsys::directory_iterator(folder, ec))
                names.push_back(entry.path().string());
        }
        return names;
    }

    void clearTemp()
    {
        for (const auto& name : tempFiles())
            ::unlink(name.c_str());
    }

    // Content, identity and times after a rewrite that reported success.
    static void expectWritten(const Snapshot& now, const struct stat& before, const std::string& expected)
    {
        const struct stat& after = now.st;
        EXPECT_TRUE(sameBytes(now.content, expected));
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_dev, before.st_dev);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
        EXPECT_TRUE(sameTime(after.st_mtim, before.st_mtim));
        EXPECT_TRUE(sameTime(after.st_atim, before.st_atim));
    }

    std::string root_;
    std::string temp_;
    std::string journal_;
    std::optional<std::string> savedTemp_, savedState_;
};

TEST_F(SafeRewriteTest, RewritesContentKeepingIdentityModeAndTimes)
{
    const std::string old = randomBytes(300000, 1);
    struct Case {
        const char* name;
        RewritePlan plan;
    };
    const Case cases[] = {
        {"grow", replaceEnds(old.size(), 1000, 128, 5000, 300)},
        {"shrink", replaceEnds(old.size(), 20000, 5000, 10, 128)},
        {"same size", replaceEnds(old.size(), 4096, 128, 4096, 128)},
        {"no head or tail", replaceEnds(old.size(), 700, 200, 0, 0)},
        {"middle of the audio", replaceEnds(old.size(), 100000, 100000, 33, 44)},
        {"no audio", replaceEnds(old.size(), 150000, 150000, 17, 0)},
        {"empty result", replaceEnds(old.size(), 0, old.size(), 0, 0)},
        {"whole file kept", replaceEnds(old.size(), 0, 0, 0, 0)},
    };
    // The kernel copy, and plain reads and writes that move odd, short amounts.
    for (const bool plain : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (plain ? ", plain copy" : ", kernel copy"));
            const std::string path = makeFile("song.mp3", old);
            const std::string link = root_ + "/link.mp3";
            ::unlink(link.c_str());
            ASSERT_EQ(::link(path.c_str(), link.c_str()), 0);
            const struct stat before = statOf(path);
            FaultyFileSystem fs;
            fs.noKernelCopy = plain;
            fs.maxTransfer = plain ? 4099 : 0;
            const RewriteResult result = RewriteFile(fs, path, c.plan);
            EXPECT_TRUE(result.ok) << result.reason;
            EXPECT_EQ(result.reason, "");
            EXPECT_EQ(result.keptTempPath, "");
            const std::string expected = expectedContent(old, c.plan);
            expectWritten(Snapshot(path), before, expected);
            EXPECT_TRUE(sameBytes(readAll(link), expected)) << "the other name of the same file sees the new content";
            EXPECT_TRUE(tempFiles().empty());
        }
    }
}

TEST_F(SafeRewriteTest, CopyIsPrivateAndNamedAfterItsFile)
{
    const std::string path = makeFile("a.mp3", randomBytes(5000, 2));
    FaultyFileSystem fs;
    mode_t tempMode = 0;
    fs.beforeCall = [&](const std::string& op) {
        if (op == "pwrite" && tempMode == 0 && !fs.created().empty())
            tempMode = statOf(fs.created().front()).st_mode & 07777;
    };
    const struct stat st = statOf(path);
    ASSERT_TRUE(RewriteFile(fs, path, replaceEnds(5000, 10, 10, 20, 20)).ok);
    ASSERT_EQ(fs.created().size(), 1u);
    EXPECT_EQ(tempMode, 0600);
    char name[64];
    std::snprintf(name, sizeof name, "/%llx-%llx.save", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    EXPECT_EQ(fs.created().front(), journal_ + name);
    EXPECT_EQ(statOf(journal_).st_mode & 07777, 0700);
}

TEST_F(SafeRewriteTest, TemporaryFolderComesFromTempThenTheSystem)
{
    EXPECT_EQ(TemporaryFolder(), temp_);
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string savedTmpdir = tmpdir ? tmpdir : "";
    ::setenv("TEMP", "", 1);
    ::unsetenv("TMPDIR");
    EXPECT_EQ(TemporaryFolder(), "/tmp");
    ::unsetenv("TEMP");
    ::setenv("TMPDIR", "/var/tmp", 1);
    EXPECT_EQ(TemporaryFolder(), "/var/tmp");
    if (tmpdir)
        ::setenv("TMPDIR", savedTmpdir.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

TEST_F(SafeRewriteTest, JournalFolderThatCannotBeMadeChangesNothing)
{
    const std::string old = randomBytes(3000, 21);
    const std::string path = makeFile("a.mp3", old);
    const std::string blocked = makeFile("not a folder", "x");
    ::setenv("XDG_STATE_HOME", blocked.c_str(), 1);
    const RewriteResult result = RewriteFile(FileSystem::posix(), path, replaceEnds(old.size(), 10, 0, 20, 0));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.reason.rfind("cannot create the folder " + blocked + "/brindle/saves", 0), 0u) << result.reason;
    EXPECT_NE(result.reason.find(": Not a directory"), std::string::npos) << result.reason;
    EXPECT_TRUE(sameBytes(readAll(path), old));
}

TEST_F(SafeRewriteTest, TakenCopyNameIsNeverReused)
{
    const std::string old = randomBytes(8000, 3);
    const std::string path = makeFile("a.mp3", old);
    const RewritePlan plan = replaceEnds(old.size(), 100, 0, 50, 0);
    FaultyFileSystem fs;
    // Another program takes the name just before this one creates it.
    fs.beforeCall = [&](const std::string& op) {
        if (op == "open" && fs.created().size() == 1 && !fsys::exists(fs.created()[0]))
            std::ofstream(fs.created()[0]) << "not ours";
    };
    const RewriteResult result = RewriteFile(fs, path, plan);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.reason.find("File exists"), std::string::npos) << result.reason;
    ASSERT_EQ(fs.created().size(), 1u);
    EXPECT_EQ(readAll(fs.created()[0]), "not ours");
    EXPECT_TRUE(sameBytes(readAll(path), old));
}

TEST_F(SafeRewriteTest, TwoWritesInTheSameSecondDoNotInterfere)
{
    const std::string oldA = randomBytes(200000, 4), oldB = randomBytes(150000, 5);
    const std::string a = makeFile("a.mp3", oldA), b = makeFile("b.mp3", oldB);
    const RewritePlan planA = replaceEnds(oldA.size(), 100, 128, 3000, 128);
    const RewritePlan planB = replaceEnds(oldB.size(), 2000, 0, 10, 128);
    FaultyFileSystem outer, inner;
    RewriteResult resultB;
    bool started = false;
    // The second write runs whole while the first one's temporary file is half written.
    outer.beforeCall = [&](const std::string& op) {
        if (op == "pwrite" && !started) {
            started = true;
            resultB = RewriteFile(inner, b, planB);
        }
    };
    const RewriteResult resultA = RewriteFile(outer, a, planA);
    ASSERT_TRUE(started);
    EXPECT_TRUE(resultA.ok) << resultA.reason;
    EXPECT_TRUE(resultB.ok) << resultB.reason;
    ASSERT_EQ(outer.created().size(), 1u);
    ASSERT_EQ(inner.created().size(), 1u);
    EXPECT_NE(outer.created()[0], inner.created()[0]);
    EXPECT_TRUE(sameBytes(readAll(a), expectedContent(oldA, planA)));
    EXPECT_TRUE(sameBytes(readAll(b), expectedContent(oldB, planB)));
    EXPECT_TRUE(tempFiles().empty());
}

TEST_F(SafeRewriteTest, PlainCopyMemoryStaysBounded)
{
    const std::string old = randomBytes(5 << 20, 6);
    const std::string path = makeFile("big.mp3", old);
    const RewritePlan plan = replaceEnds(old.size(), 10, 0, 100, 0);
    FaultyFileSystem fs;
    fs.noKernelCopy = true;
    ASSERT_TRUE(RewriteFile(fs, path, plan).ok);
    EXPECT_LE(fs.largestTransfer(), std::size_t{1} << 20);
    EXPECT_TRUE(sameBytes(readAll(path), expectedContent(old, plan)));
}

TEST_F(SafeRewriteTest, BadAudioRangeChangesNothing)
{
    const std::string old = randomBytes(1000, 7);
    const std::string path = makeFile("a.mp3", old);
    FaultyFileSystem fs;
    RewritePlan plan;
    plan.audioBegin = 10;
    plan.audioEnd = 1001;
    const RewriteResult result = RewriteFile(fs, path, plan);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.reason.find("lies outside"), std::string::npos) << result.reason;
    EXPECT_TRUE(fs.created().empty());
    EXPECT_TRUE(sameBytes(readAll(path), old));
}

TEST_F(SafeRewriteTest, NoRoomForGrowthIsFoundBeforeTheFileIsTouched)
{
    const std::string old = randomBytes(20000, 8);
    const RewritePlan plan = replaceEnds(old.size(), 0, 0, 100000, 0);
    {
        SCOPED_TRACE("reservation refused");
        const std::string path = makeFile("a.mp3", old);
        FaultyFileSystem fs;
        fs.failEvery("fallocate", ENOSPC);
        const RewriteResult result = RewriteFile(fs, path, plan);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.reason.find("No space left on device"), std::string::npos) << result.reason;
        EXPECT_TRUE(sameBytes(readAll(path), old));
        EXPECT_TRUE(tempFiles().empty());
    }
    {
        SCOPED_TRACE("no reservation possible, free space counted");
        const std::string path = makeFile("b.mp3", old);
        FaultyFileSystem fs;
        fs.failEvery("fallocate", EOPNOTSUPP);
        fs.availableBlocks = 1;
        const RewriteResult result = RewriteFile(fs, path, plan);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.reason.find("No space left on device"), std::string::npos) << result.reason;
        EXPECT_TRUE(sameBytes(readAll(path), old));
        EXPECT_TRUE(tempFiles().empty());
        fs.availableBlocks.reset();
        EXPECT_TRUE(RewriteFile(fs, path, plan).ok);
        EXPECT_TRUE(sameBytes(readAll(path), expectedContent(old, plan)));
    }
}

TEST_F(SafeRewriteTest, RefillThatKeepsFailingLeavesTheNewContentInTheTemporaryFile)
{
    const std::string old = randomBytes(50000, 9);
    const std::string path = makeFile("a.mp3", old);
    const RewritePlan plan = replaceEnds(old.size(), 1000, 100, 700, 50);
    FaultyFileSystem fs;
    fs.failEvery("ftruncate", EIO);
    const RewriteResult result = RewriteFile(fs, path, plan);
    EXPECT_FALSE(result.ok);
    ASSERT_FALSE(result.keptTempPath.empty());
    EXPECT_NE(result.reason.find("cannot be truncated: Input/output error"), std::string::npos) << result.reason;
    EXPECT_NE(result.reason.find(result.keptTempPath), std::string::npos) << result.reason;
    EXPECT_TRUE(sameBytes(keptContent(result.keptTempPath), expectedContent(old, plan)));
    EXPECT_EQ(tempFiles(), std::vector<std::string>{result.keptTempPath});
}

TEST_F(SafeRewriteTest, TimesThatCannotBeRestoredAreReported)
{
    const std::string old = randomBytes(5000, 10);
    const std::string path = makeFile("a.mp3", old);
    const RewritePlan plan = replaceEnds(old.size(), 10, 0, 20, 0);
    FaultyFileSystem fs;
    fs.failEvery("futimens", EPERM);
    const RewriteResult result = RewriteFile(fs, path, plan);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.reason.find("times could not be restored: Operation not permitted"), std::string::npos)
        << result.reason;
    EXPECT_TRUE(sameBytes(readAll(path), expectedContent(old, plan)));
    EXPECT_TRUE(tempFiles().empty());
}

TEST_F(SafeRewriteTest, ExceptionsDoNotEscapeAndLoseNothing)
{
    const std::string old = randomBytes(50000, 22);
    const RewritePlan plan = replaceEnds(old.size(), 100, 0, 900, 0);
    for (const char* op : {"fallocate", "ftruncate", "copyFileRange"}) {
        SCOPED_TRACE(op);
        // Shrinking, so that the refill cuts the file; the kernel copy is the refill's.
        const RewritePlan shrink = replaceEnds(old.size(), 1000, 0, 10, 0);
        const RewritePlan& p = std::string(op) == "fallocate" ? plan : shrink;
        const std::string path = makeFile("a.mp3", old);
        FaultyFileSystem fs;
        int seen = 0;
        const int throwAt = 1;
        fs.beforeCall = [&](const std::string& name) {
            if (name == op && ++seen == throwAt)
                throw std::bad_alloc();
        };
        RewriteResult result;
        EXPECT_NO_THROW(result = RewriteFile(fs, path, p));
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.reason.find("out of memory"), std::string::npos) << result.reason;
        if (std::string(op) == "fallocate") {
            EXPECT_TRUE(sameBytes(readAll(path), old));
            EXPECT_TRUE(tempFiles().empty());
        } else {
            ASSERT_FALSE(result.keptTempPath.empty());
            EXPECT_TRUE(sameBytes(keptContent(result.keptTempPath), expectedContent(old, p)));
        }
        clearTemp();
    }
}

// Where in a clean run each kind of step on each file happens.
struct Steps {
    explicit Steps(const FaultyFileSystem& fs)
    {
        const auto& log = fs.log();
        const auto& fds = fs.fds();
        original = fds.at(0);
        for (std::size_t i = 0; i < log.size(); ++i)
            if (log[i] == "open" && i > 0 && temporary < 0 && fds[i] >= 0)
                temporary = fds[i];
        for (std::size_t i = 0; i < log.size(); ++i) {
            const int at = static_cast<int>(i);
            const bool writes = log[i] == "pwrite" || log[i] == "copyFileRange" || log[i] == "ftruncate";
            if (writes && fds[i] == original && firstOriginalWrite < 0)
                firstOriginalWrite = at;
            if (writes && fds[i] == original)
                lastOriginalWrite = at;
            if (writes && fds[i] == temporary)
                lastTemporaryWrite = at;
            if (log[i] == "fsync" && fds[i] == temporary)
                temporaryFlush = at;
            if (log[i] == "fsync" && fds[i] == original)
                originalFlush = at;
            if (log[i] == "fallocate" && fds[i] == original)
                reservation = at;
            if (log[i] == "futimens" && fds[i] == original)
                timesRestored = at;
            if (log[i] == "unlink")
                removal = at;
        }
    }
    int original = -1, temporary = -1;
    int firstOriginalWrite = -1, lastOriginalWrite = -1, lastTemporaryWrite = -1, temporaryFlush = -1,
        originalFlush = -1, reservation = -1, timesRestored = -1, removal = -1;
};

TEST_F(SafeRewriteTest, OriginalIsTouchedOnlyAfterTheCopyIsOnDisk)
{
    const std::string old = randomBytes(300000, 18);
    for (const bool plain : {false, true}) {
        SCOPED_TRACE(plain ? "plain copy" : "kernel copy");
        FaultyFileSystem fs;
        fs.noKernelCopy = plain;
        ASSERT_TRUE(RewriteFile(fs, makeFile("a.mp3", old), replaceEnds(old.size(), 300, 128, 4000, 128)).ok);
        const Steps s(fs);
        ASSERT_GE(s.temporary, 0);
        EXPECT_LT(s.lastTemporaryWrite, s.temporaryFlush);
        EXPECT_LT(s.temporaryFlush, s.firstOriginalWrite);
        EXPECT_LT(s.reservation, s.firstOriginalWrite);
        EXPECT_GE(s.reservation, 0);
        EXPECT_LT(s.lastOriginalWrite, s.timesRestored);
        EXPECT_LT(s.timesRestored, s.originalFlush) << "the flush covers the times";
        EXPECT_LT(s.originalFlush, s.removal);
    }
}

TEST_F(SafeRewriteTest, KernelCopyRefusedFallsBackToPlainCopy)
{
    const std::string old = randomBytes(100000, 19);
    const RewritePlan plan = replaceEnds(old.size(), 300, 128, 1000, 128);
    for (const int err : {EXDEV, ENOSYS, EINVAL, EOPNOTSUPP}) {
        SCOPED_TRACE(std::strerror(err));
        const std::string path = makeFile("a.mp3", old);
        FaultyFileSystem fs;
        fs.failEvery("copyFileRange", err);
        const RewriteResult result = RewriteFile(fs, path, plan);
        EXPECT_TRUE(result.ok) << result.reason;
        EXPECT_TRUE(sameBytes(readAll(path), expectedContent(old, plan)));
    }
}

// A journal folder the save makes is flushed into its parent before the copy goes
// in, or a power loss could take the folder and the copy with it. A failed flush
// stops the save before the file is touched.
TEST_F(SafeRewriteTest, JournalFoldersMadeBySaveAreFlushedIntoTheirParents)
{
    const std::string old = randomBytes(4000, 61);
    const std::string path = makeFile("a.mp3", old);
    const RewritePlan plan = replaceEnds(old.size(), 10, 10, 20, 20);
    auto fsyncs = [](const FaultyFileSystem& fs) { return std::count(fs.log().begin(), fs.log().end(), "fsync"); };
    FaultyFileSystem settled;
    ASSERT_TRUE(RewriteFile(settled, path, plan).ok);

    fsys::remove_all(root_ + "/state");
    const std::string again = makeFile("a.mp3", old);
    FaultyFileSystem fresh;
    ASSERT_TRUE(RewriteFile(fresh, again, plan).ok);
    EXPECT_EQ(fsyncs(fresh), fsyncs(settled) + 3); // state, brindle and saves are new

    fsys::remove_all(root_ + "/state");
    makeFile("a.mp3", old);
    FaultyFileSystem failing;
    const auto first = std::find(fresh.log().begin(), fresh.log().end(), "fsync");
    failing.failAt(static_cast<int>(first - fresh.log().begin()) + 1, EIO);
    const RewriteResult refused = RewriteFile(failing, path, plan);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(failing.injected(), 1);
    EXPECT_EQ(readAll(path), old);
}

TEST_F(SafeRewriteTest, LostWritesAreCaughtByTheLengthChecks)
{
    const std::string old = randomBytes(100000, 20);
    const RewritePlan plan = replaceEnds(old.size(), 300, 128, 1000, 128); // grows
    auto configure = [](FaultyFileSystem& fs) {
        fs.noKernelCopy = true;
        fs.maxTransfer = 16384;
    };
    FaultyFileSystem clean;
    configure(clean);
    ASSERT_TRUE(RewriteFile(clean, makeFile("a.mp3", old), plan).ok);
    const Steps s(clean);
    // The copy's last write is its record, the one before it the end of its content.
    int lastContentWrite = -1;
    for (int i = 0; i < s.lastTemporaryWrite; ++i)
        if (clean.log()[static_cast<std::size_t>(i)] == "pwrite" &&
            clean.fds()[static_cast<std::size_t>(i)] == s.temporary)
            lastContentWrite = i;
    for (const auto& [lost, error] :
         {std::pair{lastContentWrite, "bytes instead of"}, {s.lastTemporaryWrite, "did not read back"}}) {
        SCOPED_TRACE(std::string("a write of the copy is lost: ") + error);
        const std::string path = makeFile("a.mp3", old);
        FaultyFileSystem fs;
        configure(fs);
        fs.loseWriteAt = lost + 1;
        const RewriteResult result = RewriteFile(fs, path, plan);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.reason.find(error), std::string::npos) << result.reason;
        EXPECT_TRUE(sameBytes(readAll(path), old));
        EXPECT_TRUE(tempFiles().empty());
    }
    {
        SCOPED_TRACE("the original's last write is lost once, and the refill is repeated");
        const std::string path = makeFile("a.mp3", old);
        FaultyFileSystem fs;
        configure(fs);
        ASSERT_EQ(clean.log()[static_cast<std::size_t>(s.lastOriginalWrite)], "pwrite");
        fs.loseWriteAt = s.lastOriginalWrite + 1;
        const RewriteResult result = RewriteFile(fs, path, plan);
        EXPECT_TRUE(result.ok) << result.reason;
        EXPECT_TRUE(sameBytes(readAll(path), expectedContent(old, plan)));
        EXPECT_GT(fs.calls(), clean.calls());
    }
}

// Every step of a clean run fails once, in turn: the file ends exactly old (and the
// call says so) or exactly new (and the call says so), and no temporary file stays.
TEST_F(SafeRewriteTest, OneFailureAtAnyStepLosesNothing)
{
    const std::string old = randomBytes(40000, 13);
    for (const bool plain : {false, true}) {
        for (const RewritePlan& plan :
             {replaceEnds(old.size(), 500, 128, 9000, 300), replaceEnds(old.size(), 9000, 300, 500, 0)}) {
            const std::string expected = expectedContent(old, plan);
            auto configure = [&](FaultyFileSystem& fs) {
                fs.skipFlush = true;
                fs.noKernelCopy = plain;
                fs.maxTransfer = plain ? 16384 : 0;
            };
            FaultyFileSystem clean;
            configure(clean);
            ASSERT_TRUE(RewriteFile(clean, makeFile("a.mp3", old), plan).ok);
            const int n = clean.calls();
            for (const int err : {EIO, EINTR}) {
                for (int k = 1; k <= n + 1; ++k) {
                    SCOPED_TRACE((plain ? "plain, " : "kernel, ") + std::to_string(plan.head.size()) + "-byte head, " +
                                 std::strerror(err) + ", failing call " + std::to_string(k) + " of " +
                                 std::to_string(n) + (k <= n ? " (" + clean.log()[k - 1] + ")" : ""));
                    const std::string path = makeFile("a.mp3", old);
                    const struct stat before = statOf(path);
                    FaultyFileSystem fs;
                    configure(fs);
                    fs.failAt(k, err);
                    const RewriteResult result = RewriteFile(fs, path, plan);
                    const Snapshot snap(path);
                    const std::string& now = snap.content;
                    ASSERT_TRUE(now == old || now == expected);
                    ASSERT_EQ(result.ok, now == expected) << result.reason;
                    EXPECT_EQ(result.keptTempPath, "");
                    if (result.ok) {
                        expectWritten(snap, before, expected);
                    } else {
                        EXPECT_FALSE(result.reason.empty());
                    }
                    EXPECT_TRUE(tempFiles().empty());
                    clearTemp();
                }
            }
        }
    }
}

// Every step from k on fails: the file is exactly old, or exactly new, or the named
// temporary file holds exactly the new content; any file left in the temporary
// folder is named in the reason.
TEST_F(SafeRewriteTest, LastingFailureFromAnyStepLosesNothing)
{
    const std::string old = randomBytes(40000, 14);
    for (const bool plain : {false, true}) {
        const RewritePlan plan = replaceEnds(old.size(), 500, 128, 9000, 300);
        const std::string expected = expectedContent(old, plan);
        FaultyFileSystem clean;
        clean.skipFlush = true;
        clean.noKernelCopy = plain;
        ASSERT_TRUE(RewriteFile(clean, makeFile("a.mp3", old), plan).ok);
        const int n = clean.calls();
        for (int k = 1; k <= n + 1; ++k) {
            SCOPED_TRACE(std::string(plain ? "plain" : "kernel") + ", failing from call " + std::to_string(k) + " of " +
                         std::to_string(n) + (k <= n ? " (" + clean.log()[k - 1] + ")" : ""));
            const std::string path = makeFile("a.mp3", old);
            const struct stat before = statOf(path);
            FaultyFileSystem fs;
            fs.skipFlush = true;
            fs.noKernelCopy = plain;
            fs.failAt(k, EIO, FaultyFileSystem::Mode::FromThenOn);
            const RewriteResult result = RewriteFile(fs, path, plan);
            const Snapshot snap(path);
            const std::string& now = snap.content;
            if (!result.keptTempPath.empty()) {
                EXPECT_FALSE(result.ok);
                EXPECT_NE(result.reason.find(result.keptTempPath), std::string::npos);
                EXPECT_TRUE(sameBytes(keptContent(result.keptTempPath), expected));
            } else {
                ASSERT_TRUE(now == old || now == expected);
            }
            if (result.ok) {
                expectWritten(snap, before, expected);
            }
            if (now == old) {
                EXPECT_FALSE(result.ok);
            }
            if (!result.ok) {
                EXPECT_FALSE(result.reason.empty());
            }
            for (const std::string& left : tempFiles())
                EXPECT_NE(result.reason.find(left), std::string::npos) << result.reason;
            clearTemp();
        }
    }
}

// The checks of the read-only cases run in a child process so that it can drop
// root rights or get a mount namespace of its own. Exit status 0: the call failed as
// expected; 77: the case cannot be set up here.
int runInChild(const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

int expectRefused(const std::string& path, const char* error)
{
    const RewriteResult result = RewriteFile(FileSystem::posix(), path, replaceEnds(4000, 10, 0, 5000, 0));
    const bool asExpected = !result.ok &&
                            result.reason.find(std::string("cannot be opened for writing: ") + error) == 0;
    if (!asExpected)
        std::fprintf(stderr, "unexpected result: ok=%d reason=%s\n", result.ok, result.reason.c_str());
    return asExpected ? 0 : 1;
}

TEST_F(SafeRewriteTest, ReadOnlyFileIsRefusedAndUntouched)
{
    const std::string old = randomBytes(4000, 15);
    const std::string path = makeFile("a.mp3", old, 0444);
    const struct stat before = statOf(path);
    ::chmod(root_.c_str(), 0755);
    ::chmod(temp_.c_str(), 0777);
    const int status = runInChild([&] {
        // Root may write any file: the check runs as an ordinary user then.
        if (::geteuid() == 0 &&
            (::chown(path.c_str(), 65534, 65534) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            return 77;
        return expectRefused(path, "Permission denied");
    });
    if (status == 77)
        GTEST_SKIP() << "cannot drop root rights here";
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(sameBytes(readAll(path), old));
    EXPECT_TRUE(sameTime(statOf(path).st_mtim, before.st_mtim));
    EXPECT_TRUE(tempFiles().empty());
}

TEST_F(SafeRewriteTest, FileOnReadOnlyFileSystemIsRefusedAndUntouched)
{
    const std::string old = randomBytes(4000, 16);
    const std::string folder = root_ + "/ro";
    fsys::create_directory(folder);
    const std::string path = folder + "/a.mp3";
    std::ofstream(path, std::ios::binary) << old;
    const int status = runInChild([&] {
        // A read-only bind mount of the folder, visible to this process only.
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            return 77;
        return expectRefused(path, "Read-only file system");
    });
    if (status == 77)
        GTEST_SKIP() << "no rights to mount a read-only folder here";
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(sameBytes(readAll(path), old));
    EXPECT_TRUE(tempFiles().empty());
}

TEST_F(SafeRewriteTest, RefusedOpenCreatesNothing)
{
    const std::string old = randomBytes(4000, 17);
    const std::string path = makeFile("a.mp3", old);
    FaultyFileSystem fs;
    fs.failAt(1, EACCES);
    const RewriteResult result = RewriteFile(fs, path, replaceEnds(old.size(), 10, 0, 20, 0));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.reason, "cannot be opened for writing: Permission denied");
    EXPECT_TRUE(fs.created().empty());
    EXPECT_TRUE(sameBytes(readAll(path), old));
}

// --- One writer at a time, and no lost update

TEST_F(SafeRewriteTest, SecondWriterWaitsForTheFirstAndReadsItsResult)
{
    const std::string old = randomBytes(20000, 30);
    const std::string path = makeFile("a.mp3", old);
    auto first = std::make_unique<RewriteSession>(FileSystem::posix(), path);
    ASSERT_TRUE(first->isOpen()) << first->error();
    std::atomic<bool> done{false};
    RewriteResult second;
    std::string secondSaw;
    std::thread other([&] {
        RewriteSession session(FileSystem::posix(), path);
        secondSaw = readAll(path); // what it reads once it holds the lock
        second = session.rewrite(replaceEnds(session.length(), 0, 0, 7, 0));
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(done) << "the second writer went ahead while the first held the file";
    const RewritePlan plan = replaceEnds(old.size(), 100, 0, 300, 0);
    EXPECT_TRUE(first->rewrite(plan).ok);
    first.reset();
    other.join();
    const std::string afterFirst = expectedContent(old, plan);
    EXPECT_TRUE(sameBytes(secondSaw, afterFirst));
    EXPECT_TRUE(second.ok) << second.reason;
    EXPECT_TRUE(sameBytes(readAll(path), randomBytes(7, 11) + afterFirst));
}

// Records, across threads, when each copy was made, when each flush of a folder
// began and ended, and when each original was first written to. The second flush of
// a folder fails, and every flush of a folder takes a while, so that saves pile up
// behind one.
class Timeline : public FileSystem {
public:
    struct Flush {
        long begin, end;
        bool ok;
    };
    std::mutex mutex;
    long clock = 0;
    std::map<std::string, long> made; // copy path -> when
    std::map<ino_t, long> firstWrite; // original's inode -> when
    std::vector<Flush> flushes;

    int open(const std::string& path, int flags, mode_t mode = 0) override
    {
        const int fd = inner().open(path, flags, mode);
        std::lock_guard<std::mutex> lock(mutex);
        const long now = ++clock;
        if (fd >= 0 && (flags & O_CREAT))
            made[path] = now;
        if (fd >= 0)
            folders_[fd] = (flags & O_DIRECTORY) != 0;
        if (fd >= 0 && !(flags & (O_CREAT | O_DIRECTORY)) && path.size() > 4 && path.substr(path.size() - 4) == ".mp3")
            originals_[fd] = statOf(path).st_ino;
        return fd;
    }
    int close(int fd) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            folders_.erase(fd);
            originals_.erase(fd);
        }
        return inner().close(fd);
    }
    int fsync(int fd) override
    {
        long begin;
        bool fail = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!folders_[fd])
                return inner().fsync(fd);
            begin = ++clock;
            fail = ++folderFlushes_ == 2;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const int r = fail ? (errno = EIO, -1) : inner().fsync(fd);
        std::lock_guard<std::mutex> lock(mutex);
        flushes.push_back({begin, ++clock, r == 0});
        errno = fail ? EIO : errno;
        return r;
    }
    ssize_t pwrite(int fd, const void* buf, std::size_t count, off_t offset) override
    {
        wrote(fd);
        return inner().pwrite(fd, buf, count, offset);
    }
    ssize_t copyFileRange(int fdIn, off_t* offIn, int fdOut, off_t* offOut, std::size_t count) override
    {
        wrote(fdOut);
        return inner().copyFileRange(fdIn, offIn, fdOut, offOut, count);
    }
    int ftruncate(int fd, off_t length) override
    {
        wrote(fd);
        return inner().ftruncate(fd, length);
    }
    ssize_t pread(int fd, void* buf, std::size_t count, off_t offset) override
    {
        return inner().pread(fd, buf, count, offset);
    }
    int fstat(int fd, struct stat* st) override { return inner().fstat(fd, st); }
    int fstatvfs(int fd, struct statvfs* st) override { return inner().fstatvfs(fd, st); }
    int fallocate(int fd, off_t offset, off_t length) override { return inner().fallocate(fd, offset, length); }
    int futimens(int fd, const struct timespec times[2]) override { return inner().futimens(fd, times); }
    int unlink(const std::string& path) override { return inner().unlink(path); }

private:
    static FileSystem& inner() { return FileSystem::posix(); }
    void wrote(int fd)
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = originals_.find(fd);
        if (it != originals_.end())
            firstWrite.emplace(it->second, ++clock);
    }
    std::map<int, bool> folders_;
    std::map<int, ino_t> originals_;
    int folderFlushes_ = 0;
};

TEST_F(SafeRewriteTest, SavesAtOnceShareFlushesOfTheFolderButNoneTouchesItsFileBeforeItsCopyIsNamedOnDisk)
{
    Timeline fs;
    constexpr int kSaves = 12;
    std::vector<std::string> paths, olds;
    for (int i = 0; i < kSaves; ++i) {
        olds.push_back(randomBytes(200000, 40 + i));
        paths.push_back(makeFile("s" + std::to_string(i) + ".mp3", olds.back()));
    }
    const RewritePlan plan = replaceEnds(olds[0].size(), 100, 0, 300, 0);
    std::vector<RewriteResult> results(kSaves);
    std::vector<std::thread> threads;
    threads.reserve(4);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = t; i < kSaves; i += 4)
                results[i] = RewriteFile(fs, paths[i], plan);
        });
    for (auto& thread : threads)
        thread.join();
    int failed = 0;
    for (int i = 0; i < kSaves; ++i) {
        SCOPED_TRACE(paths[i]);
        const struct stat st = statOf(paths[i]);
        char name[64];
        std::snprintf(name, sizeof name, "/%llx-%llx.save", static_cast<unsigned long long>(st.st_dev),
                      static_cast<unsigned long long>(st.st_ino));
        if (!results[i].ok) {
            // Only the failed flush may stop a save, and then its file is as it was.
            EXPECT_NE(results[i].reason.find("cannot flush the folder"), std::string::npos) << results[i].reason;
            EXPECT_TRUE(sameBytes(readAll(paths[i]), olds[i]));
            EXPECT_EQ(fs.firstWrite.count(st.st_ino), 0u);
            ++failed;
            continue;
        }
        EXPECT_TRUE(sameBytes(readAll(paths[i]), expectedContent(olds[i], plan)));
        ASSERT_EQ(fs.made.count(journal_ + name), 1u);
        ASSERT_EQ(fs.firstWrite.count(st.st_ino), 1u);
        const long made = fs.made[journal_ + name], touched = fs.firstWrite[st.st_ino];
        EXPECT_TRUE(std::any_of(fs.flushes.begin(), fs.flushes.end(), [&](const Timeline::Flush& f) {
            return f.ok && f.begin > made && f.end < touched;
        })) << "its file was written before a flush of the folder that began after its copy was made had ended";
    }
    EXPECT_GE(failed, 1);
    EXPECT_TRUE(tempFiles().empty());
}

TEST_F(SafeRewriteTest, ChangeByAnotherProgramBeforeTheRefillIsRefusedAndKept)
{
    const std::string old = randomBytes(30000, 31);
    const RewritePlan plan = replaceEnds(old.size(), 100, 0, 300, 0);
    for (const char* change : {"append", "touch"}) {
        SCOPED_TRACE(change);
        const std::string path = makeFile("a.mp3", old);
        FaultyFileSystem fs;
        std::string appended;
        // Another program (which takes no lock) changes the file while the copy is made.
        fs.beforeCall = [&](const std::string& op) {
            if (op != "fsync" || !appended.empty())
                return;
            appended = std::string(change) == "append" ? "more data" : "touched";
            if (appended == "more data") {
                std::ofstream(path, std::ios::binary | std::ios::app) << appended;
            } else {
                const timespec now[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
                ::utimensat(AT_FDCWD, path.c_str(), now, 0);
            }
        };
        const RewriteResult result = RewriteFile(fs, path, plan);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.reason, "it was changed by another program while it was being saved; it was left as "
                                 "that program left it");
        EXPECT_TRUE(sameBytes(readAll(path), appended == "more data" ? old + appended : old));
        EXPECT_TRUE(tempFiles().empty());
    }
}

TEST_F(SafeRewriteTest, AppendDuringTheRefillIsNeverCutAway)
{
    const std::string old = randomBytes(30000, 35);
    const RewritePlan plan = replaceEnds(old.size(), 5000, 0, 100, 0); // shrinks: the refill cuts the end
    const std::string path = makeFile("a.mp3", old);
    FaultyFileSystem fs;
    bool appended = false;
    // Another program appends after the last check, while the file is refilled.
    fs.beforeCall = [&](const std::string& op) {
        if (op == "copyFileRange" && !appended) {
            appended = true;
            std::ofstream(path, std::ios::binary | std::ios::app) << "late data";
        }
    };
    const RewriteResult result = RewriteFile(fs, path, plan);
    ASSERT_TRUE(appended);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.reason.find("while it was being saved: another program wrote to it"), std::string::npos)
        << result.reason;
    const std::string now = readAll(path);
    EXPECT_EQ(now.substr(now.size() - 9), "late data");
    EXPECT_FALSE(result.keptTempPath.empty()) << "the copy stays for the save to be finished by hand";
}

TEST_F(SafeRewriteTest, OnlyRegularFilesAreOpenedAndNothingBlocks)
{
    const std::string fifo = root_ + "/fifo.mp3";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string folder = root_ + "/folder.mp3";
    fsys::create_directory(folder);
    for (const std::string& path : {fifo, folder}) {
        SCOPED_TRACE(path);
        const RewriteResult result = RewriteFile(FileSystem::posix(), path, RewritePlan{});
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.reason == "cannot be written: not a regular file" ||
                    result.reason == "cannot be opened for writing: Is a directory")
            << result.reason;
        clsID3 tag;
        tag.SetFileName(path);
        EXPECT_FALSE(tag.ReadStatus().ok());
    }
    clsID3 tag;
    tag.SetFileName(fifo);
    EXPECT_EQ(tag.ReadStatus().reason(), "not a regular file");
    EXPECT_TRUE(tempFiles().empty());
}

// --- Never shorten a file below its audio

TEST_F(SafeRewriteTest, TagClaimingMoreThanTheFileIsRefusedByWriteAndStrip)
{
    using namespace test;
    const std::string audio = MpegFrames(40);
    // The size field says 8 MiB; the file holds a few KiB. Also: a tag running into the ID3v1 tag.
    std::string tooLong = Tag(3, Frame(3, "TIT2", Latin1("T")), 16);
    tooLong.replace(6, 4, SyncSafe(8u << 20));
    std::string intoTrailer = Tag(3, Frame(3, "TIT2", Latin1("T")), 16);
    intoTrailer.replace(6, 4, SyncSafe(static_cast<std::uint32_t>(intoTrailer.size() - 10 + audio.size() + 64)));
    for (const std::string& head : {tooLong, intoTrailer}) {
        const std::string old = head + audio + Id3v1("T", "", "", "", "", 1, 12);
        const std::string path = makeFile("a.mp3", old);
        for (const bool strip : {true, false}) {
            SCOPED_TRACE(std::string(&head == &tooLong ? "past the end" : "into the trailer") +
                         (strip ? ", strip" : ", write"));
            clsID3 tag;
            tag.SetFileName(path);
            tag.Title = u"New";
            EXPECT_FALSE(strip ? tag.DeleteID3Tags() : tag.UpdateID3Tags());
            EXPECT_NE(tag.LastError().find("writing it would cut the audio, so it was left unchanged"),
                      std::string::npos)
                << tag.LastError();
            EXPECT_TRUE(sameBytes(readAll(path), old));
        }
    }
    EXPECT_EQ(CheckAudioKept(10, 10, 10), "");
    EXPECT_EQ(CheckAudioKept(0, 0, 0), "");
    EXPECT_TRUE(tempFiles().empty());
}

// --- No out-of-space halfway

TEST_F(SafeRewriteTest, NoRoomFoundWhileExtendingLeavesTheFileAsItWas)
{
    const std::string old = randomBytes(20000, 32);
    const RewritePlan plan = replaceEnds(old.size(), 0, 0, 70000, 0);
    auto configure = [](FaultyFileSystem& fs) { fs.failEvery("fallocate", EOPNOTSUPP); };
    FaultyFileSystem clean;
    configure(clean);
    ASSERT_TRUE(RewriteFile(clean, makeFile("a.mp3", old), plan).ok);
    const Steps steps(clean);
    ASSERT_GE(steps.firstOriginalWrite, 0);
    for (const int k : {steps.firstOriginalWrite + 1, steps.firstOriginalWrite + 2}) {
        SCOPED_TRACE("the zeros that claim the room fail from call " + std::to_string(k));
        const std::string path = makeFile("a.mp3", old);
        const struct stat before = statOf(path);
        FaultyFileSystem fs;
        configure(fs);
        // Running out of space while the file grows: every write to it fails from here on.
        fs.beforeCall = [&](const std::string&) {
            if (fs.calls() + 1 == k)
                fs.failEvery("pwrite", ENOSPC);
        };
        const RewriteResult result = RewriteFile(fs, path, plan);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.reason.find("No space left on device"), std::string::npos) << result.reason;
        EXPECT_NE(result.reason.find("the file is unchanged"), std::string::npos) << result.reason;
        const Snapshot after(path);
        EXPECT_TRUE(sameBytes(after.content, old));
        EXPECT_TRUE(sameTime(after.st.st_mtim, before.st_mtim));
        EXPECT_TRUE(tempFiles().empty());
    }
}

// --- Recoverable at every instant

// Runs the rewrite in a child that dies (as by kill -9) just before call k; true if it died.
bool crashAt(const std::string& path, const RewritePlan& plan, int k, bool plain)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        FaultyFileSystem fs;
        fs.noKernelCopy = plain;
        fs.maxTransfer = 8192;
        fs.beforeCall = [&](const std::string&) {
            if (fs.calls() + 1 == k)
                ::_exit(9);
        };
        RewriteFile(fs, path, plan);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 9;
}

TEST_F(SafeRewriteTest, KilledAtAnyStepTheNextRunFinishesOrUndoesTheSave)
{
    const std::string old = randomBytes(60000, 33);
    for (const bool plain : {false, true}) {
        for (const RewritePlan& plan :
             {replaceEnds(old.size(), 500, 128, 9000, 300), replaceEnds(old.size(), 9000, 300, 500, 0)}) {
            const std::string expected = expectedContent(old, plan);
            FaultyFileSystem clean;
            clean.noKernelCopy = plain;
            clean.maxTransfer = 8192;
            ASSERT_TRUE(RewriteFile(clean, makeFile("a.mp3", old), plan).ok);
            const Steps steps(clean);
            const int n = clean.calls();
            int completed = 0, undone = 0;
            for (int k = 1; k <= n; ++k) {
                SCOPED_TRACE((plain ? "plain, " : "kernel, ") + std::to_string(plan.head.size()) +
                             "-byte head, killed before call " + std::to_string(k) + " of " + std::to_string(n) + " (" +
                             clean.log()[k - 1] + ")");
                const std::string path = makeFile("a.mp3", old);
                const struct stat before = statOf(path);
                ASSERT_TRUE(crashAt(path, plan, k, plain));
                // Whatever is left in the journal names its file, or holds nothing of it yet.
                for (const PendingSave& save : ListPendingSaves(FileSystem::posix())) {
                    EXPECT_EQ(save.inode, before.st_ino);
                    if (k > steps.temporaryFlush) {
                        EXPECT_TRUE(ReadPendingSave(FileSystem::posix(), save.copyPath).has_value());
                    }
                }
                const std::vector<std::string> notes = meetAgain(path, k % 2 != 0);
                const Snapshot snap(path);
                ASSERT_TRUE(snap.content == old || snap.content == expected);
                EXPECT_EQ(snap.st.st_ino, before.st_ino);
                EXPECT_EQ(snap.st.st_mode, before.st_mode);
                EXPECT_TRUE(sameTime(snap.st.st_mtim, before.st_mtim));
                if (k > steps.removal + 1) {
                    EXPECT_TRUE(sameBytes(snap.content, expected));
                    EXPECT_TRUE(notes.empty()); // the save had ended
                } else if (k > steps.reservation) {
                    EXPECT_TRUE(sameBytes(snap.content, expected)) << "the original was touched: only new will do";
                    ASSERT_EQ(notes.size(), 1u);
                    EXPECT_NE(notes[0].find(path + ": an interrupted save "), std::string::npos) << notes[0];
                    ++completed;
                } else if (!notes.empty()) {
                    ++undone;
                }
                EXPECT_TRUE(tempFiles().empty());
                clearTemp();
            }
            EXPECT_GT(completed, 3);
            EXPECT_GT(undone, 3);
        }
    }
}

TEST_F(SafeRewriteTest, ReusedCopiesWriteEveryFileAndLeaveNothing)
{
    const std::vector<std::size_t> sizes = {90000, 20000, 60000};
    std::vector<std::string> paths, olds;
    std::vector<struct stat> befores;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        olds.push_back(randomBytes(sizes[i], 50 + static_cast<unsigned>(i)));
        paths.push_back(makeFile("r" + std::to_string(i) + ".mp3", olds.back()));
        befores.push_back(statOf(paths.back()));
    }
    CopyReuse reuse(FileSystem::posix());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const RewritePlan plan = replaceEnds(sizes[i], 100, 10, 700, 128);
        const RewriteResult result = RewriteFile(FileSystem::posix(), paths[i], plan);
        ASSERT_TRUE(result.ok) << result.reason;
        expectWritten(Snapshot(paths[i]), befores[i], expectedContent(olds[i], plan));
        // Kept for the next save, but never as a save to finish.
        const std::vector<PendingSave> kept = ListPendingSaves(FileSystem::posix());
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_FALSE(ReadPendingSave(FileSystem::posix(), kept[0].copyPath).has_value());
    }
    // Another run that meets the file removes the kept copy without a word; the
    // next save then makes a copy of its own.
    {
        RewriteSession other(FileSystem::posix(), paths.back());
        ASSERT_TRUE(other.isOpen()) << other.error();
        EXPECT_TRUE(other.notes().empty());
        EXPECT_TRUE(tempFiles().empty());
    }
    const RewritePlan plan = replaceEnds(olds[0].size(), 100, 10, 50, 0);
    const std::string written = readAll(paths[0]);
    ASSERT_TRUE(RewriteFile(FileSystem::posix(), paths[0], replaceEnds(written.size(), 700, 128, 50, 0)).ok);
    EXPECT_EQ(reuse.release(), "");
    EXPECT_TRUE(tempFiles().empty());
}

// A save on a reused copy (longer than it needs) killed before call k.
bool crashOnReusedCopyAt(const std::string& warm, const std::string& path, const RewritePlan& plan, int k,
                         int* calls = nullptr)
{
    int pipeFd[2];
    if (::pipe(pipeFd) != 0)
        return false;
    const pid_t pid = ::fork();
    if (pid == 0) {
        CopyReuse reuse(FileSystem::posix());
        const std::string w = readAll(warm);
        if (!RewriteFile(FileSystem::posix(), warm, replaceEnds(w.size(), 0, 0, 10, 0)).ok)
            ::_exit(1);
        FaultyFileSystem fs;
        fs.maxTransfer = 8192;
        fs.beforeCall = [&](const std::string&) {
            if (fs.calls() + 1 == k)
                ::_exit(9);
        };
        const bool ok = RewriteFile(fs, path, plan).ok;
        const int n = fs.calls();
        (void)!::write(pipeFd[1], &n, sizeof n);
        ::_exit(ok ? 0 : 1);
    }
    ::close(pipeFd[1]);
    int n = 0;
    if (::read(pipeFd[0], &n, sizeof n) == sizeof n && calls)
        *calls = n;
    ::close(pipeFd[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == (k > 0 ? 9 : 0);
}

TEST_F(SafeRewriteTest, KilledOnAReusedCopyTheNextRunFinishesOrUndoesTheSave)
{
    const std::string old = randomBytes(60000, 34);
    const RewritePlan plan = replaceEnds(old.size(), 500, 128, 900, 300);
    const std::string expected = expectedContent(old, plan);
    const std::string warm = makeFile("warm.mp3", randomBytes(150000, 35));
    int n = 0;
    ASSERT_TRUE(crashOnReusedCopyAt(warm, makeFile("a.mp3", old), plan, 0, &n));
    ASSERT_TRUE(sameBytes(readAll(root_ + "/a.mp3"), expected));
    ASSERT_GT(n, 10);
    clearTemp(); // the copy kept when that run ended, named after a file now replaced
    int completed = 0, untouched = 0;
    for (int k = 1; k <= n; ++k) {
        SCOPED_TRACE("killed before call " + std::to_string(k) + " of " + std::to_string(n));
        const std::string path = makeFile("a.mp3", old);
        const struct stat before = statOf(path);
        ASSERT_TRUE(crashOnReusedCopyAt(warm, path, plan, k));
        const std::vector<std::string> notes = meetAgain(path, k % 2 != 0);
        const Snapshot snap(path);
        ASSERT_TRUE(snap.content == old || snap.content == expected);
        EXPECT_EQ(snap.st.st_ino, before.st_ino);
        EXPECT_TRUE(sameTime(snap.st.st_mtim, before.st_mtim));
        (snap.content == old ? untouched : completed) += 1;
        // What is left is a spent copy named after one of the two files: the next
        // run that meets that file removes it.
        for (const PendingSave& save : ListPendingSaves(FileSystem::posix()))
            EXPECT_TRUE(save.inode == statOf(warm).st_ino || save.inode == before.st_ino);
        EXPECT_TRUE(RewriteSession(FileSystem::posix(), warm).isOpen());
        EXPECT_TRUE(RewriteSession(FileSystem::posix(), path).isOpen());
        EXPECT_TRUE(tempFiles().empty());
        clearTemp();
    }
    EXPECT_GT(completed, 3);
    EXPECT_GT(untouched, 3);
}

TEST_F(SafeRewriteTest, RecoveryLeavesAChangedOrMissingFileAloneAndSaysWhy)
{
    const std::string old = randomBytes(50000, 34);
    const RewritePlan plan = replaceEnds(old.size(), 100, 0, 3000, 0);
    FaultyFileSystem clean;
    clean.noKernelCopy = true;
    clean.maxTransfer = 8192;
    ASSERT_TRUE(RewriteFile(clean, makeFile("a.mp3", old), plan).ok);
    const Steps steps(clean);
    for (const char* what : {"grown", "removed", "busy"}) {
        SCOPED_TRACE(what);
        const std::string path = makeFile("a.mp3", old);
        ASSERT_TRUE(crashAt(path, plan, steps.firstOriginalWrite + 2, true));
        const std::string damaged = readAll(path);
        int kept = 0;
        std::vector<std::string> notes;
        if (std::string(what) == "grown") {
            std::ofstream(path, std::ios::binary | std::ios::app) << std::string(9000, 'x');
            notes = RecoverPendingSaves(FileSystem::posix(), nullptr, {}, &kept);
            EXPECT_EQ(readAll(path).size(), damaged.size() + 9000);
        } else if (std::string(what) == "removed") {
            ::unlink(path.c_str());
            notes = RecoverPendingSaves(FileSystem::posix(), nullptr, {}, &kept);
        } else {
            // A save still running holds its copy: nothing is done behind its back.
            const auto saves = ListPendingSaves(FileSystem::posix());
            ASSERT_EQ(saves.size(), 1u);
            const int fd = ::open(saves[0].copyPath.c_str(), O_RDONLY);
            ASSERT_EQ(::flock(fd, LOCK_EX), 0);
            notes = RecoverPendingSaves(FileSystem::posix(), nullptr, {}, &kept);
            EXPECT_TRUE(notes.empty());
            EXPECT_EQ(kept, 0);
            ::close(fd);
            EXPECT_TRUE(sameBytes(readAll(path), damaged));
            // Only files under the folder asked for.
            notes = RecoverPendingSaves(FileSystem::posix(), nullptr, root_ + "/elsewhere", &kept);
            EXPECT_TRUE(notes.empty());
            notes = RecoverPendingSaves(FileSystem::posix(), nullptr, root_ + "/", &kept);
            EXPECT_TRUE(sameBytes(readAll(path), expectedContent(old, plan)));
            ASSERT_EQ(notes.size(), 1u);
            EXPECT_EQ(notes[0], path + ": an interrupted save was completed; the file holds its new tags");
            continue;
        }
        EXPECT_EQ(kept, 1);
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_EQ(notes[0].rfind(path + ": an interrupted save could not be finished (", 0), 0u) << notes[0];
        const auto saves = ListPendingSaves(FileSystem::posix());
        ASSERT_EQ(saves.size(), 1u);
        EXPECT_NE(notes[0].find("its new content is kept in " + saves[0].copyPath), std::string::npos) << notes[0];
        EXPECT_TRUE(sameBytes(keptContent(saves[0].copyPath), expectedContent(old, plan)));
        clearTemp();
    }
}

} // namespace
} // namespace brindle
