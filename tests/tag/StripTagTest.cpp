// Stripping every tag: only the audio bytes stay, and the object is emptied.
#include "Mp3Builder.h"
#include "ReadOnlyFile.h"
#include "tag/clsID3.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace brindle;
using namespace brindle::test;
using namespace std::string_literals;

namespace {

class StripTag : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("song.mp3");
    std::string audio = MpegFrames(6);
    clsID3 tag;

    void load(const std::string& bytes)
    {
        WriteFile(path, bytes);
        tag.SetFileName(path);
    }
    std::string bytes() const { return ReadFile(path); }
    void strip() { ASSERT_TRUE(tag.DeleteID3Tags()) << tag.LastError(); }
};

} // namespace

TEST_F(StripTag, EveryTagGoesAndTheObjectIsEmptied)
{
    std::string frames = Frame(3, "TIT2", Latin1("Title")) + Frame(3, "WOAR", "http://a/") +
                         Frame(3, "APIC", "\0image/png\0\x03\0png"s) + Frame(3, "PRIV", "private");
    load(Tag(3, frames, 100) + audio + Lyrics3v2({{"IND", "01"}, {"LYR", "[00:01]la"}, {"EAL", "Album"}}) +
         Id3v1("Title", "Artist", "Album", "1999", "c", 4, 17));
    ASSERT_TRUE(tag.ID3v1Exists() && tag.ID3v2Exists() && tag.Lyrics3v2Exists() && tag.LyricsTimeStamps());
    const double length = tag.Length();
    ASSERT_GT(length, 0);
    struct timespec times[2] = {{1000000000, 111111111}, {1100000000, 222222222}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    auto oldPictures = tag.AttachedPictures;

    strip();
    struct stat after {}; // before anything reads the file again
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(bytes(), audio);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, 1100000000);
    EXPECT_EQ(after.st_mtim.tv_nsec, 222222222);
    EXPECT_EQ(after.st_atim.tv_sec, 1000000000);
    EXPECT_EQ(after.st_atim.tv_nsec, 111111111);

    EXPECT_EQ(tag.FileName(), path);
    EXPECT_EQ(tag.Title, u"");
    EXPECT_EQ(tag.Artist, u"");
    EXPECT_EQ(tag.Year, u"");
    EXPECT_EQ(tag.TrackNumber, u"");
    EXPECT_EQ(tag.GenreID, 255);
    EXPECT_EQ(tag.ArtistURL->Count(), 0);
    EXPECT_EQ(tag.AttachedPictures->Count(), 0);
    EXPECT_NE(tag.AttachedPictures, oldPictures);
    EXPECT_EQ(oldPictures->Count(), 1) << "the caller's old list is replaced, not emptied";
    EXPECT_FALSE(tag.ID3v1Exists() || tag.ID3v2Exists() || tag.Lyrics3v1Exists() || tag.Lyrics3v2Exists());
    EXPECT_FALSE(tag.LyricsTimeStamps());
    EXPECT_FALSE(tag.TagUnsynchronised());
    EXPECT_EQ(tag.ID3RevisionV2(), 3);
    // The audio was not touched, nor are its properties.
    EXPECT_EQ(tag.Length(), length);
}

TEST_F(StripTag, FooterAndUnsynchronisationFlagOfTheRemovedTag)
{
    std::string frames = Frame(4, "TIT2", Latin1("T"));
    load(Tag(4, frames, 0, 0x90) + Footer(4, frames.size(), 0x90) + audio);
    strip();
    EXPECT_EQ(bytes(), audio);
    EXPECT_EQ(tag.ID3RevisionV2(), 4);
    EXPECT_TRUE(tag.TagUnsynchronised());
}

TEST_F(StripTag, Lyrics3v1WithoutId3v1)
{
    load(audio + Lyrics3v1("words"));
    ASSERT_TRUE(tag.Lyrics3v1Exists());
    strip();
    EXPECT_EQ(bytes(), audio);
    EXPECT_EQ(tag.ID3RevisionV2(), 0);
}

TEST_F(StripTag, Lyrics3MarkerWithoutItsBlockStays)
{
    // The size points at bytes that are not "LYRICSBEGIN": they belong to the audio.
    std::string bogus = "LYRICSBEGXN"
                        "IND0000200"
                        "000021"
                        "LYRICS200";
    std::string v2 = Tag(3, Frame(3, "TIT2", Latin1("T")), 10);
    load(v2 + audio + bogus + Id3v1("T", "", "", "", "", -1, 255));
    strip();
    EXPECT_EQ(bytes(), audio + bogus);
}

TEST_F(StripTag, FileWithoutTagsIsUnchanged)
{
    load(audio);
    strip();
    EXPECT_EQ(bytes(), audio);
    EXPECT_EQ(tag.ID3RevisionV2(), 0);
}

TEST_F(StripTag, FailuresAreReportedAndChangeNothing)
{
    tag.SetFileName(dir.file("absent.mp3"));
    tag.Title = std::u16string(3, u'x');
    EXPECT_FALSE(tag.DeleteID3Tags());
    EXPECT_FALSE(tag.LastError().empty());
    EXPECT_EQ(tag.Title, u"") << "the object is emptied whatever happens to the file";
    EXPECT_FALSE(std::filesystem::exists(dir.file("absent.mp3")));

    std::string old = Tag(3, Frame(3, "TIT2", Latin1("T")), 10) + audio;
    load(old);
    ReadOnlyFile readOnly(path);
    if (!readOnly.ok())
        GTEST_SKIP() << "cannot make a file unwritable here";
    EXPECT_FALSE(tag.DeleteID3Tags());
    // The caller names the file; the reason says what failed, once.
    EXPECT_EQ(tag.LastError().rfind("cannot be opened for writing: ", 0), 0u) << tag.LastError();
    EXPECT_EQ(tag.LastError().find(path), std::string::npos) << tag.LastError();
    EXPECT_EQ(bytes(), old);
    tag.SetFileName(path);
    tag.Title = u"New";
    EXPECT_FALSE(tag.UpdateID3Tags());
    EXPECT_EQ(bytes(), old);
}
