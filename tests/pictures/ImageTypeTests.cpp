#include "ImageFactory.h"

#include "pictures/modImageType.h"

#include <gtest/gtest.h>

using namespace brindle;
using namespace brindle::modImageType;

namespace {

const QString unsupported = QString::fromLatin1(UnsupportedImageType);

TEST(DetectImageType, RecognisesEachFormatByItsFirstAndLastBytes)
{
    EXPECT_EQ(DetectImageType(testimg::bmp(50, 20), 3), "image/bmp");
    EXPECT_EQ(DetectImageType(testimg::gif(16, 8, true), 3), "image/gif");
    EXPECT_EQ(DetectImageType(testimg::gif(16, 8, false), 4), "image/gif");
    EXPECT_EQ(DetectImageType(testimg::jfifJpeg(40, 30), 3), "image/jpeg");
    EXPECT_EQ(DetectImageType(testimg::png(40, 30), 4), "image/png");
}

TEST(DetectImageType, Revision2NamesOnlyJpgAndPng)
{
    EXPECT_EQ(DetectImageType(testimg::bmp(50, 20), 2), "PNG");
    EXPECT_EQ(DetectImageType(testimg::gif(16, 8), 2), "PNG");
    EXPECT_EQ(DetectImageType(testimg::jfifJpeg(40, 30), 2), "JPG");
    EXPECT_EQ(DetectImageType(testimg::png(40, 30), 2), "PNG");
    EXPECT_EQ(DetectImageType(QByteArray("plain text"), 2), unsupported);
}

TEST(DetectImageType, ExifJpegWithoutJfifSegmentIsNotRecognised)
{
    const QByteArray exif = testimg::exifJpeg(40, 30);
    ASSERT_TRUE(exif.startsWith("\xFF\xD8\xFF\xE1"));
    ASSERT_TRUE(exif.endsWith("\xFF\xD9"));
    EXPECT_EQ(DetectImageType(exif, 3), unsupported);
}

TEST(DetectImageType, TrailingBytesMustMatchToo)
{
    QByteArray bmp = testimg::encode(testimg::fewColours(4, 4, 1), "bmp");
    bmp[bmp.size() - 1] = '\x7F';
    EXPECT_EQ(DetectImageKind(bmp), ImageKind::Unsupported);

    EXPECT_EQ(DetectImageKind(testimg::gif(8, 8) + "x"), ImageKind::Unsupported);
    EXPECT_EQ(DetectImageKind(testimg::jfifJpeg(8, 8).chopped(1)), ImageKind::Unsupported);
    EXPECT_EQ(DetectImageKind(testimg::png(8, 8).chopped(1)), ImageKind::Unsupported);
    EXPECT_EQ(DetectImageKind(testimg::png(8, 8) + '\0'), ImageKind::Unsupported);
}

TEST(DetectImageType, JfifVersionAndPngHeaderChunkAreChecked)
{
    QByteArray jpeg = testimg::jfifJpeg(8, 8);
    jpeg[11] = 2; // JFIF major version 2
    EXPECT_EQ(DetectImageKind(jpeg), ImageKind::Unsupported);
    QByteArray png = testimg::png(8, 8);
    png[12] = 'i'; // "iHDR"
    EXPECT_EQ(DetectImageKind(png), ImageKind::Unsupported);
}

TEST(DetectImageType, ShortOrEmptyInputIsUnsupported)
{
    for (const QByteArray& data : {QByteArray(), QByteArray("B"), QByteArray("BM"), QByteArray("GIF89a"),
                                   QByteArray("\xFF\xD8\xFF\xD9", 4), QByteArray("\x89PNG", 4)})
        EXPECT_EQ(DetectImageType(data, 3), unsupported) << data.toHex().constData();
}

TEST(ImageTypeName, CodesAndRevisions)
{
    const char* v3[] = {"image/bmp", "image/gif", "image/jpeg", "image/png"};
    const char* v2[] = {"PNG", "PNG", "JPG", "PNG"};
    for (int code = 0; code < 4; ++code) {
        EXPECT_EQ(ImageTypeName(static_cast<ImageKind>(code), 3), v3[code]);
        EXPECT_EQ(ImageTypeName(static_cast<ImageKind>(code), 4), v3[code]);
        EXPECT_EQ(ImageTypeName(static_cast<ImageKind>(code), 0), v3[code]);
        EXPECT_EQ(ImageTypeName(static_cast<ImageKind>(code), 2), v2[code]);
    }
    for (int code : {-1, 4, 99}) {
        EXPECT_EQ(ImageTypeName(static_cast<ImageKind>(code), 3), unsupported);
        EXPECT_EQ(ImageTypeName(static_cast<ImageKind>(code), 2), unsupported);
    }
}

TEST(ImageTypeIndex, PositionsInTheImageTypeList)
{
    EXPECT_EQ(ImageTypeIndex("image/bmp", 3), 0);
    EXPECT_EQ(ImageTypeIndex("image/gif", 3), 1);
    EXPECT_EQ(ImageTypeIndex("image/jpeg", 4), 2);
    EXPECT_EQ(ImageTypeIndex("Image/PNG", 3), 3);
    EXPECT_EQ(ImageTypeIndex("PNG", 3), -1);
    EXPECT_EQ(ImageTypeIndex("image/jpg", 3), -1);
    EXPECT_EQ(ImageTypeIndex("", 3), -1);

    EXPECT_EQ(ImageTypeIndex("JPG", 2), 0);
    EXPECT_EQ(ImageTypeIndex("png", 2), 1);
    EXPECT_EQ(ImageTypeIndex("GIF", 2), -1);
    EXPECT_EQ(ImageTypeIndex("image/png", 2), -1);
    EXPECT_EQ(ImageTypeIndex(unsupported, 2), -1);
}

TEST(FormatToMime, UnchangedFromRevision3AndMappedInRevision2)
{
    EXPECT_EQ(FormatToMime("image/x-anything", 3), "image/x-anything");
    EXPECT_EQ(FormatToMime("JPG", 4), "JPG");
    EXPECT_EQ(FormatToMime("JPG", 2), "image/jpeg");
    EXPECT_EQ(FormatToMime("jpg", 2), "image/jpeg");
    EXPECT_EQ(FormatToMime("PNG", 2), "image/png");
    EXPECT_EQ(FormatToMime("GIF", 2), "");
    EXPECT_EQ(FormatToMime("image/png", 2), "");
}

TEST(ImageTypeHelpers, MimeKindsExtensionsAndPictureTypeNames)
{
    EXPECT_EQ(MimeToImageKind("IMAGE/GIF"), ImageKind::GIF);
    EXPECT_EQ(MimeToImageKind("image/tiff"), ImageKind::Unsupported);
    EXPECT_EQ(ImageKindExtension(ImageKind::JPEG), "jpg");
    EXPECT_EQ(ImageKindExtension(ImageKind::Unsupported), "");
    EXPECT_EQ(PictureTypeName(0), "Other");
    EXPECT_EQ(PictureTypeName(1), "32 x 32 File Icon");
    EXPECT_EQ(PictureTypeName(3), "Front Cover");
    EXPECT_EQ(PictureTypeName(17), "A Bright Colored Fish");
    EXPECT_EQ(PictureTypeName(20), "Publisher Logotype");
    EXPECT_EQ(PictureTypeName(21), "");
    EXPECT_EQ(PictureTypeName(-1), "");
}

} // namespace
