#include "controls/XP_ProgressBar.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace brindle;

namespace {

const QColor kGreen(40, 210, 43);
const QColor kGreenTint150(166, 236, 167); // 150 + 105 * c / 255
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kFrame = qRgb(0x68, 0x68, 0x68);
const QRgb kInnerEdge = qRgb(0xEF, 0xEF, 0xEF);

QImage render(XP_ProgressBar& bar) { return bar.grab().toImage().convertToFormat(QImage::Format_RGB32); }

struct Bar {
    XP_ProgressBar bar;
    Bar(int w, int h, int value, QColor c = kGreen)
    {
        bar.resize(w, h);
        bar.setColor(c);
        bar.setValue(value);
    }
    QImage image() { return render(bar); }
};

// Columns along row y that are not white, between x0 and x1 exclusive.
std::vector<int> coloured(const QImage& img, int y, int x0, int x1)
{
    std::vector<int> xs;
    for (int x = x0; x < x1; ++x)
        if (img.pixel(x, y) != kWhite)
            xs.push_back(x);
    return xs;
}

void expectFrame(const QImage& img)
{
    const int w = img.width(), h = img.height();
    EXPECT_EQ(img.pixel(w / 2, 0), kFrame);
    EXPECT_EQ(img.pixel(w / 2, h - 1), kFrame);
    EXPECT_EQ(img.pixel(0, h / 2), kFrame);
    EXPECT_EQ(img.pixel(w - 1, h / 2), kFrame);
    EXPECT_EQ(img.pixel(w - 2, h / 2), kInnerEdge);
    const QPoint white[] = {
        {0, 0},         {0, 1},         {0, 2},         {1, 0},         {1, 1},         {2, 0},
        {2, 2},         {0, h - 1},     {1, h - 1},     {2, h - 1},     {0, h - 3},     {0, h - 2},
        {1, h - 2},     {w - 1, 0},     {w - 1, 1},     {w - 1, 2},     {w - 2, 2},     {w - 2, 1},
        {w - 1, h - 1}, {w - 1, h - 2}, {w - 1, h - 3}, {w - 2, h - 2}, {w - 2, h - 1}, {w - 3, h - 1},
    };
    for (const QPoint& p : white)
        EXPECT_EQ(img.pixel(p), kWhite) << "corner pixel " << p.x() << "," << p.y();
}

} // namespace

TEST(XP_ProgressBar, Defaults)
{
    XP_ProgressBar bar;
    EXPECT_EQ(bar.Value(), 0);
    EXPECT_EQ(bar.Min(), 0);
    EXPECT_EQ(bar.Max(), 100);
    EXPECT_EQ(bar.Orientation(), 0);
    EXPECT_EQ(bar.Scrolling(), 0);
    EXPECT_EQ(bar.BrushStyle(), 4);
    EXPECT_FALSE(bar.ShowText());
    EXPECT_EQ(bar.Color(), bar.palette().color(QPalette::Highlight));
    EXPECT_EQ(bar.Font().pointSize(), 8);
}

TEST(XP_ProgressBar, TintMovesTowardsWhite)
{
    EXPECT_EQ(XP_ProgressBar::TintColor(kGreen, 150), kGreenTint150);
    EXPECT_EQ(XP_ProgressBar::TintColor(kGreen, 0), kGreen);
    EXPECT_EQ(XP_ProgressBar::TintColor(kGreen, 255), QColor(255, 255, 255));
    EXPECT_EQ(XP_ProgressBar::TintColor(QColor(0, 128, 255), 80), QColor(80, 167, 255));
}

TEST(XP_ProgressBar, ValueZeroDrawsOnlyTheFrame)
{
    Bar b(200, 20, 0);
    const QImage img = b.image();
    for (int y = 1; y < 19; ++y)
        EXPECT_TRUE(coloured(img, y, 1, 198).empty()) << "row " << y;
    expectFrame(img);
    b.bar.setValue(-5);
    EXPECT_EQ(b.image(), img);
}

TEST(XP_ProgressBar, HalfBarEndsOnABlockBoundary)
{
    Bar b(200, 20, 49);
    const QImage img = b.image();
    const auto xs = coloured(img, 9, 1, 198);
    ASSERT_FALSE(xs.empty());
    EXPECT_EQ(xs.front(), 4);
    EXPECT_EQ(xs.back(), 97); // 12 blocks of 6 with 2-pixel gaps, bar start 3 + 96
    for (int x = 4; x < 99; ++x)
        EXPECT_EQ(img.pixel(x, 9) != kWhite, (x - 4) % 8 < 6) << "x " << x;
    // separators cross the whole height inside the frame
    for (int y = 1; y < 19; ++y)
        EXPECT_EQ(img.pixel(50, y), kWhite);
    expectFrame(img);
}

TEST(XP_ProgressBar, AnyProgressShowsTheFirstBlock)
{
    Bar b(200, 20, 1);
    const auto xs = coloured(b.image(), 9, 1, 198);
    ASSERT_EQ(xs.size(), 6u);
    EXPECT_EQ(xs.front(), 4);
    EXPECT_EQ(xs.back(), 9);
}

TEST(XP_ProgressBar, OverfullBarStaysInsideItsFrame)
{
    Bar b(200, 20, 120);
    const QImage img = b.image();
    for (int x = 4; x < 198; ++x)
        EXPECT_EQ(img.pixel(x, 9) != kWhite, (x - 4) % 8 < 6) << "x " << x;
    expectFrame(img);

    // Drawn onto a larger surface, nothing lands outside the control.
    QImage big(260, 60, QImage::Format_RGB32);
    big.fill(Qt::magenta);
    b.bar.render(&big, QPoint(20, 20));
    for (int y = 0; y < big.height(); ++y)
        for (int x = 0; x < big.width(); ++x) {
            const bool inside = x >= 20 && x < 220 && y >= 20 && y < 40;
            if (!inside) {
                ASSERT_EQ(big.pixel(x, y), QColor(Qt::magenta).rgb()) << x << "," << y;
            }
        }
    EXPECT_EQ(big.copy(20, 20, 200, 20), img);
}

TEST(XP_ProgressBar, BandsSitAtFixedRows)
{
    for (int h : {20, 40}) {
        Bar b(100, h, 98);
        const QImage img = b.image();
        const int x = 5;
        EXPECT_EQ(img.pixel(x, 2), kWhite) << h;
        EXPECT_EQ(QColor(img.pixel(x, 3)), kGreenTint150) << h;
        EXPECT_EQ(QColor(img.pixel(x, 9)), kGreen) << h;
        EXPECT_EQ(QColor(img.pixel(x, h / 2)), kGreen) << h;
        EXPECT_EQ(QColor(img.pixel(x, h - 10)), kGreen) << h;
        EXPECT_EQ(QColor(img.pixel(x, h - 4)), kGreenTint150) << h;
        EXPECT_EQ(img.pixel(x, h - 3), kWhite) << h;
        // the top band runs evenly between its ends
        const QColor mid(img.pixel(x, 6));
        EXPECT_GT(mid.red(), kGreen.red());
        EXPECT_LT(mid.red(), kGreenTint150.red());
    }
}

TEST(XP_ProgressBar, SystemColourResolvesThroughThePalette)
{
    XP_ProgressBar bar;
    QPalette pal = bar.palette();
    pal.setColor(QPalette::Highlight, QColor(12, 34, 56));
    pal.setColor(QPalette::Button, QColor(200, 201, 202));
    bar.setPalette(pal);
    bar.setColor(XP_ProgressBar::kSystemHighlight);
    EXPECT_EQ(bar.Color(), QColor(12, 34, 56));
    bar.setColor(std::uint32_t{0x8000000F});
    EXPECT_EQ(bar.Color(), QColor(200, 201, 202));
    bar.setColor(std::uint32_t{0x002BD228}); // 0x00BBGGRR
    EXPECT_EQ(bar.Color(), kGreen);
    bar.resize(100, 20);
    bar.setValue(50);
    EXPECT_EQ(QColor(render(bar).pixel(5, 9)), kGreen);
}

TEST(XP_ProgressBar, VerticalBarFillsFromTheBottom)
{
    XP_ProgressBar bar;
    bar.resize(20, 200);
    bar.setColor(kGreen);
    bar.setOrientation(1);
    bar.setValue(49);
    const QImage img = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
    int firstFilled = -1;
    for (int y = 1; y < 199; ++y)
        if (img.pixel(12, y) != kWhite) {
            firstFilled = y;
            break;
        }
    EXPECT_EQ(firstFilled, 200 - 1 - 97); // 12 blocks up from the bottom, mirroring the horizontal bar
    EXPECT_EQ(img.pixel(12, 195), kGreen.rgb());
    EXPECT_EQ(QColor(img.pixel(4, 195)), kGreenTint150);
    expectFrame(img);
}

TEST(XP_ProgressBar, TextShowsOnlyOverTheFill)
{
    Bar plain(200, 20, 0);
    const QImage empty = plain.image();
    plain.bar.setShowText(true);
    EXPECT_EQ(plain.image(), empty); // no fill yet: the text is cut off

    Bar b(200, 20, 100);
    const QImage noText = b.image();
    b.bar.setShowText(true);
    const QImage withText = b.image();
    EXPECT_NE(withText, noText);
    // The text is drawn in a lighter shade of the bar colour, around the middle.
    bool lighter = false;
    for (int y = 3; y < 17; ++y)
        for (int x = 80; x < 120; ++x)
            if (withText.pixel(x, y) != noText.pixel(x, y))
                lighter = true;
    EXPECT_TRUE(lighter);
}

TEST(XP_ProgressBar, GrowingTheControlRedrawsAtTheNewSize)
{
    Bar b(100, 20, 98);
    (void)b.image();
    b.bar.resize(300, 20);
    const QImage img = b.image();
    ASSERT_EQ(img.width(), 300);
    const auto xs = coloured(img, 9, 1, 298);
    ASSERT_FALSE(xs.empty());
    EXPECT_GT(xs.back(), 280);
    expectFrame(img);
    b.bar.resize(60, 20);
    expectFrame(b.image());
}
