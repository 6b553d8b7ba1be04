#include "pictures/Picture.h"
#include "pictures/modHimetrics.h"

#include <gtest/gtest.h>

using namespace brindle;
using namespace brindle::modHimetrics;

namespace {

TEST(Himetrics, ConversionTruncatesTowardZero)
{
    EXPECT_EQ(HimetricToPixelsX(2540), 96); // one inch
    EXPECT_EQ(HimetricToPixelsY(2540), 96);
    EXPECT_EQ(HimetricToPixelsX(846), 31); // 31.98
    EXPECT_EQ(HimetricToPixelsX(847), 32);
    EXPECT_EQ(HimetricToPixelsX(26), 0);
    EXPECT_EQ(HimetricToPixelsX(-846), -31);
    EXPECT_EQ(HimetricToPixelsX(0), 0);
}

TEST(Himetrics, EveryPixelSizeSurvivesTheRoundTrip)
{
    EXPECT_EQ(PixelsToHimetricX(32), 847);
    for (int px = 0; px <= 20000; ++px) {
        ASSERT_EQ(HimetricToPixelsX(PixelsToHimetricX(px)), px) << px;
        ASSERT_EQ(HimetricToPixelsY(PixelsToHimetricY(px)), px) << px;
        // Never more than one unit above the exact length.
        ASSERT_LT(PixelsToHimetricX(px) - px * 2540.0 / 96.0, 1.0) << px;
    }
}

TEST(Picture, CarriesItsSizeInHimetric)
{
    const Picture icon(QImage(32, 32, QImage::Format_ARGB32));
    EXPECT_EQ(icon.Width(), 847);
    EXPECT_EQ(icon.Height(), 847);
    EXPECT_EQ(icon.pixelWidth(), 32);
    EXPECT_EQ(icon.pixelHeight(), 32);

    const Picture wide(QImage(33, 1, QImage::Format_RGB32));
    EXPECT_EQ(wide.pixelWidth(), 33);
    EXPECT_EQ(wide.pixelHeight(), 1);

    const Picture none;
    EXPECT_TRUE(none.isNull());
    EXPECT_EQ(none.Width(), 0);
    EXPECT_EQ(none.Height(), 0);
    EXPECT_EQ(Picture(QImage(), ImageKind::PNG).sourceKind(), ImageKind::Unsupported);
}

} // namespace
