#include "WindowTestSupport.h"

#include "platform/Desktop.h"

#include <QAction>
#include <QTabWidget>

using namespace brindle;
using namespace brindle::test;

namespace {
bool at96dpi() { return twipsPerPixelX() == 15 && twipsPerPixelY() == 15; }
} // namespace

TEST_F(WindowTest, FirstStartUsesTheDesignDefaults)
{
    WriteMp3(music.filePath("one.mp3"), {.title = "One"});
    open({}, false);
    auto* timer = find<QTimer>("Timer1");
    EXPECT_TRUE(timer->isActive()); // the scan waits until the window is idle
    EXPECT_EQ(w->ListModel()->rowCount(), 0);
    waitForFirstScan();
    EXPECT_EQ(w->ListModel()->rowCount(), 1);

    if (at96dpi()) {
        EXPECT_EQ(w->size(), QSize(664, 610));
    }
    EXPECT_EQ(find<QLineEdit>("Text1")->text(), music.path());
    // Design widths, widened only where the font would cut off a title or a typical cell.
    const QFontMetrics fm = header()->fontMetrics();
    for (int c = 0; c < kListColumnCount; ++c) {
        EXPECT_EQ(header()->visualIndex(c), c);
        EXPECT_GE(header()->sectionSize(c), twipsToPixelsX(kListColumns[c].widthTwips)) << c;
        EXPECT_GT(header()->sectionSize(c), fm.horizontalAdvance(kListColumns[c].title) + 16) << c;
    }
    EXPECT_EQ(header()->sectionSize(0), twipsToPixelsX(2500));
    EXPECT_EQ(header()->sortIndicatorSection(), 0);
    EXPECT_EQ(header()->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(find<QLabel>("lblTitle")->text().left(11), "Brindle - v");
    EXPECT_EQ(find<XP_ProgressBar>("XP_ProgressBarOlive")->Color(), QColor(40, 210, 43));
    EXPECT_FALSE(find<XP_ProgressBar>("XP_ProgressBarOlive")->isVisibleTo(w.get()));

    close();
    EXPECT_EQ(setting("Window/XSize"), "9960");
    EXPECT_EQ(setting("Window/YSize"), "9150");
    EXPECT_EQ(setting("Window/State"), "0");
    EXPECT_EQ(setting("Columns/SortKey"), "0");
    EXPECT_EQ(setting("Columns/SortOrder"), "0");
    EXPECT_EQ(setting("Columns/01"), "2500");
    EXPECT_EQ(setting("Columns/11"), "2500");
    EXPECT_GE(setting("Columns/10").toDouble(), 1170);
    EXPECT_EQ(setting("ColumnPos/01"), "1");
    EXPECT_EQ(setting("ColumnPos/11"), "11");
    EXPECT_EQ(setting("MP3s/Directory"), music.path());
    EXPECT_FALSE(setting("Window/XPos").isEmpty());
}

TEST_F(WindowTest, BadStoredValuesFallBackAndAreClamped)
{
    stored["Window/XSize"] = "wide";
    stored["Window/YSize"] = "1500"; // 100 pixels
    stored["Window/XPos"] = "-3000";
    stored["Window/YPos"] = "99999999";
    stored["Window/State"] = "1";
    stored["Columns/SortKey"] = "42";
    stored["Columns/SortOrder"] = "x";
    stored["Columns/05"] = "150";
    stored["Columns/03"] = "3000.5";
    stored["MP3s/Directory"] = music.path() + "/missing";
    open();

    EXPECT_EQ(w->width(), twipsToPixelsX(9960));
    EXPECT_EQ(w->height(), w->LayoutMinimumSize().height()); // where every control still fits
    const int leastHeight = w->height();
    EXPECT_EQ(w->pos().x(), 0);
    EXPECT_LE(w->pos().y(), QGuiApplication::primaryScreen()->geometry().height());
    EXPECT_EQ(w->SortKey(), 0);
    EXPECT_EQ(w->SortOrder(), 0);
    EXPECT_EQ(header()->sectionSize(4), twipsToPixelsX(200));
    EXPECT_EQ(find<QLineEdit>("Text1")->text(), music.path());
    EXPECT_FALSE(w->windowState() & Qt::WindowMinimized);

    close();
    EXPECT_EQ(setting("Window/XSize"), "9960");
    EXPECT_EQ(setting("Window/YSize"), QString::number(leastHeight * twipsPerPixelY()));
    EXPECT_EQ(setting("Window/XPos"), "0");
    EXPECT_EQ(setting("Window/State"), "0");
    EXPECT_EQ(setting("Columns/SortKey"), "0");
    EXPECT_EQ(setting("Columns/05"), "200");
    EXPECT_EQ(setting("Columns/03"), "3000.5"); // decimals survive a session
    EXPECT_EQ(setting("MP3s/Directory"), music.path());
}

TEST_F(WindowTest, NarrowStoredWidthOpensAtTheMinimum)
{
    stored["Window/XSize"] = QString::number(100 * twipsPerPixelX());
    open();
    EXPECT_EQ(w->width(), w->LayoutMinimumSize().width());
    EXPECT_GE(w->width(), 568);
}

TEST_F(WindowTest, MaximizedStateIsRestoredAndRecorded)
{
    stored["Window/State"] = "2";
    open();
    EXPECT_TRUE(w->windowState() & Qt::WindowMaximized);
    w->setWindowState(Qt::WindowNoState);
    close();
    EXPECT_EQ(setting("Window/State"), "0");

    open();
    w->setWindowState(Qt::WindowMaximized);
    close();
    EXPECT_EQ(setting("Window/State"), "2");
}

TEST_F(WindowTest, ColumnOrderRoundTrip)
{
    stored["ColumnPos/01"] = "3";
    stored["ColumnPos/02"] = "1";
    stored["ColumnPos/03"] = "2";
    open();
    EXPECT_EQ(header()->logicalIndex(0), 2);
    EXPECT_EQ(header()->logicalIndex(1), 0);
    EXPECT_EQ(header()->logicalIndex(2), 1);
    EXPECT_EQ(header()->logicalIndex(3), 3);
    close();
    EXPECT_EQ(setting("ColumnPos/01"), "3");
    EXPECT_EQ(setting("ColumnPos/02"), "1");
    EXPECT_EQ(setting("ColumnPos/03"), "2");

    // The user drags "Year" to the front and widens "Comments".
    open();
    header()->moveSection(header()->visualIndex(7), 0);
    header()->resizeSection(10, 300);
    close();
    EXPECT_EQ(setting("ColumnPos/01"), "8");
    EXPECT_EQ(setting("ColumnPos/02"), "3");
    EXPECT_EQ(setting("Columns/11"), QString::number(300 * twipsPerPixelX()));
    open();
    EXPECT_EQ(header()->logicalIndex(0), 7);
    EXPECT_EQ(header()->logicalIndex(1), 2);
    EXPECT_EQ(header()->sectionSize(10), 300);
}

TEST_F(WindowTest, StoredFolderWithTrailingSlashIsScannedAndWrittenBackWithout)
{
    WriteMp3(dir.filePath("x.mp3"));
    stored["MP3s/Directory"] = dir.path() + "/";
    open();
    EXPECT_EQ(find<QLineEdit>("Text1")->text(), dir.path());
    EXPECT_EQ(w->ListModel()->rowCount(), 1);
    close();
    EXPECT_EQ(setting("MP3s/Directory"), dir.path());
}

TEST_F(WindowTest, FolderWithoutPlainFilesFallsBackToMusic)
{
    QDir(dir.path()).mkdir("sub");
    WriteMp3(dir.filePath(".hidden.mp3"));
    stored["MP3s/Directory"] = dir.path();
    open();
    EXPECT_EQ(find<QLineEdit>("Text1")->text(), music.path());
}

TEST_F(WindowTest, StartFolderArgumentWinsForThisRun)
{
    WriteMp3(music.filePath("m.mp3"));
    WriteMp3(dir.filePath("d1.mp3"));
    WriteMp3(dir.filePath("d2.mp3"));
    stored["MP3s/Directory"] = music.path();
    open(dir.path());
    EXPECT_EQ(find<QLineEdit>("Text1")->text(), dir.path());
    EXPECT_EQ(w->ListModel()->rowCount(), 2);
    close();
    EXPECT_EQ(setting("MP3s/Directory"), dir.path());
}

TEST_F(WindowTest, LayoutStretchesWithTheWindow)
{
    open();
    w->show();
    for (QSize size : {QSize(664, 610), QSize(1000, 800), w->minimumSize()}) {
        w->resize(size);
        QTest::qWait(1);
        const int W = size.width() * twipsPerPixelX();
        const int H = size.height() * twipsPerPixelY();
        // A caption wider than its design space moves the top-row buttons left together.
        auto* refresh = find<QWidget>("Command5");
        const int extra = std::max(0, refresh->sizeHint().width() * twipsPerPixelX() - 735);
        // "Include subfolders" takes the right end of the folder line's room.
        auto* subfolders = find<QWidget>("chkSubfolders");
        EXPECT_NEAR(subfolders->geometry().right() + 1, twipsToPixelsX(120 + W - 1560 - extra), 1);
        EXPECT_LT(find<QLineEdit>("Text1")->geometry().right(), subfolders->x());
        EXPECT_GE(subfolders->width(), subfolders->sizeHint().width() - 1);
        EXPECT_EQ(find<QWidget>("Command1")->x(), twipsToPixelsX(W - 1335 - extra));
        EXPECT_EQ(refresh->x(), twipsToPixelsX(W - 840 - extra));
        EXPECT_GE(refresh->width(), refresh->sizeHint().width() - 1);
        // The list takes the width its button column leaves, up to 105 twips from the edge.
        auto* up = find<QWidget>("cmdUp");
        EXPECT_NEAR(up->geometry().right() + 1, twipsToPixelsX(W - 105), 1);
        EXPECT_NEAR(list()->geometry().right() + 1 + twipsToPixelsX(90), up->x(), 1);
        EXPECT_EQ(find<QWidget>("cmdDelTags")->x(), up->x());
        // The filter line takes the top 405 twips of the list's room.
        EXPECT_EQ(find<QWidget>("txtFilter")->y(), twipsToPixelsY(540));
        EXPECT_NEAR(list()->y(), twipsToPixelsY(540 + 405), 1);
        // Whole twips, as the layout counts them.
        // NOLINTBEGIN(bugprone-integer-division)
        EXPECT_NEAR(list()->geometry().bottom() + 1, twipsToPixelsY(540 + 4 * H / 5 - 2961), 1);
        auto* frame = find<QWidget>("Frame1");
        EXPECT_EQ(frame->y(), twipsToPixelsY(4 * H / 5 - 2376));
        EXPECT_EQ(frame->height(), twipsToPixelsY(H / 5 + 2271));
        // NOLINTEND(bugprone-integer-division)
        EXPECT_NEAR(frame->geometry().bottom() + 1, size.height() - 7, 1); // 105 twips above the bottom
        auto* tabs = find<QWidget>("TabStrip1");
        EXPECT_EQ(tabs->width(), twipsToPixelsX(W - 225 - 240));
        auto* bar = find<QWidget>("XP_ProgressBarOlive");
        auto* apply = find<QWidget>("Command2");
        auto* exitButton = find<QWidget>("cmdExit");
        EXPECT_EQ(bar->y(), exitButton->y() + twipsToPixelsY(60));
        EXPECT_NEAR(bar->geometry().right() + 1, apply->x() - twipsToPixelsX(100), 1);
        EXPECT_GE(bar->x(), twipsToPixelsX(3120));
        EXPECT_GT(bar->width(), 50);
        // Nothing in the bottom bar overlaps anything else there.
        const char* bottom[] = {"chkSelAll", "chkAllTags", "optName", "optTrack",  "XP_ProgressBarOlive",
                                "Command2",  "cmdExit",    "cmdHelp", "cmdLyrics", "cmdFreedb"};
        for (const char* a : bottom) {
            for (const char* b : bottom) {
                if (a != b) {
                    EXPECT_FALSE(find<QWidget>(a)->geometry().intersects(find<QWidget>(b)->geometry()))
                        << a << " overlaps " << b << " at " << size.width();
                }
            }
        }
        // No caption in the bottom bar is cut off.
        for (const char* name : {"chkSelAll", "chkAllTags", "optName", "optTrack", "Command2", "cmdExit", "cmdHelp",
                                 "cmdLyrics", "cmdFreedb"}) {
            EXPECT_GE(find<QWidget>(name)->width(), find<QWidget>(name)->sizeHint().width() - 1) << name;
        }
        EXPECT_GE(tabs->geometry().bottom(), 0);
        EXPECT_LT(tabs->geometry().bottom(), exitButton->y());
    }
}

TEST_F(WindowTest, HelpAndWebLinksOpenThroughTheShell)
{
    open();
    find<QPushButton>("cmdHelp")->click();
    ASSERT_EQ(fakes->shell->opened.size(), 1);
    EXPECT_TRUE(fakes->shell->opened[0].endsWith("/Help.html"));
    EXPECT_TRUE(QFile::exists(fakes->shell->opened[0]));

    find<QLineEdit>("txtArtist")->setText("AC/DC");
    find<QLineEdit>("txtTitle")->setText("T.N.T.");
    find<QLineEdit>("txtAlbum")->setText("High Voltage & More");
    find<QPushButton>("cmdLyrics")->click();
    find<QPushButton>("cmdFreedb")->click();
    ASSERT_EQ(fakes->shell->opened.size(), 3);
    const QUrl lyrics(fakes->shell->opened[1]);
    const QUrl cd(fakes->shell->opened[2]);
    EXPECT_EQ(lyrics.scheme(), "https");
    EXPECT_TRUE(lyrics.query(QUrl::FullyDecoded).contains("AC/DC T.N.T. lyrics")) << lyrics.toString().toStdString();
    EXPECT_TRUE(cd.query(QUrl::FullyDecoded).contains("AC/DC High Voltage & More")) << cd.toString().toStdString();
    EXPECT_EQ(find<QPushButton>("cmdLyrics")->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(WindowTest, F1OpensHelp)
{
    open();
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w.get(), Qt::Key_F1);
    ASSERT_EQ(fakes->shell->opened.size(), 1);
    EXPECT_TRUE(fakes->shell->opened[0].endsWith("Help.html"));
}

TEST_F(WindowTest, ExitClosesAndSaves)
{
    open();
    w->show();
    find<QPushButton>("cmdExit")->click();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(fakes->settings->at("MP3s/Directory"), music.path());
    EXPECT_GE(fakes->settings->syncs, 1);
}

TEST_F(WindowTest, FixedDropDownLists)
{
    const QStringList genres = GenreListEntries();
    ASSERT_EQ(genres.size(), 149);
    EXPECT_TRUE(genres.contains("Unknown"));
    EXPECT_LT(genres.indexOf("Eurodance"), genres.indexOf("Euro-House"));
    EXPECT_LT(genres.indexOf("Folklore"), genres.indexOf("Folk-Rock"));
    EXPECT_LT(genres.indexOf("Pop/Funk"), genres.indexOf("Pop-Folk"));
    const QStringList keys = KeyListEntries();
    ASSERT_EQ(keys.size(), 36);
    EXPECT_EQ(keys.mid(0, 6),
              QStringList({"A (minor)", "A flat", "A flat (minor)", "A sharp", "A sharp (minor)", "B (minor)"}));
    EXPECT_EQ(keys.last(), "Off key");
    EXPECT_FALSE(keys.contains("A"));
    open();
    EXPECT_EQ(find<QComboBox>("cmbGenre")->count(), 149);
    EXPECT_EQ(find<QComboBox>("cmbKey")->count(), 36);
    EXPECT_EQ(find<QTabWidget>("TabStrip1")->count(), 6);
}
