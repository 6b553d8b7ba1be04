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

TEST_F(ReadTag, EveryVersionAndEncoding)
{
    // 2.2: three-letter frames, PIC, COM.
    std::string v22 = Frame(2, "TT2", Latin1("Old")) + Frame(2, "PIC", std::string("\0PNG\3cap\0data", 13)) +
                      Frame(2, "COM", CommentData(0, "eng", u"", u"c22"));
    load(Tag(2, v22) + audio);
    EXPECT_EQ(tag.ID3RevisionV2(), 2);
    EXPECT_EQ(tag.Title, u"Old");
    EXPECT_EQ(tag.Comments, u"c22");
    ASSERT_EQ(tag.AttachedPictures->Count(), 1);
    EXPECT_EQ(tag.AttachedPictures->Item(1), std::string("PNG\3cap\0data", 12));

    // 2.4: UTF-16 BE, UTF-8, UTF-16 with BOM; TDRC and TDOR give the year.
    std::string v24 = Frame(4, "TIT2", Utf16BE(u"\u041F\u0435\u0441\u043D\u044F")) +
                      Frame(4, "TPE1", Utf8("Bj\xC3\xB6rk")) + Frame(4, "TALB", Utf16(u"\u00C5lbum")) +
                      Frame(4, "TDRC", Latin1("2004-05-06")) + Frame(4, "TDOR", Latin1("1999-01")) +
                      Frame(4, "COMM", CommentData(2, "deu", u"", u"Gr\u00FC\u00DFe")) +
                      Frame(4, "USLT", CommentData(1, "eng", u"", u"la la"));
    load(Tag(4, v24, 64) + audio);
    EXPECT_EQ(tag.ID3RevisionV2(), 4);
    EXPECT_EQ(tag.Title, u"\u041F\u0435\u0441\u043D\u044F");
    EXPECT_EQ(tag.Artist, u"Bj\u00F6rk");
    EXPECT_EQ(tag.Album, u"\u00C5lbum");
    EXPECT_EQ(tag.Year, u"2004");
    EXPECT_EQ(tag.OriginalReleaseYear, u"1999");
    EXPECT_EQ(tag.Comments, u"Gr\u00FC\u00DFe"); // big-endian comment reads after the language
    EXPECT_EQ(tag.Lyrics, u"la la");

    // Encoding byte 3 is no encoding in 2.3: it stays as the first character.
    load(Tag(3, Frame(3, "TIT2", Utf8("abc"))) + audio);
    EXPECT_EQ(tag.Title, u"\u0003abc");
}

TEST_F(ReadTag, CommentsLyricsAndLists)
{
    std::string frames = Frame(3, "COMM", CommentData(0, "eng", u"", u"plain")) +
                         Frame(3, "COMM", CommentData(0, "eng", u"iTunNORM", u"described")) +
                         Frame(3, "WOAR", "http://one") + Frame(3, "WOAR", "http://two") +
                         Frame(3, "WOAR", "http://three") + Frame(3, "WCOM", "http://shop") +
                         Frame(3, "WCOP", "http://legal") + Frame(3, "TXXX", Latin1("x\0y"));
    load(Tag(3, frames) + audio);
    EXPECT_EQ(tag.Comments, u"plain");
    ASSERT_EQ(tag.ArtistURL->Count(), 3);
    EXPECT_EQ(tag.ArtistURL->Item(3), "http://three");
    EXPECT_EQ(tag.CommercialInfo->Item(1), "http://shop");
    EXPECT_EQ(tag.CopyrightInfo, u"http://legal");

    // Two undescribed comments: the last wins; text is cut at the first NUL.
    load(Tag(3, Frame(3, "COMM", CommentData(0, "eng", u"", u"first")) +
                    Frame(3, "COMM", std::string("\0eng\0second\0third", 17))) +
         audio);
    EXPECT_EQ(tag.Comments, u"second");
}

TEST_F(ReadTag, GenreTrackAndDiscParsing)
{
    struct Case {
        const char* tcon;
        int id;
        std::u16string genre;
    };
    for (const Case& c : {Case{"(17)Rock", 17, u"Rock"}, Case{"(RX)", -1, u""}, Case{"(CR)Cover", -2, u"Cover"},
                          Case{"Rock", 255, u"Rock"}, Case{"17", 255, u"17"}, Case{"(4)(9)Dance", 4, u"(9)Dance"},
                          Case{"(abc)x", 255, u"x"}, Case{"(17", 255, u"(17"}}) {
        load(Tag(3, Frame(3, "TCON", Latin1(c.tcon))) + audio);
        EXPECT_EQ(tag.GenreID, c.id) << c.tcon;
        EXPECT_EQ(tag.Genre, c.genre) << c.tcon;
    }
    struct Parts {
        const char* text;
        std::u16string number, total;
    };
    for (const Parts& p :
         {Parts{"3/12", u"3", u"12"}, Parts{"3", u"3", u""}, Parts{"a/b", u"0", u"0"}, Parts{"1/2/3", u"1", u""},
          Parts{"", u"", u""}, Parts{"/5", u"", u"5"}, Parts{"+3/12", u"+3", u"12"}}) {
        load(Tag(3, Frame(3, "TRCK", Latin1(p.text)) + Frame(3, "TPOS", Latin1(p.text))) + audio);
        EXPECT_EQ(tag.TrackNumber, p.number) << p.text;
        EXPECT_EQ(tag.TracksTotal, p.total) << p.text;
        EXPECT_EQ(tag.DiscNumber, p.number) << p.text;
        EXPECT_EQ(tag.DiscsTotal, p.total) << p.text;
    }
}

TEST_F(ReadTag, ContainerFlags)
{
    // 2.3 with whole-tag unsynchronisation: FF 00 pairs are undone before frames are parsed.
    std::string title = Frame(3, "TIT2", Latin1("a\xFF\xE0z"));
    load(Tag(3, Unsynchronise(title), 0, 0x80) + audio);
    EXPECT_TRUE(tag.TagUnsynchronised());
    EXPECT_EQ(tag.Title, u"a\u00FF\u00E0z");

    // 2.4: unsynchronisation is per frame only.
    std::string data = Latin1("b\xFF\xE0y");
    load(Tag(4, Frame(4, "TIT2", Unsynchronise(data), 0, 0x02) + Frame(4, "TPE1", Latin1("\xFF\x00k")), 0, 0x80) +
         audio);
    EXPECT_EQ(tag.Title, u"b\u00FF\u00E0y");
    EXPECT_EQ(tag.Artist, std::u16string(u"\u00FF", 1)); // stored as is: FF NUL k cut at the NUL

    // Extended headers: 2.4 syncsafe size of the whole header, 2.3 size after its 4 bytes.
    load(Tag(4, Frame(4, "TIT2", Latin1("ext4")), 0, 0x40, SyncSafe(12) + std::string(8, '\0')) + audio);
    EXPECT_EQ(tag.Title, u"ext4");
    load(Tag(3, Frame(3, "TIT2", Latin1("ext3")), 0, 0x40, BigEndian(6, 4) + std::string(6, '\0')) + audio);
    EXPECT_EQ(tag.Title, u"ext3");

    // A compressed frame yields an empty value; a 2.2 tag with the compression flag is not read.
    load(Tag(3, Frame(3, "TIT2", Latin1("zip"), 0, 0x80) + Frame(3, "TPE1", Latin1("kept"))) + audio);
    EXPECT_EQ(tag.Title, u"");
    EXPECT_EQ(tag.Artist, u"kept");
    load(Tag(2, Frame(2, "TT2", Latin1("hidden")), 0, 0x40) + audio);
    EXPECT_TRUE(tag.ID3v2Exists());
    EXPECT_EQ(tag.Title, u"");
}

TEST_F(ReadTag, WalkStopsAtPaddingAndForeignMarker)
{
    load(Tag(3, Frame(3, "TIT2", Latin1("t")) + "MP3ext V3.3.19(unicode)" + std::string(40, '\0')) + audio);
    EXPECT_EQ(tag.Title, u"t");
    // A frame size that runs past the tag ends the walk without reading beyond it.
    std::string bad = Frame(3, "TIT2", Latin1("ok")) + "TPE1" + BigEndian(100000, 4) + std::string(2, '\0') +
                      Latin1("cut");
    load(Tag(3, bad) + audio);
    EXPECT_EQ(tag.Title, u"ok");
    EXPECT_EQ(tag.Artist, u"cut");
}

TEST_F(ReadTag, TagLargerThanTheFileIsReadAsFarAsItGoes)
{
    std::string t = Tag(3, Frame(3, "TIT2", Latin1("huge")));
    t.replace(6, 4, SyncSafe(256u * 1024 * 1024 - 1));
    load(t);
    EXPECT_TRUE(tag.ID3v2Exists());
    EXPECT_EQ(tag.Title, u"huge");
    EXPECT_EQ(tag.Length(), 0);
}

TEST_F(ReadTag, Lyrics3Blocks)
{
    std::string id3v1 = Id3v1("", "", "", "", "", -1, 255);
    load(audio + Lyrics3v2({{"IND", "11"}, {"LYR", "[00:12]Hello"}}) + id3v1);
    EXPECT_TRUE(tag.Lyrics3v2Exists());
    EXPECT_EQ(tag.Lyrics, u"Hello");
    EXPECT_EQ(tag.Stream().audioBytes, static_cast<std::int32_t>(audio.size() - 5));

    load(audio + Lyrics3v2({{"IND", "10"}, {"LYR", "[00:12]Hello[x:1]"}}) + id3v1);
    EXPECT_EQ(tag.Lyrics, u"[00:12]Hello[x:1]");

    load(audio + Lyrics3v2({{"LYR", "line1[CR][LF]line2"},
                            {"ETT", "Long title"},
                            {"EAR", "Artist"},
                            {"EAL", "Album"},
                            {"AUT", "Writer"}}));
    EXPECT_EQ(tag.Lyrics, u"line1\r\nline2");
    EXPECT_EQ(tag.Title, u"Long title");
    EXPECT_EQ(tag.Artist, u"Artist");
    EXPECT_EQ(tag.Album, u"Album");
    EXPECT_EQ(tag.Lyricist, u"Writer");

    // ID3v2 fields win over Lyrics3.
    load(Tag(3, Frame(3, "TIT2", Latin1("v2 title"))) + audio + Lyrics3v2({{"ETT", "l3 title"}}) + id3v1);
    EXPECT_EQ(tag.Title, u"v2 title");

    load(audio + Lyrics3v1("la la") + id3v1);
    EXPECT_TRUE(tag.Lyrics3v1Exists());
    EXPECT_EQ(tag.Lyrics, u"la la");

    // A size field that points at no start marker: flag set, nothing read, audio end unchanged.
    std::string broken = Lyrics3v2({{"LYR", "text"}});
    broken[0] = 'X';
    load(audio + broken + id3v1);
    EXPECT_TRUE(tag.Lyrics3v2Exists());
    EXPECT_EQ(tag.Lyrics, u"");

    // A field whose length digits are cut off ends the walk.
    std::string cut = "LYRICSBEGINLYR00004textETT0";
    load(audio + cut + "000027LYRICS200");
    EXPECT_EQ(tag.Lyrics, u"text");
    EXPECT_EQ(tag.Title, u"");
}

TEST_F(ReadTag, Id3v1Details)
{
    load(audio + Id3v1("Song" + std::string(26, ' '), std::string("AB\0CD", 5), "", "",
                       "thirty byte comment here......", -1, 255));
    EXPECT_EQ(tag.Title, u"Song");
    EXPECT_EQ(tag.Artist, u"AB");
    EXPECT_EQ(tag.Comments, u"thirty byte comment here......");
    EXPECT_EQ(tag.TrackNumber, u"");
    EXPECT_EQ(tag.GenreID, 255);
    // An ID3v2 track wins over the ID3v1.1 track byte; track byte 0 means ID3v1.0.
    load(Tag(3, Frame(3, "TRCK", Latin1("9"))) + audio + Id3v1("", "", "", "", "", 7, 1));
    EXPECT_EQ(tag.TrackNumber, u"9");
    load(audio + Id3v1("", "", "", "", "", 0, 1));
    EXPECT_EQ(tag.TrackNumber, u"");
}
