// Writing: the ID3v2 tag edited frame by frame, and the trailing tags rebuilt.
#include "Mp3Builder.h"
#include "tag/TextCodec.h"
#include "tag/TrailingTags.h"
#include "tag/clsID3.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace brindle;
using namespace brindle::test;
using namespace std::string_literals;

namespace {

std::string text(int version, std::string_view id, std::string_view value) { return Frame(version, id, Latin1(value)); }
std::string comm(int version, std::string_view id, std::string_view value)
{
    return Frame(version, id, "\0eng\0"s + std::string(value));
}
std::string noGenre(int version) { return text(version, version < 3 ? "TCO" : "TCON", "(255)"); }

class WriteTag : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("song.mp3");
    std::string audio = MpegFrames(4);
    clsID3 tag;

    void load(const std::string& bytes)
    {
        WriteFile(path, bytes);
        tag.SetFileName(path);
    }
    std::string bytes() const { return ReadFile(path); }
    void write() { ASSERT_TRUE(tag.UpdateID3Tags()) << tag.LastError(); }
};

} // namespace

TEST_F(WriteTag, FileWithoutTagGetsVersion3TagInTableOrder)
{
    load(audio);
    tag.Comments = u"Comment";
    tag.Album = u"Album";
    tag.BeatsPerMinute = u"120";
    tag.Composer = u"Composer";
    tag.GenreID = 17;
    tag.Genre = u"Rock";
    tag.Copyright = u"(c) Someone";
    tag.EncodedBy = u"Encoder";
    tag.Lyricist = u"Lyricist";
    tag.Title = u"Title";
    tag.InitialKey = u"Am";
    tag.Languages = u"eng";
    tag.OriginalAlbum = u"Orig Album";
    tag.OriginalFileName = u"orig.mp3";
    tag.OriginalLyricist = u"Orig Lyricist";
    tag.OriginalArtist = u"Orig Artist";
    tag.OriginalReleaseYear = u"1970";
    tag.FileOwner = u"Owner";
    tag.Artist = u"Artist";
    tag.Band = u"Band";
    tag.Conductor = u"Conductor";
    tag.InterpretedBy = u"Remixer";
    tag.DiscNumber = u"1";
    tag.DiscsTotal = u"2";
    tag.Publisher = u"Publisher";
    tag.TrackNumber = u"3";
    tag.TracksTotal = u"12";
    tag.InternetRadioStationName = u"Radio";
    tag.InternetRadioStationOwner = u"Radio Owner";
    tag.ISRC = u"USABC0000001";
    tag.Year = u"2005";
    tag.Lyrics = u"La la la";
    tag.CopyrightInfo = u"http://c.example/";
    tag.AudioURL = u"http://a.example/";
    tag.AudioSourceURL = u"http://s.example/";
    tag.InternetRadioURL = u"http://r.example/";
    tag.PaymentURL = u"http://p.example/";
    tag.PublisherURL = u"http://pub.example/";
    tag.CommercialInfo->Add("http://shop.example/");
    tag.ArtistURL->Add("http://artist.example/1");
    tag.ArtistURL->Add("http://artist.example/2");
    std::string picture = "image/jpeg\0\x03"s + "cover\0"s + "\xFF\xD8\xFF\xE0jpegdata"s;
    tag.AttachedPictures->Add(picture, std::nullopt, std::nullopt, true);
    write();

    std::string frames = Frame(3, "APIC", "\0"s + picture) + comm(3, "COMM", "Comment") + text(3, "TALB", "Album") +
                         text(3, "TBPM", "120") + text(3, "TCOM", "Composer") + text(3, "TCON", "(17)Rock") +
                         text(3, "TCOP", "(c) Someone") + text(3, "TENC", "Encoder") + text(3, "TEXT", "Lyricist") +
                         text(3, "TIT2", "Title") + text(3, "TKEY", "Am") + text(3, "TLAN", "eng") +
                         text(3, "TOAL", "Orig Album") + text(3, "TOFN", "orig.mp3") +
                         text(3, "TOLY", "Orig Lyricist") + text(3, "TOPE", "Orig Artist") + text(3, "TORY", "1970") +
                         text(3, "TOWN", "Owner") + text(3, "TPE1", "Artist") + text(3, "TPE2", "Band") +
                         text(3, "TPE3", "Conductor") + text(3, "TPE4", "Remixer") + text(3, "TPOS", "1/2") +
                         text(3, "TPUB", "Publisher") + text(3, "TRCK", "3/12") + text(3, "TRSN", "Radio") +
                         text(3, "TRSO", "Radio Owner") + text(3, "TSRC", "USABC0000001") + text(3, "TYER", "2005") +
                         comm(3, "USLT", "La la la") + Frame(3, "WCOM", "http://shop.example/") +
                         Frame(3, "WCOP", "http://c.example/") + Frame(3, "WOAF", "http://a.example/") +
                         Frame(3, "WOAR", "http://artist.example/1") + Frame(3, "WOAR", "http://artist.example/2") +
                         Frame(3, "WOAS", "http://s.example/") + Frame(3, "WORS", "http://r.example/") +
                         Frame(3, "WPAY", "http://p.example/") + Frame(3, "WPUB", "http://pub.example/");
    EXPECT_EQ(bytes(), Tag(3, frames, 2048) + audio + Id3v1("Title", "Artist", "Album", "2005", "Comment", 3, 17));
    EXPECT_EQ(tag.ID3RevisionV2(), 3);

    clsID3 back;
    back.SetFileName(path);
    EXPECT_EQ(back.Title, u"Title");
    EXPECT_EQ(back.TracksTotal, u"12");
    EXPECT_EQ(back.ArtistURL->Count(), 2);
    ASSERT_EQ(back.AttachedPictures->Count(), 1);
    EXPECT_EQ(back.AttachedPictures->Item(1), picture);
}

TEST_F(WriteTag, GrowingTitleIsReplacedInPlaceAndPaddingKept)
{
    std::string priv = Frame(3, "PRIV", "owner@example\0\x01\x02\xFF"s, 0x40, 0x00);
    std::string txxx = Frame(3, "TXXX", "\0desc\0value"s);
    std::string before = text(3, "TPE1", "Artist");
    std::string after = priv + txxx + text(3, "TALB", "Album") + noGenre(3);
    load(Tag(3, before + text(3, "TIT2", "Short") + after, 500) + audio);
    tag.Title = u"A considerably longer title";
    write();
    EXPECT_EQ(bytes(), Tag(3, before + text(3, "TIT2", "A considerably longer title") + after, 500) + audio +
                           Id3v1("A considerably longer title", "Artist", "Album", "", "", -1, 255));
}

TEST_F(WriteTag, NewFramesFollowTheOldOnesAndUnknownFramesStay)
{
    std::string priv = Frame(3, "PRIV", "x\0\xFE"s);
    std::string geob = Frame(3, "GEOB", "\0mime\0file\0desc\0data"s, 0x00, 0x40);
    load(Tag(3, geob + text(3, "TIT2", "T") + priv, 10) + audio);
    tag.Artist = u"New Artist";
    write();
    EXPECT_EQ(bytes(), Tag(3, geob + text(3, "TIT2", "T") + priv + noGenre(3) + text(3, "TPE1", "New Artist"), 10) +
                           audio + Id3v1("T", "New Artist", "", "", "", -1, 255));
}

TEST_F(WriteTag, YearFrameFollowsTheVersion)
{
    load(Tag(3, text(3, "TYER", "1999"), 20) + audio);
    tag.Year = u"2001";
    write();
    EXPECT_EQ(bytes(),
              Tag(3, text(3, "TYER", "2001") + noGenre(3), 20) + audio + Id3v1("", "", "", "2001", "", -1, 255));

    // A version 4 tag gets TDRC and keeps the old TYER as it was.
    load(Tag(4, text(4, "TYER", "1999") + noGenre(4), 20) + audio);
    EXPECT_EQ(tag.ID3RevisionV2(), 4);
    tag.Year = u"2005";
    tag.OriginalReleaseYear = u"1980";
    write();
    EXPECT_EQ(bytes(),
              Tag(4, text(4, "TYER", "1999") + noGenre(4) + text(4, "TDOR", "1980") + text(4, "TDRC", "2005"), 20) +
                  audio + Id3v1("", "", "", "2005", "", -1, 255));
    tag.SetFileName(path);
    EXPECT_EQ(tag.Year, u"2005");
}

TEST_F(WriteTag, RecordingDateKeepsMonthAndDayWhileItsYearStands)
{
    load(Tag(4, text(4, "TDRC", "2004-05-06") + text(4, "TIT2", "A") + noGenre(4), 20) + audio);
    ASSERT_EQ(tag.Year, u"2004");
    tag.Title = u"B";
    write();
    EXPECT_EQ(bytes(), Tag(4, text(4, "TDRC", "2004-05-06") + text(4, "TIT2", "B") + noGenre(4), 20) + audio +
                           Id3v1("B", "", "", "2004", "", -1, 255));

    tag.SetFileName(path);
    tag.Year = u"2010";
    write();
    EXPECT_EQ(bytes(), Tag(4, text(4, "TDRC", "2010") + text(4, "TIT2", "B") + noGenre(4), 20) + audio +
                           Id3v1("B", "", "", "2010", "", -1, 255));
}

TEST_F(WriteTag, FramesWithSeveralValuesKeepThemWhileTheFirstStands)
{
    std::string artists = Frame(4, "TPE1",
                                "\x03"
                                "Anna\0Ben\0Cleo"s);
    load(Tag(4, artists + Frame(4, "TCON", Latin1("Rock\0Pop"s)) + text(4, "TIT2", "A"), 20) + audio);
    ASSERT_EQ(tag.Artist, u"Anna");
    tag.Title = u"B";
    write();
    EXPECT_EQ(bytes(),
              Tag(4, text(4, "TPE1", "Anna\0Ben\0Cleo"s) + text(4, "TCON", "Rock\0Pop"s) + text(4, "TIT2", "B"), 20) +
                  audio + Id3v1("B", "Anna", "", "", "", -1, 17));

    tag.SetFileName(path);
    tag.Artist = u"Dora";
    write();
    EXPECT_EQ(bytes().substr(10, 15), text(4, "TPE1", "Dora"));
}

TEST_F(WriteTag, EmptyPropertyRemovesItsFrame)
{
    load(Tag(3, text(3, "TPE1", "A") + text(3, "TIT2", "Gone") + text(3, "TALB", "B") + noGenre(3), 30) + audio);
    tag.Title.clear();
    write();
    EXPECT_EQ(bytes(), Tag(3, text(3, "TPE1", "A") + text(3, "TALB", "B") + noGenre(3), 30) + audio +
                           Id3v1("", "A", "B", "", "", -1, 255));
}

TEST_F(WriteTag, ListFramesTakeTheEntriesInOrderAndSurplusFramesAreCut)
{
    std::string frames = Frame(3, "WCOM", "http://one/") + text(3, "TIT2", "T") + Frame(3, "WCOM", "http://two/") +
                         Frame(3, "WOAR", "http://artist/") + Frame(3, "WCOM", "http://three/") + noGenre(3);
    load(Tag(3, frames, 40) + audio);
    ASSERT_EQ(tag.CommercialInfo->Count(), 3);
    tag.CommercialInfo = std::make_shared<MultiFrameData>();
    tag.CommercialInfo->Add("http://only/");
    tag.ArtistURL->Add("http://artist2/");
    write();
    // The first WCOM receives the entry, the other two go; the second artist URL is
    // new and is appended after the last old frame.
    EXPECT_EQ(bytes(), Tag(3,
                           Frame(3, "WCOM", "http://only/") + text(3, "TIT2", "T") +
                               Frame(3, "WOAR", "http://artist/") + noGenre(3) + Frame(3, "WOAR", "http://artist2/"),
                           40) +
                           audio + Id3v1("T", "", "", "", "", -1, 255));

    // An empty list removes every frame of its kind.
    tag.SetFileName(path);
    tag.ArtistURL->Clear();
    write();
    tag.SetFileName(path);
    EXPECT_EQ(tag.ArtistURL->Count(), 0);
    EXPECT_EQ(tag.CommercialInfo->Count(), 1);
}

TEST_F(WriteTag, CommentsWithADescriptionStayAndOnlyOneUndescribedCommentIsWritten)
{
    std::string described = Frame(3, "COMM", CommentData(0, "deu", u"Notiz", u"bleibt"));
    std::string undescribed = Frame(3, "COMM", CommentData(0, "fra", u"", u"ancien"));
    std::string second = Frame(3, "COMM", CommentData(1, "eng", u"", u"second"));
    load(Tag(3, described + undescribed + text(3, "TIT2", "T") + second + noGenre(3), 8) + audio);
    ASSERT_EQ(tag.Comments, u"second");
    tag.Comments = u"new";
    write();
    EXPECT_EQ(bytes(), Tag(3, described + comm(3, "COMM", "new") + text(3, "TIT2", "T") + noGenre(3), 8) + audio +
                           Id3v1("T", "", "", "", "new", -1, 255));
}

TEST_F(WriteTag, PartOfSetText)
{
    load(Tag(3, text(3, "TRCK", "1/9") + text(3, "TPOS", "1"), 16) + audio);
    tag.TrackNumber = u"3";
    tag.TracksTotal = u"12";
    tag.DiscNumber = u"2";
    tag.DiscsTotal.clear();
    write();
    EXPECT_EQ(bytes(), Tag(3, text(3, "TRCK", "3/12") + text(3, "TPOS", "2") + noGenre(3), 16) + audio +
                           Id3v1("", "", "", "", "", 3, 255));

    // A total without a number gives no frame at all (and nothing for ID3v1 to hold).
    tag.SetFileName(path);
    tag.TrackNumber.clear();
    tag.TracksTotal = u"12";
    write();
    EXPECT_EQ(bytes(), Tag(3, text(3, "TPOS", "2") + noGenre(3), 16) + audio);
}

TEST_F(WriteTag, GenreText)
{
    struct Case {
        std::int32_t id;
        std::u16string genre;
        std::string written;
    } cases[] = {
        {17, u"Rock", "(17)Rock"}, {255, u"", "(255)"},           {255, u"Darkstep", "Darkstep"},
        {12, u"Mine", "Mine"},     {12, u"Other", "Other"},       {17, u"other", "(17)"},
        {-1, u"", "(RX)"},         {-2, u" Live ", "(CR) Live "}, {4, u"unknown", "(4)"},
    };
    for (const auto& c : cases) {
        load(audio);
        tag.GenreID = c.id;
        tag.Genre = c.genre;
        write();
        EXPECT_EQ(bytes().substr(10, 11 + c.written.size()), text(3, "TCON", c.written)) << c.written;
    }
}

TEST_F(WriteTag, Version2TagWithCompressionIsReplacedByANewVersion2Tag)
{
    std::string old = "ID3\x02\x00\x40"s + SyncSafe(30) + std::string(30, '\x5A');
    load(old + audio);
    EXPECT_EQ(tag.ID3RevisionV2(), 2);
    tag.Title = u"Fresh";
    tag.Comments = u"c";
    tag.AttachedPictures->Add("JPG\x03\0img"s, std::nullopt, std::nullopt, true);
    write();
    std::string frames = Frame(2, "COM", "\0eng\0c"s) + Frame(2, "PIC", "\0JPG\x03\0img"s) + noGenre(2) +
                         text(2, "TT2", "Fresh");
    EXPECT_EQ(bytes(), Tag(2, frames, 2048) + audio + Id3v1("Fresh", "", "", "", "c", -1, 255));
}

TEST_F(WriteTag, FooterGoesWithTheOldTag)
{
    std::string frames = text(4, "TIT2", "Old") + noGenre(4);
    std::string old = Tag(4, frames, 0, 0x10) + Footer(4, frames.size(), 0x10);
    load(old + audio);
    ASSERT_EQ(tag.Title, u"Old");
    tag.Title = u"New";
    write();
    EXPECT_EQ(bytes(),
              Tag(4, text(4, "TIT2", "New") + noGenre(4), 2048) + audio + Id3v1("New", "", "", "", "", -1, 255));
}

TEST_F(WriteTag, UnsynchronisationIsUndone)
{
    // Version 4: per frame. A kept frame loses the format bit and the stuffing bytes;
    // its other flags stay.
    std::string privData = "a\xFF\xE0"
                           "b\xFF"s;
    std::string privStored = Unsynchronise(privData);
    ASSERT_NE(privStored, privData);
    std::string priv4 = Frame(4, "PRIV", privStored, 0x20, 0x02 | 0x40);
    load(Tag(4, priv4 + text(4, "TIT2", "T") + noGenre(4), 12, 0x80) + audio);
    EXPECT_TRUE(tag.TagUnsynchronised());
    tag.Title = u"U";
    write();
    EXPECT_FALSE(tag.TagUnsynchronised());
    EXPECT_EQ(bytes(), Tag(4, Frame(4, "PRIV", privData, 0x20, 0x40) + text(4, "TIT2", "U") + noGenre(4), 12) + audio +
                           Id3v1("U", "", "", "", "", -1, 255));

    // Version 3: the whole tag, before the frames are walked.
    std::string frames3 = Frame(3, "PRIV", privData) + text(3, "TIT2", "T") + noGenre(3);
    load(Tag(3, Unsynchronise(frames3), 6, 0x80) + audio);
    ASSERT_EQ(tag.Title, u"T");
    write();
    EXPECT_EQ(bytes(), Tag(3, frames3, 6) + audio + Id3v1("T", "", "", "", "", -1, 255));
}

TEST_F(WriteTag, ExtendedHeaderIsDropped)
{
    std::string ext3 = BigEndian(6, 4) + std::string(6, '\0');
    std::string frames = text(3, "TIT2", "T") + noGenre(3);
    load(Tag(3, frames, 5, 0x40, ext3) + audio);
    ASSERT_EQ(tag.Title, u"T");
    write();
    EXPECT_EQ(bytes(), Tag(3, frames, 5) + audio + Id3v1("T", "", "", "", "", -1, 255));
}

TEST_F(WriteTag, MalformedFrames)
{
    // A size that cannot be computed ends the walk; the rest counts as old padding.
    std::string broken = "PRIV\xFF\xFF\xFF\xFF\0\0abc"s;
    load(Tag(3, text(3, "TIT2", "T") + broken, 0) + audio);
    tag.Title = u"Title";
    write();
    EXPECT_EQ(bytes(), Tag(3, text(3, "TIT2", "Title") + noGenre(3), broken.size()) + audio +
                           Id3v1("Title", "", "", "", "", -1, 255));

    // A replaced frame that claims more than the tag holds ends the body; 2048 bytes of padding follow.
    std::string overlongTitle = "TIT2"s + BigEndian(100, 4) + "\0\0\0Short"s;
    load(Tag(3, noGenre(3) + overlongTitle, 0) + audio);
    tag.Title = u"Mended";
    write();
    EXPECT_EQ(bytes(),
              Tag(3, noGenre(3) + text(3, "TIT2", "Mended"), 2048) + audio + Id3v1("Mended", "", "", "", "", -1, 255));

    // A kept frame that claims more than the tag holds stays as it is, without padding;
    // new frames go in front of it so that readers still find them.
    std::string overlongPriv = "PRIV"s + BigEndian(100, 4) + "\0\0xyz"s;
    load(Tag(3, text(3, "TIT2", "T") + overlongPriv, 0) + audio);
    tag.Artist = u"Artist";
    write();
    EXPECT_EQ(bytes(), Tag(3, text(3, "TIT2", "T") + noGenre(3) + text(3, "TPE1", "Artist") + overlongPriv, 0) + audio +
                           Id3v1("T", "Artist", "", "", "", -1, 255));
    clsID3 back;
    back.SetFileName(path);
    EXPECT_EQ(back.Artist, u"Artist");
}

// Thousands of repeated frames, between unknown ones: the first of each written field
// takes the value, the repeats go, and every unknown frame stays in its order.
TEST_F(WriteTag, RepeatedFramesAmongUnknownOnes)
{
    std::string frames, kept;
    for (int i = 0; i < 3000; ++i) {
        const std::string priv = Frame(3, "PRIV", "owner\0"s + std::to_string(i));
        frames += text(3, "TIT2", "Old " + std::to_string(i)) + priv + text(3, "TPE1", "A");
        kept += priv;
    }
    load(Tag(3, frames, 16) + audio);
    tag.Title = u"One";
    tag.Artist = u"Two";
    write();
    const std::string firstPriv = Frame(3, "PRIV", "owner\0"s + "0");
    EXPECT_EQ(
        bytes(),
        Tag(3, text(3, "TIT2", "One") + firstPriv + text(3, "TPE1", "Two") + kept.substr(firstPriv.size()) + noGenre(3),
            16) +
            audio + Id3v1("One", "Two", "", "", "", -1, 255));
}

TEST_F(WriteTag, TextWindows1252CannotHoldIsWrittenAsUtf16)
{
    load(Tag(3, comm(3, "COMM", "old") + text(3, "TIT2", "old"), 64) + audio);
    tag.Title = u"Сон \u2116 5";
    tag.Comments = u"日本語";
    tag.Artist = u"Café €"; // Windows-1252 holds these: one byte each
    tag.ArtistURL->Add("http://例え.jp/ü");
    write();
    std::string utf16Comment = "\x01"
                               "eng\xFF\xFE\0\0"s +
                               EncodeUtf16WithBom(u"日本語");
    std::string frames = Frame(3, "COMM", utf16Comment) +
                         Frame(3, "TIT2", "\x01"s + EncodeUtf16WithBom(u"Сон \u2116 5")) + noGenre(3) +
                         Frame(3, "TPE1", "\0Caf\xE9 \x80"s) + Frame(3, "WOAR", "http://%E4%BE%8B%E3%81%88.jp/\xFC");
    EXPECT_EQ(bytes(), Tag(3, frames, 64) + audio + Id3v1("??? ? 5", "Caf\xE9 \x80", "", "", "???", -1, 255));

    clsID3 back;
    back.SetFileName(path);
    EXPECT_EQ(back.Title, u"Сон \u2116 5");
    EXPECT_EQ(back.Comments, u"日本語");
    EXPECT_EQ(back.Artist, u"Café €");
}

TEST_F(WriteTag, PictureWithUtf16DescriptionKeepsItsBytes)
{
    std::string apic = Frame(3, "APIC",
                             "\x01image/png\0\x03"s +
                                 "\xFF\xFE"
                                 "c\0\0\0"s +
                                 "\x89PNG\r\n"s);
    load(Tag(3, apic + text(3, "TIT2", "T") + noGenre(3), 32) + audio);
    ASSERT_EQ(tag.AttachedPictures->Count(), 1);
    tag.Title = u"New";
    write();
    EXPECT_EQ(bytes(),
              Tag(3, apic + text(3, "TIT2", "New") + noGenre(3), 32) + audio + Id3v1("New", "", "", "", "", -1, 255));
}

TEST_F(WriteTag, NewPictureWithUtf16DescriptionIsWrittenAsUtf16)
{
    load(audio);
    std::string entry = "image/png\0\x03"s + EncodeUtf16WithBom(u"Обложка") + "\0\0\x89PNG"s;
    tag.AttachedPictures->Add(entry, std::nullopt, std::nullopt, true);
    write();
    EXPECT_EQ(bytes(), Tag(3, Frame(3, "APIC", "\x01"s + entry) + noGenre(3), 2048) + audio);
}

TEST_F(WriteTag, FrameTooLargeForItsSizeFieldLeavesTheFileAlone)
{
    std::string old = Tag(2, text(2, "TT2", "T"), 10) + audio;
    load(old);
    std::string huge = "JPG\x03\0"s;
    huge.resize(0x1000000, 'x');
    tag.AttachedPictures->Add(huge, std::nullopt, std::nullopt, true);
    EXPECT_FALSE(tag.UpdateID3Tags());
    EXPECT_FALSE(tag.LastError().empty());
    EXPECT_EQ(bytes(), old);
}

TEST_F(WriteTag, TimesAreKeptToTheNanosecond)
{
    WriteFile(path, Tag(3, text(3, "TIT2", "T"), 10) + audio);
    struct timespec times[2] = {{1000000000, 123456789}, {1200000000, 987654321}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    // Read after the times are set: a write refuses a file changed since it was read.
    tag.SetFileName(path);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    tag.Title = u"A much longer title than before";
    write();
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, 1200000000);
    EXPECT_EQ(after.st_mtim.tv_nsec, 987654321);
    EXPECT_EQ(after.st_atim.tv_sec, 1000000000);
    EXPECT_EQ(after.st_atim.tv_nsec, 123456789);
    EXPECT_EQ(after.st_mode, before.st_mode);
}

TEST_F(WriteTag, MissingFileIsReported)
{
    tag.SetFileName(dir.file("absent.mp3"));
    tag.Title = u"x";
    EXPECT_FALSE(tag.UpdateID3Tags());
    EXPECT_NE(tag.LastError().find("No such file"), std::string::npos) << tag.LastError();
    EXPECT_FALSE(std::filesystem::exists(dir.file("absent.mp3")));

    // A file that turns up after the failed read keeps its own tags.
    const std::string tagged = Tag(3, text(3, "TPE1", "Artist")) + audio;
    WriteFile(dir.file("absent.mp3"), tagged);
    EXPECT_FALSE(tag.UpdateID3Tags());
    EXPECT_EQ(ReadFile(dir.file("absent.mp3")), tagged);
}

// ---- the trailing tags

TEST_F(WriteTag, Lyrics3BlockCarriesTheLongTitle)
{
    std::string title31 = "A title of thirty-one character";
    ASSERT_EQ(title31.size(), 31u);
    load(audio);
    tag.Title = FromUtf8(title31);
    write();
    std::string block = "LYRICSBEGIN"
                        "IND0000200"
                        "ETT00031" +
                        title31 +
                        "000060"
                        "LYRICS200";
    std::string all = bytes();
    EXPECT_EQ(all.substr(all.size() - 128 - block.size()),
              block + Id3v1(title31.substr(0, 30), "", "", "", "", -1, 255));

    clsID3 back;
    back.SetFileName(path);
    EXPECT_TRUE(back.Lyrics3v2Exists());
    EXPECT_EQ(back.Title, FromUtf8(title31));
}

TEST(Trailer, Lyrics3FieldsInOrderWithLineBreaksEscaped)
{
    clsID3 tag;
    tag.GenreID = 255;
    tag.Title = u"Line one\r\nline two\rthree\nfour, long enough";
    tag.Artist = std::u16string(300, u'a');
    tag.Album = u"An album name of exactly 31 ch.";
    ASSERT_EQ(tag.Album.size(), 31u);
    auto field = [](const std::string& id, const std::string& data) {
        char len[8];
        std::snprintf(len, sizeof len, "%05zu", data.size());
        return id + len + data;
    };
    std::string block = "LYRICSBEGIN"
                        "IND0000200" +
                        field("EAL", "An album name of exactly 31 ch.") + field("EAR", std::string(250, 'a')) +
                        field("ETT", "Line one[CR][LF]line two[CR]three[LF]four, long enough");
    char size[8];
    std::snprintf(size, sizeof size, "%06zu", block.size());
    std::string trailer = BuildTrailer(tag);
    EXPECT_EQ(trailer.substr(0, block.size() + 15), block + size + "LYRICS200");
    EXPECT_EQ(trailer.size(), block.size() + 15 + 128);

    // Exactly 30 characters: no block.
    tag.Title = std::u16string(30, u't');
    tag.Artist = tag.Album = u"";
    EXPECT_EQ(BuildTrailer(tag).substr(0, 3), "TAG");
}

TEST(Trailer, TrackByte)
{
    clsID3 tag;
    tag.GenreID = 255;
    tag.Comments = u"A comment longer than twenty-eight bytes";
    struct Case {
        std::u16string track;
        int byte; // -1: 30-byte comment
    } cases[] = {{u"7", 7},   {u"255", 255}, {u"1", 1},   {u"0", -1},   {u"256", -1},    {u"7a", -1},    {u"", -1},
                 {u"-3", -1}, {u" 9 ", 9},   {u"7.5", 8}, {u"0.6", -1}, {u"254.6", 255}, {u"255.4", -1}, {u"+3", 3}};
    for (const auto& c : cases) {
        tag.TrackNumber = c.track;
        EXPECT_EQ(BuildTrailer(tag), Id3v1("", "", "", "", "A comment longer than twenty-eight bytes", c.byte, 255))
            << ToUtf8(c.track);
    }
}

TEST(Trailer, GenreByte)
{
    clsID3 tag;
    tag.Title = u"t";
    struct Case {
        std::int32_t id;
        std::u16string genre;
        int byte;
    } cases[] = {{12, u"Other", 12}, {12, u"Rock", 17}, {12, u"", 255},         {-1, u"", 12},        {-2, u"x", 12},
                 {255, u"Jazz", 8},  {255, u"", 255},   {255, u"Unknown", 255}, {80, u"whatever", 80}};
    for (const auto& c : cases) {
        tag.GenreID = c.id;
        tag.Genre = c.genre;
        std::string trailer = BuildTrailer(tag);
        ASSERT_EQ(trailer.size(), 128u);
        EXPECT_EQ(static_cast<unsigned char>(trailer[127]), c.byte) << c.id << " " << ToUtf8(c.genre);
    }
}

TEST(Trailer, NothingToStoreWritesNoId3v1)
{
    clsID3 tag;
    tag.GenreID = 255;
    EXPECT_EQ(BuildTrailer(tag), "");
    tag.GenreID = 12;
    tag.Genre = u"Other";
    EXPECT_EQ(BuildTrailer(tag), "");
    tag.Year = u"1";
    EXPECT_EQ(BuildTrailer(tag).size(), 128u);
    tag.Year.clear();
    tag.GenreID = 0;
    EXPECT_EQ(BuildTrailer(tag).size(), 128u); // Blues is something to store
}

TEST_F(WriteTag, OldTrailingTagsAreDropped)
{
    std::string v1 = Id3v1("Old", "", "", "", "", -1, 255);
    struct Case {
        const char* name;
        std::string trailer;
    } cases[] = {
        {"Lyrics3 v2 and ID3v1", Lyrics3v2({{"IND", "00"}, {"LYR", "words"}}) + v1},
        {"Lyrics3 v1 and ID3v1", Lyrics3v1("la la") + v1},
        {"Lyrics3 v1 alone", Lyrics3v1("la la")},
        {"ID3v1 alone", v1},
    };
    for (const auto& c : cases) {
        load(audio + c.trailer);
        tag.Title.clear();
        tag.Lyrics.clear();
        tag.GenreID = 255;
        write();
        // Nothing left to store at the end, and no ID3v1 tag is written.
        EXPECT_EQ(bytes(), Tag(3, noGenre(3), 2048) + audio) << c.name;
    }
}

TEST_F(WriteTag, Lyrics3MarkerWithoutItsBlockStaysInTheAudio)
{
    std::string bogus = "NOTLYRICS"
                        "000005"
                        "LYRICS200";
    load(audio + bogus + Id3v1("T", "", "", "", "", -1, 255));
    write();
    EXPECT_EQ(bytes(),
              Tag(3, noGenre(3) + text(3, "TIT2", "T"), 2048) + audio + bogus + Id3v1("T", "", "", "", "", -1, 255));
}

// Frames other taggers write with format flags: a data length (and unsynchronisation)
// in 2.4, a group byte in 2.3. An unchanged picture keeps its frame whole; text is
// read past the extra bytes.
TEST_F(WriteTag, FramesWithExtraHeaderBytesAreReadAndKeptWhole)
{
    const std::string entry = "image/jpeg\0\x03"
                              "c\0\xFF\xD8\xFF\xE0\xFF\0x"s;
    const std::string stored = Unsynchronise("\0"s + entry);
    std::string apic = Frame(4, "APIC", SyncSafe(static_cast<std::uint32_t>(entry.size() + 1)) + stored, 0,
                             0x02 | 0x01);
    std::string title = Frame(4, "TIT2", SyncSafe(6) + Latin1("Title"), 0, 0x01);
    load(Tag(4, apic + title + noGenre(4), 16) + audio);
    ASSERT_EQ(tag.Title, u"Title");
    ASSERT_EQ(tag.AttachedPictures->Count(), 1);
    EXPECT_EQ(tag.AttachedPictures->Item(1), entry);
    tag.Artist = u"Other";
    write();
    std::string keptApic = Frame(4, "APIC", SyncSafe(static_cast<std::uint32_t>(entry.size() + 1)) + "\0"s + entry, 0,
                                 0x01);
    EXPECT_EQ(bytes(), Tag(4, keptApic + text(4, "TIT2", "Title") + noGenre(4) + text(4, "TPE1", "Other"), 16) + audio +
                           Id3v1("Title", "Other", "", "", "", -1, 255));
    clsID3 back;
    back.SetFileName(path);
    ASSERT_EQ(back.AttachedPictures->Count(), 1);
    EXPECT_EQ(back.AttachedPictures->Item(1), entry);

    std::string grouped = Frame(3, "TALB", "\x07"s + Latin1("Album"), 0, 0x20);
    load(Tag(3, grouped + noGenre(3), 8) + audio);
    EXPECT_EQ(tag.Album, u"Album");
}

// Several frames of one field, or one the engine cannot read, stay as they are while
// their property is not changed; once it is, the first takes the new value and the
// others go, or they would hide it from readers that take the last.
TEST_F(WriteTag, LaterFramesOfAnUnchangedPropertyStay)
{
    std::string artists;
    for (char c = '1'; c <= '7'; ++c)
        artists += text(3, "TPE1", "Artist "s + c);
    std::string compressedTitle = Frame(3, "TIT2", BigEndian(40, 4) + "x\x9C\x03\0\0\0\0\x01"s, 0, 0x80);
    std::string frames = text(3, "TIT2", "First") + artists + compressedTitle + noGenre(3);
    load(Tag(3, frames, 20) + audio);
    tag.Album = u"Album";
    write();
    EXPECT_EQ(bytes(), Tag(3, frames + text(3, "TALB", "Album"), 20) + audio +
                           Id3v1(ToUtf8(tag.Title), "Artist 7", "Album", "", "", -1, 255));

    tag.SetFileName(path);
    tag.Artist = u"Other";
    write();
    EXPECT_EQ(bytes(), Tag(3,
                           text(3, "TIT2", "First") + text(3, "TPE1", "Other") + compressedTitle + noGenre(3) +
                               text(3, "TALB", "Album"),
                           20) +
                           audio + Id3v1(ToUtf8(tag.Title), "Other", "Album", "", "", -1, 255));

    // A compressed frame alone stays too while its property is not changed.
    load(Tag(3, compressedTitle + noGenre(3), 20) + audio);
    tag.Artist = u"A";
    write();
    EXPECT_EQ(bytes(), Tag(3, compressedTitle + noGenre(3) + text(3, "TPE1", "A"), 20) + audio +
                           Id3v1("", "A", "", "", "", -1, 255));
}
