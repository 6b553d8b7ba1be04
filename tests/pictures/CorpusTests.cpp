// Real files from other tag libraries' test data: every picture entry the engine reads
// is either decoded whole or refused quietly.
#include "pictures/APicDecoder.h"
#include "pictures/GDIPlusCandy.h"
#include "tag/clsID3.h"

#include <QBuffer>
#include <QImageReader>
#include <gtest/gtest.h>

#include <filesystem>

using namespace brindle;

namespace {

bool qtReadsAsTagImage(QByteArray data)
{
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (format != "bmp" && format != "gif" && format != "jpeg" && format != "png")
        return false;
    return !reader.read().isNull();
}

TEST(Corpus, PicturesDecodeWheneverTheirBytesAreAnImage)
{
    const std::filesystem::path dir = BRINDLE_CORPUS_DIR;
    if (!std::filesystem::exists(dir))
        GTEST_SKIP() << "no corpus at " << dir;
    int decodedCount = 0;
    for (const auto& file : std::filesystem::directory_iterator(dir)) {
        clsID3 tag;
        tag.SetFileName(file.path().string());
        const int rev = tag.ID3RevisionV2();
        for (int i = 1; i <= tag.AttachedPictures->Count(); ++i) {
            const std::string where = file.path().filename().string() + " #" + std::to_string(i);
            const auto decoded = APicDecoder::DecodeImage(*tag.AttachedPictures, i, rev);
            const auto parsed = APicDecoder::ParsePictureEntry(tag.AttachedPictures->Item(i), rev);
            if (!parsed) {
                EXPECT_FALSE(decoded) << where;
                continue;
            }
            const bool expectDecoded = !parsed->IsLink && parsed->DescriptionIsEmpty() &&
                                       qtReadsAsTagImage(parsed->ImageData);
            EXPECT_EQ(decoded.has_value(), expectDecoded) << where;
            if (decoded) {
                ++decodedCount;
                EXPECT_EQ(decoded->OrigPicData, parsed->ImageData) << where;
                EXPECT_FALSE(decoded->Pic.isNull()) << where;
                EXPECT_FALSE(decoded->MIMEType.isEmpty()) << where;
                EXPECT_LE(decoded->PictureType, 20) << where;
            }
        }
    }
    EXPECT_GT(decodedCount, 0);
}

} // namespace
