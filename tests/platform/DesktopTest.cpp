#include "platform/Desktop.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>

using namespace brindle;

TEST(Desktop, TwipsFollowTheScreenResolution)
{
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchX();
    EXPECT_EQ(twipsPerPixelX(), static_cast<int>(std::lround(1440.0 / dpi)));
    if (qFuzzyCompare(dpi, 96.0)) {
        EXPECT_EQ(twipsPerPixelX(), 15);
        EXPECT_EQ(twipsToPixelsX(9960), 664);
        EXPECT_DOUBLE_EQ(pixelsToTwipsX(568), 8520);
    }
    EXPECT_EQ(twipsToPixelsY(pixelsToTwipsY(445)), 445);
}

TEST(Desktop, BusyCursorOnAndOff)
{
    EXPECT_FALSE(isBusyCursor());
    showBusyCursor();
    showBusyCursor(); // a second call does not stack another cursor
    EXPECT_TRUE(isBusyCursor());
    restoreNormalCursor();
    EXPECT_FALSE(isBusyCursor());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Desktop, FreezeRedraw)
{
    QWidget w;
    freezeRedraw(&w);
    EXPECT_FALSE(w.updatesEnabled());
    unfreezeRedraw(&w);
    EXPECT_TRUE(w.updatesEnabled());
    freezeRedraw(nullptr);
}
