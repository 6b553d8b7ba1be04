#include "WindowTestSupport.h"

using namespace brindle;
using namespace brindle::test;

TEST_F(WindowTest, StoredSortColumnOrdersTheListAndShowsItsArrow)
{
    WriteMp3(dir.filePath("a.mp3"), {.title = "Song 9"});
    WriteMp3(dir.filePath("b.mp3"), {.title = "Song 10"});
    WriteMp3(dir.filePath("c.mp3"), {.title = "Song 1"});
    stored["Columns/SortKey"] = "1";
    stored["Columns/SortOrder"] = "1";
    open(dir.path());
    EXPECT_EQ(header()->sortIndicatorSection(), 1);
    EXPECT_EQ(header()->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(column(1), QStringList({"Song 10", "Song 9", "Song 1"}));
    // The editor shows the first row of the sorted list.
    EXPECT_EQ(find<QLineEdit>("txtTitle")->text(), "Song 10");
}

TEST_F(WindowTest, HeaderClicksSortAndAreRemembered)
{
    WriteMp3(dir.filePath("x.mp3"), {.title = "b", .artist = "Zed", .mpegFrames = 400});
    WriteMp3(dir.filePath("y.mp3"), {.title = "a", .artist = "Abe", .mpegFrames = 40});
    WriteMp3(dir.filePath("z.mp3"), {.title = "c", .artist = "Max", .mpegFrames = 4000});
    open(dir.path());
    w->show();
    auto clickHeader = [&](int column) {
        const int x = header()->sectionViewportPosition(column) + header()->sectionSize(column) / 2;
        QTest::mouseClick(header()->viewport(), Qt::LeftButton, {}, QPoint(x, header()->height() / 2));
    };
    clickHeader(2);
    EXPECT_EQ(column(2), QStringList({"Abe", "Max", "Zed"}));
    EXPECT_EQ(header()->sortIndicatorSection(), 2);
    clickHeader(2);
    EXPECT_EQ(column(2), QStringList({"Zed", "Max", "Abe"}));
    EXPECT_EQ(header()->sortIndicatorOrder(), Qt::DescendingOrder);
    clickHeader(8); // durations as times, shortest first
    EXPECT_EQ(column(0), QStringList({"y.mp3", "x.mp3", "z.mp3"}));
    EXPECT_EQ(w->SortKey(), 8);
    EXPECT_EQ(w->SortOrder(), 0);
    clickHeader(8);
    close();
    EXPECT_EQ(setting("Columns/SortKey"), "8");
    EXPECT_EQ(setting("Columns/SortOrder"), "1");
}

TEST_F(WindowTest, SortListKeepsTheStoredDirection)
{
    WriteMp3(dir.filePath("1.mp3"), {.artist = "Same", .album = "A"});
    WriteMp3(dir.filePath("2.mp3"), {.artist = "Same", .album = "B"});
    stored["Columns/SortKey"] = "2";
    stored["Columns/SortOrder"] = "1";
    open(dir.path());
    EXPECT_EQ(column(3), QStringList({"B", "A"})); // ties keep the direction
    w->SortList(3);
    EXPECT_EQ(column(3), QStringList({"B", "A"}));
    EXPECT_EQ(w->SortKey(), 2);
    EXPECT_EQ(w->SortOrder(), 1);
}
