// Pictures built here and written by the tag engine, read back by TagLib.
#include "ImageFactory.h"

#include "Mp3Builder.h"
#include "pictures/APicDecoder.h"
#include "tag/clsID3.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <gtest/gtest.h>

using namespace brindle;
namespace bt = brindle::test;

namespace {

struct Added {
    QByteArray data;
    const char* mime;
    int type;
    const char* expectedMime; // as TagLib reports it
};

TEST(Interop, TagLibSeesTheSameMimeTypePictureTypeAndBytes)
{
    bt::TempDir dir;
    for (int version : {2, 3, 4}) {
        const std::string path = dir.file("interop" + std::to_string(version) + ".mp3");
        bt::WriteFile(
            path, bt::Tag(version, bt::Frame(version, version == 2 ? "TT2" : "TIT2", std::string("\0Song", 5)), 32) +
                      bt::MpegFrames(8));
        const std::vector<Added> added = {
            {testimg::jfifJpeg(30, 20), "image/jpeg", 3, "image/jpeg"},
            {testimg::png(32, 32), "image/png", 1, "image/png"},
            {testimg::gif(16, 16), "image/gif", 4, version == 2 ? "image/png" : "image/gif"},
        };
        std::vector<std::string> entries;
        {
            clsID3 tag;
            tag.SetFileName(path);
            for (const auto& a : added) {
                auto entry = APicDecoder::BuildImageDataEntry(a.mime, a.type, a.data, version);
                ASSERT_TRUE(entry);
                entries.push_back(*entry);
                tag.AttachedPictures->Add(*entry, std::nullopt, std::nullopt, true);
            }
            ASSERT_TRUE(tag.UpdateID3Tags()) << tag.LastError();
        }

        TagLib::MPEG::File file(path.c_str());
        ASSERT_TRUE(file.isValid());
        ASSERT_TRUE(file.ID3v2Tag());
        const auto frames = file.ID3v2Tag()->frameList("APIC");
        ASSERT_EQ(frames.size(), added.size()) << version;
        std::size_t i = 0;
        for (auto* frame : frames) {
            auto* pic = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
            ASSERT_TRUE(pic);
            const auto parsed = APicDecoder::ParsePictureEntry(entries[i], version);
            EXPECT_EQ(pic->mimeType().to8Bit(), added[i].expectedMime) << version << " " << i;
            EXPECT_EQ(static_cast<int>(pic->type()), added[i].type) << version << " " << i;
            EXPECT_TRUE(pic->description().isEmpty());
            const TagLib::ByteVector bytes = pic->picture();
            EXPECT_EQ(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), parsed->ImageData)
                << version << " " << i;
            ++i;
        }
    }
}

} // namespace
