// Picture entries as the tag engine reads them from files and writes them back.
#include "ImageFactory.h"

#include "Mp3Builder.h"
#include "pictures/APicDecoder.h"
#include "pictures/modImageType.h"
#include "tag/clsID3.h"

#include <gtest/gtest.h>

using namespace brindle;
namespace bt = brindle::test;

namespace {

std::string str(const QByteArray& b) { return b.toStdString(); }

std::string pictureFrame(int version, std::string_view format, int type, const QByteArray& image)
{
    std::string data(1, '\0'); // text encoding: single byte
    data += format;
    if (version > 2)
        data.push_back('\0');
    data.push_back(static_cast<char>(type));
    data.push_back('\0'); // empty description
    data += str(image);
    return bt::Frame(version, version == 2 ? "PIC" : "APIC", data);
}

TEST(TagPictures, EntriesReadFromFilesOfEachRevisionDecode)
{
    bt::TempDir dir;
    const QByteArray jpeg = testimg::jfifJpeg(40, 30);
    const QByteArray png = testimg::png(32, 32);
    for (int version : {2, 3, 4}) {
        const std::string frames = version == 2 ? pictureFrame(2, "JPG", 3, jpeg) + pictureFrame(2, "PNG", 1, png)
                                                : pictureFrame(version, "image/jpeg", 3, jpeg) +
                                                      pictureFrame(version, "image/png", 1, png);
        const std::string path = dir.file("v" + std::to_string(version) + ".mp3");
        bt::WriteFile(path, bt::Tag(version, frames, 64) + bt::MpegFrames(8));

        clsID3 tag;
        tag.SetFileName(path);
        ASSERT_EQ(tag.ID3RevisionV2(), version) << version;
        ASSERT_TRUE(tag.ID3v2Exists()) << version;
        ASSERT_EQ(tag.AttachedPictures->Count(), 2) << version;
        const auto first = APicDecoder::DecodeImage(*tag.AttachedPictures, 1, version);
        const auto second = APicDecoder::DecodeImage(*tag.AttachedPictures, 2, version);
        ASSERT_TRUE(first && second) << version;
        EXPECT_EQ(first->MIMEType, version == 2 ? "JPG" : "image/jpeg");
        EXPECT_EQ(first->PictureType, 3);
        EXPECT_EQ(first->OrigPicData, jpeg);
        EXPECT_EQ(second->MIMEType, version == 2 ? "PNG" : "image/png");
        EXPECT_EQ(second->PictureType, 1);
        EXPECT_EQ(second->Pic.image().size(), QSize(32, 32));
    }
}

TEST(TagPictures, BuiltEntriesSurviveAWriteAndReread)
{
    bt::TempDir dir;
    for (int version : {2, 3, 4}) {
        const std::string path = dir.file("w" + std::to_string(version) + ".mp3");
        bt::WriteFile(path,
                      bt::Tag(version,
                              pictureFrame(version, version == 2 ? "JPG" : "image/jpeg", 3, testimg::jfifJpeg(20, 20)),
                              256) +
                          bt::MpegFrames(8));
        const QByteArray gif = testimg::gif(24, 12);
        {
            clsID3 tag;
            tag.SetFileName(path);
            const auto entry = APicDecoder::BuildImageDataEntry("image/gif", 4, gif, tag.ID3RevisionV2());
            ASSERT_TRUE(entry);
            tag.AttachedPictures->Add(*entry, std::nullopt, std::nullopt, true);
            ASSERT_TRUE(tag.UpdateID3Tags()) << tag.LastError();
        }
        clsID3 again;
        again.SetFileName(path);
        ASSERT_EQ(again.AttachedPictures->Count(), 2) << version;
        const auto added = APicDecoder::DecodeImage(*again.AttachedPictures, 2, version);
        ASSERT_TRUE(added) << version;
        EXPECT_EQ(added->MIMEType, version == 2 ? "PNG" : "image/gif");
        EXPECT_EQ(added->PictureType, 4);
        EXPECT_EQ(added->Pic.image().size(), QSize(24, 12));
        if (version != 2) {
            EXPECT_EQ(added->OrigPicData, gif);
        }
    }
}

TEST(TagPictures, PicturesOfUtf16FramesShowAndCanBeRewritten)
{
    bt::TempDir dir;
    const QByteArray jpeg = testimg::jfifJpeg(40, 30);
    const std::string path = dir.file("utf16.mp3");
    std::string frames;
    for (std::string description : {std::string("\xFF\xFE\0\0", 4), std::string("\0\0", 2)})
        frames += bt::Frame(3, "APIC",
                            std::string("\x01image/jpeg\0\x03", 13) + description + str(jpeg) +
                                std::string(description.size() == 4 ? "" : "x"));
    bt::WriteFile(path, bt::Tag(3, frames, 64) + bt::MpegFrames(8));

    clsID3 tag;
    tag.SetFileName(path);
    ASSERT_EQ(tag.AttachedPictures->Count(), 2);
    for (int i = 1; i <= 2; ++i) {
        const auto decoded = APicDecoder::DecodeImage(*tag.AttachedPictures, i, 3);
        ASSERT_TRUE(decoded) << i;
        EXPECT_EQ(decoded->Pic.image().size(), QSize(40, 30));
        // What the album-art page does before a save: write the entry anew.
        ASSERT_TRUE(APicDecoder::InsertImageData(*tag.AttachedPictures, i, decoded->MIMEType, decoded->PictureType,
                                                 decoded->OrigPicData, 3));
    }
    ASSERT_TRUE(tag.UpdateID3Tags()) << tag.LastError();
    clsID3 again;
    again.SetFileName(path);
    ASSERT_EQ(again.AttachedPictures->Count(), 2);
    for (int i = 1; i <= 2; ++i)
        EXPECT_EQ(again.AttachedPictures->Item(i),
                  std::string("image/jpeg\0\x03\0", 13) + str(jpeg) + (i == 2 ? "x" : ""));
}

} // namespace
