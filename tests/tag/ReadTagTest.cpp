// Reading: ID3v2 of every version, ID3v1, Lyrics3 and how they merge.
#include "Mp3Builder.h"
#include "tag/TextCodec.h"
#include "tag/clsID3.h"

#include <gtest/gtest.h>

using namespace brindle;
using namespace brindle::test;

namespace {

class ReadTag : public ::testing::Test {
protected:
    TempDir dir;
    clsID3 tag;
    std::string audio = MpegFrames(20);

    void load(const std::string& bytes)
    {
        std::string path = dir.file("t.mp3");
        WriteFile(path, bytes);
        tag.SetFileName(path);
    }
};

} // namespace

TEST_F(ReadTag, Id3v1OnlyFillsEveryField)
{
    load(audio + Id3v1("Song", "Singer", "Record", "1999", "nice", 7, 17));
    EXPECT_FALSE(tag.ID3v2Exists());
    EXPECT_TRUE(tag.ID3v1Exists());
    EXPECT_EQ(tag.ID3RevisionV2(), 3);
    EXPECT_EQ(tag.Title, u"Song");
    EXPECT_EQ(tag.Artist, u"Singer");
    EXPECT_EQ(tag.Album, u"Record");
    EXPECT_EQ(tag.Year, u"1999");
    EXPECT_EQ(tag.Comments, u"nice");
    EXPECT_EQ(tag.TrackNumber, u"7");
    EXPECT_EQ(tag.GenreID, 17);
}

TEST_F(ReadTag, Id3v2WinsOverId3v1AndOtherBlocksGenre)
{
    std::string frames = Frame(3, "TIT2", Latin1("Two")) + Frame(3, "TCON", Latin1("(12)")) +
                         Frame(3, "COMM", CommentData(0, "eng", u"desc", u"described"));
    load(Tag(3, frames, 100) + audio + Id3v1("One", "", "", "", "v1 comment", -1, 17));
    EXPECT_EQ(tag.Title, u"Two");
    EXPECT_EQ(tag.Comments, u"v1 comment"); // no undescribed comment in ID3v2
    EXPECT_EQ(tag.GenreID, 17);             // 12 does not block the ID3v1 genre
}

TEST_F(ReadTag, UnreadableFileGivesResetValues)
{
    tag.SetFileName(dir.file("missing.mp3"));
    EXPECT_EQ(tag.Title, u"");
    EXPECT_EQ(tag.GenreID, 255);
    EXPECT_EQ(tag.AttachedPictures->Count(), 0);
    EXPECT_EQ(tag.ID3RevisionV2(), 3);
    EXPECT_FALSE(tag.ID3v2Exists());
    clsID3 fresh;
    EXPECT_EQ(fresh.GenreID, 0);
}
