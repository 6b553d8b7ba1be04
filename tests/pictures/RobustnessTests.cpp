// Damaged image bytes and entries must fail quietly, never crash or hang.
#include "ImageFactory.h"

#include "APicTestSupport.h"
#include "pictures/APicDecoder.h"
#include "pictures/Cp1252.h"
#include "pictures/GDIPlusCandy.h"
#include "pictures/modImageType.h"

#include <gtest/gtest.h>

#include <random>

using namespace brindle;

namespace {

std::vector<QByteArray> samples()
{
    return {testimg::bmp(13, 7), testimg::gif(13, 7), testimg::jfifJpeg(13, 7), testimg::exifJpeg(13, 7),
            testimg::png(13, 7)};
}

void expectConsistent(const QByteArray& data)
{
    static const GDIPlusCandy candy;
    const Picture pic = candy.DataToImage(data);
    if (!pic.isNull()) {
        EXPECT_GT(pic.image().width(), 0);
        EXPECT_NE(pic.sourceKind(), ImageKind::Unsupported);
    }
    MultiFrameData list;
    list.Add(testimg::entry("image/png", 3, "", data, 3), std::nullopt, std::nullopt, true);
    APicDecoder::DecodedPicture out;
    const bool decoded = APicDecoder::DecodeImage(list, 1, out.MIMEType, out.PictureType, out.Pic, 3, out.OrigPicData);
    EXPECT_EQ(decoded, !out.Pic.isNull());
    const std::string before = list.Item(1);
    if (!APicDecoder::InsertImageData(list, 1, "image/png", 3, data, 3)) {
        EXPECT_EQ(list.Item(1), before);
    }
}

TEST(Robustness, EveryTruncationOfEachFormat)
{
    for (const QByteArray& full : samples()) {
        for (qsizetype n = 0; n < full.size(); ++n) {
            const QByteArray cut = full.left(n);
            // A cut file has lost its last bytes, so it is not recognised (a BMP is
            // only asked to end in a zero byte, which many cuts do).
            if (!full.startsWith("BM")) {
                EXPECT_EQ(modImageType::DetectImageKind(cut), ImageKind::Unsupported) << n;
            }
            expectConsistent(cut);
        }
    }
}

TEST(Robustness, CorruptedBytesInEachFormat)
{
    std::mt19937 rng(4711);
    for (const QByteArray& full : samples()) {
        for (int round = 0; round < 60; ++round) {
            QByteArray bad = full;
            const int flips = 1 + static_cast<int>(rng() % 8);
            for (int i = 0; i < flips; ++i)
                bad[static_cast<qsizetype>(rng() % static_cast<unsigned>(bad.size()))] = static_cast<char>(rng());
            expectConsistent(bad);
        }
    }
}

TEST(Robustness, HeadersPromisingHugeImages)
{
    // A BMP header claiming 60000 x 60000 pixels followed by almost nothing.
    QByteArray bmp("BM", 2);
    auto le32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            bmp.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    le32(54 + 16);
    le32(0);
    le32(54);
    le32(40);
    le32(60000);
    le32(60000);
    bmp.append("\x01\x00\x18\x00", 4);
    le32(0);
    le32(0);
    le32(0);
    le32(0);
    le32(0);
    le32(0);
    bmp.append(QByteArray(16, '\0'));
    EXPECT_TRUE(GDIPlusCandy().DataToImage(bmp).isNull());

    // A PNG whose header chunk says 100000 x 100000.
    QByteArray png = testimg::png(4, 4);
    png[16] = 0;
    png[17] = 0x01;
    png[18] = static_cast<char>(0x86);
    png[19] = static_cast<char>(0xA0);
    png[20] = 0;
    png[21] = 0x01;
    png[22] = static_cast<char>(0x86);
    png[23] = static_cast<char>(0xA0);
    expectConsistent(png);
    EXPECT_TRUE(GDIPlusCandy().DataToImage(png).isNull());
}

TEST(Robustness, EveryPrefixOfAnEntry)
{
    const QByteArray png = testimg::png(6, 6);
    const std::string full = testimg::entry("image/png", 3, "", png, 3);
    const std::size_t headerAndImageHeader = 12 + 8 + 25; // entry head, signature, IHDR
    for (int rev : {2, 3}) {
        for (std::size_t n = 0; n < full.size(); ++n) {
            MultiFrameData list;
            list.Add(full.substr(0, n), std::nullopt, std::nullopt, true);
            const auto decoded = APicDecoder::DecodeImage(list, 1, rev);
            if (n < headerAndImageHeader || rev == 2) {
                EXPECT_FALSE(decoded) << n;
            }
            if (decoded) {
                EXPECT_EQ(decoded->Pic.image().size(), QSize(6, 6));
            }
            const auto parsed = APicDecoder::ParsePictureEntry(full.substr(0, n), rev);
            EXPECT_EQ(parsed.has_value(), n >= (rev == 3 ? 12u : 10u)) << n;
        }
    }
}

TEST(SingleByteText, EveryByteRoundTrips)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const QString text = cp1252::toQString(all);
    EXPECT_EQ(text.size(), 256);
    EXPECT_EQ(text[0x80], QChar(0x20AC));
    EXPECT_EQ(text[0x9D], QChar(0x009D));
    EXPECT_EQ(text[0xE9], QChar(0x00E9));
    EXPECT_EQ(cp1252::fromQString(text), all);
    EXPECT_EQ(cp1252::fromQString(QString::fromUtf16(u"a\u0100\u20AC")), "a?\x80");
}

} // namespace
