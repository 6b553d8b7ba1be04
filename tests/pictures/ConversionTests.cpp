#include "ImageFactory.h"

#include "pictures/GDIPlusCandy.h"
#include "pictures/modImageType.h"

#include <QBuffer>
#include <QImageReader>
#include <gtest/gtest.h>

using namespace brindle;

namespace {

QImage readWithQt(const QByteArray& data, QByteArray* format = nullptr)
{
    QByteArray copy = data;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (format)
        *format = reader.format();
    return reader.read();
}

class Conversion : public ::testing::Test {
protected:
    GDIPlusCandy candy;
};

TEST_F(Conversion, CodecsAreAvailableWithoutAnApplicationObject) { EXPECT_TRUE(candy.SuccessfullyInitialized()); }

TEST_F(Conversion, DecodesEachFormatAtItsSize)
{
    struct Case {
        QByteArray data;
        ImageKind kind;
    } cases[] = {{testimg::bmp(50, 20), ImageKind::BMP},
                 {testimg::gif(24, 12), ImageKind::GIF},
                 {testimg::jfifJpeg(40, 30), ImageKind::JPEG},
                 {testimg::exifJpeg(40, 30), ImageKind::JPEG},
                 {testimg::png(33, 17), ImageKind::PNG}};
    for (const auto& c : cases) {
        const Picture pic = candy.DataToImage(c.data);
        ASSERT_FALSE(pic.isNull()) << static_cast<int>(c.kind);
        EXPECT_EQ(pic.sourceKind(), c.kind);
        const QImage expected = readWithQt(c.data);
        EXPECT_EQ(pic.image().size(), expected.size());
        EXPECT_EQ(pic.pixelWidth(), expected.width());
        EXPECT_EQ(pic.pixelHeight(), expected.height());
    }
}

TEST_F(Conversion, RefusesBytesThatAreNoTagPicture)
{
    EXPECT_TRUE(candy.DataToImage(QByteArray("This is just some text, not a picture.")).isNull());
    EXPECT_TRUE(candy.DataToImage(QByteArray()).isNull());
    // Qt reads these, but a tag's picture has to be BMP, GIF, JPEG or PNG.
    const QByteArray pbm("P1\n2 2\n0 1\n1 0\n");
    ASSERT_FALSE(readWithQt(pbm).isNull());
    EXPECT_TRUE(candy.DataToImage(pbm).isNull());
    EXPECT_TRUE(candy.DataToImage(testimg::encode(testimg::gradient(8, 8), "ppm")).isNull());
}

TEST_F(Conversion, EveryFormatRoundTripsAtTheSameSize)
{
    const Picture source(testimg::gradient(61, 47));
    const struct {
        const char* mime;
        ImageKind kind;
        double tolerance;
    } targets[] = {{"image/bmp", ImageKind::BMP, 0.0},
                   {"image/gif", ImageKind::GIF, 8.0},
                   {"image/jpeg", ImageKind::JPEG, 6.0},
                   {"image/png", ImageKind::PNG, 0.0}};
    for (const auto& t : targets) {
        const QByteArray data = candy.ImageToData(source, t.mime);
        ASSERT_FALSE(data.isEmpty()) << t.mime;
        QByteArray qtFormat;
        ASSERT_FALSE(readWithQt(data, &qtFormat).isNull()) << t.mime;
        const Picture back = candy.DataToImage(data);
        ASSERT_FALSE(back.isNull()) << t.mime;
        EXPECT_EQ(back.sourceKind(), t.kind) << t.mime;
        EXPECT_EQ(back.image().size(), QSize(61, 47)) << t.mime;
        EXPECT_LE(testimg::meanAbsDifference(source.image(), back.image()), t.tolerance) << t.mime;
    }
}

TEST_F(Conversion, EncodedBytesAreRecognisedByTheirOwnType)
{
    // 50 pixels of 3 bytes leave row padding, so even the BMP ends in a zero byte.
    const Picture source(testimg::gradient(50, 20));
    EXPECT_EQ(modImageType::DetectImageType(candy.ImageToData(source, "image/bmp"), 3), "image/bmp");
    EXPECT_EQ(modImageType::DetectImageType(candy.ImageToData(source, "image/gif"), 3), "image/gif");
    EXPECT_EQ(modImageType::DetectImageType(candy.ImageToData(source, "image/jpeg"), 3), "image/jpeg");
    EXPECT_EQ(modImageType::DetectImageType(candy.ImageToData(source, "image/png"), 3), "image/png");
}

TEST_F(Conversion, MimeTypeMatchIgnoresCaseAndJpegUsesQuality75)
{
    const QImage image = testimg::gradient(64, 64);
    const QByteArray upper = candy.ImageToData(Picture(image), "IMAGE/JPEG");
    ASSERT_FALSE(upper.isEmpty());
    EXPECT_EQ(upper, candy.ImageToData(Picture(image), "image/jpeg"));
    EXPECT_EQ(upper, testimg::encode(image, "jpeg", 75));
    EXPECT_NE(upper, testimg::encode(image, "jpeg", 95));
    EXPECT_FALSE(candy.ImageToData(Picture(image), "Image/Png").isEmpty());
}

TEST_F(Conversion, UnknownMimeTypeOrNoPictureGivesNothing)
{
    const Picture pic(testimg::gradient(8, 8));
    for (const char* mime : {"image/tiff", "image/jpg", "", "png", "image/png "})
        EXPECT_TRUE(candy.ImageToData(pic, mime).isEmpty()) << mime;
    for (const char* mime : {"image/bmp", "image/gif", "image/jpeg", "image/png"})
        EXPECT_TRUE(candy.ImageToData(Picture(), mime).isEmpty()) << mime;
}

TEST_F(Conversion, GifOutputIsAValidGif89aForQtAndGiflib)
{
    for (const QImage& image : {testimg::fewColours(40, 30, 5), testimg::gradient(120, 90)}) {
        const QByteArray data = candy.ImageToData(Picture(image), "image/gif");
        ASSERT_TRUE(data.startsWith("GIF89a"));
        ASSERT_TRUE(data.endsWith(QByteArray("\x00\x3B", 2)));

        QByteArray qtFormat;
        const QImage qt = readWithQt(data, &qtFormat);
        EXPECT_EQ(qtFormat, "gif");
        EXPECT_EQ(qt.size(), image.size());

        const auto info = testimg::readWithGiflib(data);
        ASSERT_TRUE(info.ok);
        EXPECT_EQ(info.width, image.width());
        EXPECT_EQ(info.height, image.height());
        EXPECT_EQ(info.imageCount, 1);
        EXPECT_LE(info.colourCount, 256);
    }
}

TEST_F(Conversion, GifKeepsFewColoursExactlyAndQuantisesMany)
{
    const QImage few = testimg::fewColours(37, 23, 256);
    const QImage fewBack = readWithQt(candy.ImageToData(Picture(few), "image/gif"));
    EXPECT_EQ(testimg::meanAbsDifference(few, fewBack), 0.0);

    // 256 x 256 pixels of 65536 different colours still look alike.
    QImage many(256, 256, QImage::Format_RGB32);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            many.setPixel(x, y, qRgb(x, y, (x * y) & 0xFF));
    const QByteArray data = candy.ImageToData(Picture(many), "image/gif");
    EXPECT_EQ(testimg::readWithGiflib(data).colourCount, 256);
    EXPECT_LT(testimg::meanAbsDifference(many, readWithQt(data)), 12.0);

    // With transparency one palette entry is kept for it.
    QImage holes = many.convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x < 256; x += 3)
        holes.setPixel(x, x, qRgba(0, 0, 0, 0));
    const QByteArray holey = candy.ImageToData(Picture(holes), "image/gif");
    const auto info = testimg::readWithGiflib(holey);
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.colourCount, 256);
    EXPECT_GE(info.transparentIndex, 0);
    const QImage back = readWithQt(holey);
    EXPECT_EQ(qAlpha(back.pixel(3, 3)), 0);
    EXPECT_EQ(qAlpha(back.pixel(4, 3)), 255);
}

TEST_F(Conversion, TransparencySurvivesInPngAndGifAndBecomesBlackElsewhere)
{
    QImage image(10, 10, QImage::Format_ARGB32);
    image.fill(qRgba(255, 255, 255, 255));
    for (int x = 0; x < 10; ++x)
        image.setPixel(x, 0, qRgba(200, 100, 50, 0));
    const Picture pic(image);

    const QImage png = readWithQt(candy.ImageToData(pic, "image/png"));
    EXPECT_EQ(qAlpha(png.pixel(3, 0)), 0);
    EXPECT_EQ(png.pixel(3, 5), qRgba(255, 255, 255, 255));

    const QByteArray gifData = candy.ImageToData(pic, "image/gif");
    EXPECT_GE(testimg::readWithGiflib(gifData).transparentIndex, 0);
    const QImage gif = readWithQt(gifData);
    EXPECT_EQ(qAlpha(gif.pixel(3, 0)), 0);
    EXPECT_EQ(gif.pixel(3, 5), qRgba(255, 255, 255, 255));

    for (const char* mime : {"image/bmp", "image/jpeg"}) {
        const QImage flat = readWithQt(candy.ImageToData(pic, mime));
        ASSERT_FALSE(flat.isNull()) << mime;
        EXPECT_LT(qRed(flat.pixel(3, 0)) + qGreen(flat.pixel(3, 0)) + qBlue(flat.pixel(3, 0)), 30) << mime;
        EXPECT_GT(qRed(flat.pixel(3, 6)), 225) << mime;
    }
}

TEST_F(Conversion, IndexedAndMonochromeSourcesEncodeToo)
{
    const QImage indexed = testimg::fewColours(20, 20, 4).convertToFormat(QImage::Format_Indexed8);
    const QImage mono = testimg::gradient(20, 20).convertToFormat(QImage::Format_Mono);
    for (const QImage& image : {indexed, mono})
        for (const char* mime : {"image/bmp", "image/gif", "image/jpeg", "image/png"}) {
            const Picture back = candy.DataToImage(candy.ImageToData(Picture(image), mime));
            ASSERT_FALSE(back.isNull()) << mime;
            EXPECT_EQ(back.image().size(), QSize(20, 20)) << mime;
        }
}

TEST_F(Conversion, GifRefusesSizesTheFormatCannotHold)
{
    QImage tooWide(70000, 1, QImage::Format_RGB32);
    tooWide.fill(Qt::red);
    EXPECT_TRUE(candy.ImageToData(Picture(tooWide), "image/gif").isEmpty());
    QImage dot(1, 1, QImage::Format_RGB32);
    dot.fill(Qt::red);
    EXPECT_FALSE(candy.ImageToData(Picture(dot), "image/gif").isEmpty());
}

} // namespace
