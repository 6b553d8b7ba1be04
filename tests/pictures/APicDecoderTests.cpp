#include "ImageFactory.h"

#include "APicTestSupport.h"
#include "pictures/APicDecoder.h"
#include "pictures/GDIPlusCandy.h"
#include "pictures/modImageType.h"

#include <gtest/gtest.h>

using namespace brindle;
using namespace brindle::APicDecoder;

namespace {

MultiFrameData listOf(std::initializer_list<std::string> entries)
{
    MultiFrameData list;
    for (const auto& e : entries)
        list.Add(e, std::nullopt, std::nullopt, true);
    return list;
}

TEST(DecodeImage, SplitsAnEntryOfEachRevision)
{
    const QByteArray jpeg = testimg::jfifJpeg(40, 30);
    for (int rev : {3, 4}) {
        const auto list = listOf({testimg::entry("image/jpeg", 3, "", jpeg, rev)});
        QString mime = "stale";
        int type = 9;
        Picture pic;
        QByteArray data;
        ASSERT_TRUE(DecodeImage(list, 1, mime, type, pic, rev, data));
        EXPECT_EQ(mime, "image/jpeg");
        EXPECT_EQ(type, 3);
        EXPECT_EQ(pic.image().size(), QSize(40, 30));
        EXPECT_EQ(data, jpeg);
    }
    const auto v2 = listOf({testimg::entry("JPG", 4, "", jpeg, 2)});
    const auto decoded = DecodeImage(v2, 1, 2);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->MIMEType, "JPG");
    EXPECT_EQ(decoded->PictureType, 4);
    EXPECT_EQ(decoded->OrigPicData, jpeg);
}

TEST(DecodeImage, DetectedTypeReplacesTheStoredOne)
{
    const auto png = listOf({testimg::entry("image/jpeg", 3, "", testimg::png(20, 20), 3)});
    EXPECT_EQ(DecodeImage(png, 1, 3)->MIMEType, "image/png");

    const auto gif2 = listOf({testimg::entry("GIF", 3, "", testimg::gif(8, 8), 2)});
    EXPECT_EQ(DecodeImage(gif2, 1, 2)->MIMEType, "PNG");

    // An EXIF JPEG is not recognised, so whatever was stored stays.
    const auto exif = listOf({testimg::entry("image/jpeg", 3, "", testimg::exifJpeg(20, 20), 3),
                              testimg::entry("image/pjpeg", 3, "", testimg::exifJpeg(20, 20), 3)});
    EXPECT_EQ(DecodeImage(exif, 1, 3)->MIMEType, "image/jpeg");
    EXPECT_EQ(DecodeImage(exif, 2, 3)->MIMEType, "image/pjpeg");
}

TEST(DecodeImage, RefusesLinksDescriptionsAndBrokenEntries)
{
    const QByteArray png = testimg::png(10, 10);
    const auto list = listOf({
        testimg::entry("image/png", 3, "Cover", png, 3),              // 1: description
        testimg::entry("-->", 3, "", "http://example.com/a.png", 3),  // 2: link
        std::string("image/png"),                                     // 3: no terminator
        std::string("image/png\0", 10),                               // 4: no type byte
        std::string("image/png\0\x03", 11),                           // 5: no description end
        testimg::entry("image/png", 3, "", "not an image at all", 3), // 6: no image
        testimg::entry("image/png", 3, "", png, 3),                   // 7: fine
    });
    for (int i = 1; i <= 6; ++i) {
        QString mime = "x";
        int type = 5;
        Picture pic(QImage(2, 2, QImage::Format_RGB32));
        QByteArray data = "x";
        EXPECT_FALSE(DecodeImage(list, i, mime, type, pic, 3, data)) << i;
        EXPECT_TRUE(mime.isEmpty()) << i;
        EXPECT_EQ(type, 0) << i;
        EXPECT_TRUE(pic.isNull()) << i;
        EXPECT_TRUE(data.isEmpty()) << i;
    }
    EXPECT_TRUE(DecodeImage(list, 7, 3));
    EXPECT_FALSE(DecodeImage(list, 0, 3));
    EXPECT_FALSE(DecodeImage(list, 8, 3));

    const auto v2 = listOf({testimg::entry("-->", 3, "", "http://example.com/a.png", 2), std::string("PN")});
    EXPECT_FALSE(DecodeImage(v2, 1, 2));
    EXPECT_FALSE(DecodeImage(v2, 2, 2));
}

TEST(DecodeImage, EmptyUtf16DescriptionsCountAsEmpty)
{
    const QByteArray jpeg = testimg::jfifJpeg(12, 12);
    const std::string head("image/jpeg\0\x03", 12);
    const auto list = listOf({head + std::string("\xFF\xFE\0\0", 4) + jpeg.toStdString(),
                              head + std::string("\xFE\xFF\0\0", 4) + jpeg.toStdString(),
                              head + std::string("\0\0", 2) + jpeg.toStdString(),
                              head +
                                  std::string("\xFF\xFE"
                                              "C\0\0\0",
                                              6) +
                                  jpeg.toStdString()});
    for (int i = 1; i <= 3; ++i) {
        const auto decoded = DecodeImage(list, i, 3);
        ASSERT_TRUE(decoded) << i;
        EXPECT_EQ(decoded->OrigPicData, jpeg) << i;
    }
    EXPECT_FALSE(DecodeImage(list, 4, 3));
    const auto parsed = ParsePictureEntry(list.Item(4), 3);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->Description, QByteArray("\xFF\xFE"
                                              "C\0",
                                              4));
    EXPECT_EQ(parsed->ImageData, jpeg);
}

TEST(DecodeImage, PictureTypeRules)
{
    const auto list = listOf({
        testimg::entry("image/png", 25, "", testimg::png(10, 10), 3), // above 20
        testimg::entry("image/png", 1, "", testimg::png(32, 32), 3),  // the file icon
        testimg::entry("image/png", 1, "", testimg::png(64, 64), 3),
        testimg::entry("image/png", 1, "", testimg::png(33, 33), 3),
        testimg::entry("image/png", 1, "", testimg::png(32, 31), 3),
        testimg::entry("image/jpeg", 1, "", testimg::jfifJpeg(32, 32), 3),
        testimg::entry("image/png", 20, "", testimg::png(10, 10), 3),
    });
    const int expected[] = {0, 1, 2, 2, 2, 2, 20};
    for (int i = 1; i <= list.Count(); ++i)
        EXPECT_EQ(DecodeImage(list, i, 3)->PictureType, expected[i - 1]) << i;

    // In a revision 2 tag the file icon is called "PNG" and is still a PNG.
    const auto v2 = listOf({testimg::entry("PNG", 1, "", testimg::png(32, 32), 2),
                            testimg::entry("JPG", 1, "", testimg::jfifJpeg(32, 32), 2)});
    EXPECT_EQ(DecodeImage(v2, 1, 2)->PictureType, 1);
    EXPECT_EQ(DecodeImage(v2, 2, 2)->PictureType, 2);
}

TEST(ParsePictureEntry, ExposesDescriptionAndLinkTarget)
{
    const auto described = ParsePictureEntry(testimg::entry("image/png", 4, "Cover", "DATA", 3), 3);
    ASSERT_TRUE(described);
    EXPECT_EQ(described->Format, "image/png");
    EXPECT_EQ(described->PictureType, 4);
    EXPECT_EQ(described->Description, "Cover");
    EXPECT_EQ(described->ImageData, "DATA");
    EXPECT_FALSE(described->IsLink);

    const auto link = ParsePictureEntry(testimg::entry("-->", 3, "", "http://x/y.jpg", 2), 2);
    ASSERT_TRUE(link);
    EXPECT_TRUE(link->IsLink);
    EXPECT_EQ(link->ImageData, "http://x/y.jpg");

    // Format names are single-byte text: 0x80 is the euro sign, 0x81 stays itself.
    const auto odd = ParsePictureEntry(std::string("\x80\x81Z\x07\0", 5), 2);
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->Format, QString::fromUtf16(u"\u20AC\u0081Z"));
    EXPECT_EQ(odd->PictureType, 7);
}

TEST(InsertImageData, BuildsTheEntryLayoutOfEachRevision)
{
    const QByteArray png = testimg::png(20, 10);
    MultiFrameData list = listOf({"a", "b", "c"});
    ASSERT_TRUE(InsertImageData(list, 2, "image/png", 3, png, 3));
    EXPECT_EQ(list.Item(1), "a");
    EXPECT_EQ(list.Item(2), std::string("image/png\0\x03\0", 12) + png.toStdString());
    EXPECT_EQ(list.Item(3), "c");

    ASSERT_TRUE(InsertImageData(list, 3, "PNG", 5, png, 2));
    EXPECT_EQ(list.Item(3), std::string("PNG\x05\0", 5) + png.toStdString());

    const QByteArray jpeg = testimg::jfifJpeg(20, 10);
    ASSERT_TRUE(InsertImageData(list, 1, "image/jpeg", 0, jpeg, 4));
    const auto back = DecodeImage(list, 1, 4);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->MIMEType, "image/jpeg");
    EXPECT_EQ(back->PictureType, 0);
    EXPECT_EQ(back->OrigPicData, jpeg);
}

TEST(InsertImageData, DetectedTypeWinsAndNonImagesChangeNothing)
{
    MultiFrameData list = listOf({"placeholder"});
    ASSERT_TRUE(InsertImageData(list, 1, "image/jpeg", 3, testimg::png(8, 8), 3));
    EXPECT_EQ(DecodeImage(list, 1, 3)->MIMEType, "image/png");

    const std::string before = list.Item(1);
    EXPECT_FALSE(InsertImageData(list, 1, "image/png", 3, QByteArray("GIF89a but not really"), 3));
    EXPECT_FALSE(InsertImageData(list, 1, "image/png", 3, QByteArray(), 3));
    EXPECT_EQ(list.Item(1), before);
    EXPECT_EQ(list.Count(), 1);

    EXPECT_FALSE(InsertImageData(list, 0, "image/png", 3, testimg::png(8, 8), 3));
    EXPECT_FALSE(InsertImageData(list, 2, "image/png", 3, testimg::png(8, 8), 3));
    EXPECT_EQ(list.Count(), 1);
}

TEST(InsertImageData, UnrecognisedJpegKeepsItsNameOrGetsOne)
{
    const QByteArray exif = testimg::exifJpeg(16, 16);
    MultiFrameData list = listOf({"1", "2"});
    ASSERT_TRUE(InsertImageData(list, 1, "image/jpeg", 3, exif, 3));
    ASSERT_TRUE(InsertImageData(list, 2, "", 3, exif, 3));
    EXPECT_EQ(ParsePictureEntry(list.Item(1), 3)->Format, "image/jpeg");
    EXPECT_EQ(ParsePictureEntry(list.Item(2), 3)->Format, "image/jpeg");

    // A NUL in the name would shift the entry's fields.
    QString withNul = QStringLiteral("image/x");
    withNul.append(QChar(0)).append(QLatin1String("y"));
    ASSERT_TRUE(InsertImageData(list, 1, withNul, 3, exif, 3));
    EXPECT_EQ(ParsePictureEntry(list.Item(1), 3)->Format, "image/x");
    EXPECT_EQ(ParsePictureEntry(list.Item(1), 3)->PictureType, 3);

    // Three letters are all a revision 2 tag has for the format.
    ASSERT_TRUE(InsertImageData(list, 2, "", 3, exif, 2));
    EXPECT_EQ(list.Item(2).substr(0, 4), std::string("JPG\x03", 4));
}

TEST(InsertImageData, BmpAndGifBecomePngInRevision2)
{
    for (const QByteArray& source : {testimg::gif(24, 16), testimg::bmp(24, 16)}) {
        MultiFrameData list = listOf({"x"});
        ASSERT_TRUE(InsertImageData(list, 1, "image/gif", 3, source, 2));
        const auto parsed = ParsePictureEntry(list.Item(1), 2);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->Format, "PNG");
        EXPECT_EQ(modImageType::DetectImageKind(parsed->ImageData), ImageKind::PNG);
        const auto back = DecodeImage(list, 1, 2);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->Pic.image().size(), QSize(24, 16));
        EXPECT_EQ(back->PictureType, 3);
    }
    // From revision 3 on they stay as they are.
    MultiFrameData list = listOf({"x"});
    const QByteArray gif = testimg::gif(24, 16);
    ASSERT_TRUE(InsertImageData(list, 1, "image/gif", 3, gif, 3));
    EXPECT_EQ(ParsePictureEntry(list.Item(1), 3)->ImageData, gif);
}

TEST(InsertImageData, FileIconOnlyForA32By32Png)
{
    MultiFrameData list = listOf({"1", "2", "3", "4", "5"});
    InsertImageData(list, 1, "image/png", 1, testimg::png(32, 32), 3);
    InsertImageData(list, 2, "image/png", 1, testimg::png(64, 64), 3);
    InsertImageData(list, 3, "image/jpeg", 1, testimg::jfifJpeg(32, 32), 3);
    InsertImageData(list, 4, "PNG", 1, testimg::png(32, 32), 2);
    InsertImageData(list, 5, "image/png", 77, testimg::png(8, 8), 3);
    EXPECT_EQ(ParsePictureEntry(list.Item(1), 3)->PictureType, 1);
    EXPECT_EQ(ParsePictureEntry(list.Item(2), 3)->PictureType, 2);
    EXPECT_EQ(ParsePictureEntry(list.Item(3), 3)->PictureType, 2);
    EXPECT_EQ(ParsePictureEntry(list.Item(4), 2)->PictureType, 1);
    EXPECT_EQ(static_cast<unsigned char>(list.Item(5)[10]), 0);
}

TEST(InsertImageData, PlaceholderThenReplaceAddsPictures)
{
    MultiFrameData list;
    for (const QByteArray& data : {testimg::png(8, 8), testimg::jfifJpeg(9, 9)}) {
        list.Add("");
        ASSERT_TRUE(InsertImageData(list, list.Count(), "", 3, data, 3));
    }
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(DecodeImage(list, 1, 3)->MIMEType, "image/png");
    EXPECT_EQ(DecodeImage(list, 2, 3)->MIMEType, "image/jpeg");

    // A built entry can also be added directly; the list refuses the same picture twice.
    // Bytes may come as std::string, as read from a file or taken from a list entry.
    const std::string fileBytes = testimg::png(8, 8).toStdString();
    EXPECT_EQ(modImageType::DetectImageType(fileBytes, 3), "image/png");
    const auto entry = BuildImageDataEntry("image/png", 3, fileBytes, 3);
    ASSERT_TRUE(entry);
    MultiFrameData direct;
    direct.Add(*entry, std::nullopt, std::nullopt, true);
    direct.Add(*entry, std::nullopt, std::nullopt, true);
    EXPECT_EQ(direct.Count(), 1);
}

TEST(InsertImage, EncodesThePictureInTheRequestedType)
{
    const Picture pic(testimg::gradient(30, 20));
    const struct {
        const char* mime;
        int rev;
        const char* decodedAs;
    } cases[] = {{"image/bmp", 3, "image/bmp"},
                 {"image/gif", 3, "image/gif"},
                 {"image/jpeg", 3, "image/jpeg"},
                 {"image/png", 4, "image/png"},
                 {"JPG", 2, "JPG"},
                 {"PNG", 2, "PNG"}};
    for (const auto& c : cases) {
        MultiFrameData list = listOf({"placeholder"});
        ASSERT_TRUE(InsertImage(list, 1, c.mime, 6, pic, c.rev)) << c.mime;
        const auto parsed = ParsePictureEntry(list.Item(1), c.rev);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->Format, c.mime);
        const auto back = DecodeImage(list, 1, c.rev);
        ASSERT_TRUE(back) << c.mime;
        EXPECT_EQ(back->MIMEType, c.decodedAs);
        EXPECT_EQ(back->PictureType, 6);
        EXPECT_EQ(back->Pic.image().size(), QSize(30, 20));
    }
}

TEST(InsertImage, UnencodableTypesAndIconRule)
{
    const Picture icon(testimg::gradient(32, 32));
    MultiFrameData list = listOf({"keep"});
    for (auto [mime, rev] : {std::pair{"image/tiff", 3}, {"", 3}, {"GIF", 2}, {"image/png", 2}})
        EXPECT_FALSE(InsertImage(list, 1, mime, 3, icon, rev)) << mime;
    EXPECT_FALSE(InsertImage(list, 1, "image/png", 3, Picture(), 3));
    EXPECT_FALSE(InsertImage(list, 2, "image/png", 3, icon, 3));
    EXPECT_EQ(list.Item(1), "keep");

    ASSERT_TRUE(InsertImage(list, 1, "image/png", 1, icon, 3));
    EXPECT_EQ(DecodeImage(list, 1, 3)->PictureType, 1);
    ASSERT_TRUE(InsertImage(list, 1, "image/jpeg", 1, icon, 3));
    EXPECT_EQ(DecodeImage(list, 1, 3)->PictureType, 2);
    ASSERT_TRUE(InsertImage(list, 1, "image/png", 1, Picture(testimg::gradient(31, 32)), 3));
    EXPECT_EQ(DecodeImage(list, 1, 3)->PictureType, 2);
}

} // namespace
