// The window by keyboard alone: leaving the multi-line boxes, line breaks, and the keys
// of the list's commands.
#include "WindowTestSupport.h"

#include "tag/clsID3.h"

#include <QAccessible>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTabWidget>

using namespace brindle;
using namespace brindle::test;

class KeyboardTest : public WindowTest {
protected:
    void openShown()
    {
        open(dir.path());
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        w->activateWindow();
        QApplication::setActiveWindow(w.get());
    }
};

TEST_F(KeyboardTest, TabLeavesTheTextBoxesAndShiftEnterBreaksTheLine)
{
    WriteMp3(dir.filePath("a.mp3"), {.title = "A"});
    openShown();
    auto* comments = find<QPlainTextEdit>("txtComments");
    auto* lyrics = find<QPlainTextEdit>("txtLyrics");
    comments->setFocus();
    QTest::keyClick(comments, Qt::Key_Tab);
    EXPECT_FALSE(comments->toPlainText().contains('\t'));
    QWidget* next = QApplication::focusWidget();
    EXPECT_NE(next, comments);
    EXPECT_EQ(next, find<QCheckBox>("chkLyrics")); // the box of the next field, then the field
    QTest::keyClick(next, Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), comments);

    lyrics->setFocus();
    QTest::keyClicks(lyrics, "First line");
    QTest::keyClick(lyrics, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(lyrics, "second line");
    EXPECT_EQ(lyrics->toPlainText(), "First line\nsecond line");
    EXPECT_TRUE(find<QCheckBox>("chkLyrics")->isChecked());
    list()->selectionModel()->select(w->ListModel()->index(0, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(lyrics, Qt::Key_Return); // Enter applies
    clsID3 tag;
    tag.SetFileName(QFile::encodeName(dir.filePath("a.mp3")).toStdString());
    EXPECT_EQ(QString::fromStdU16String(tag.Lyrics), "First line\nsecond line");
}

TEST_F(KeyboardTest, ListCommandsHaveKeys)
{
    for (const char* n : {"a.mp3", "b.mp3", "c.mp3"})
        WriteMp3(dir.filePath(n));
    openShown();
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list()->selectionModel()->selectedRows().size(), 3);

    WriteMp3(dir.filePath("d.mp3"));
    QTest::keyClick(list(), Qt::Key_F5);
    EXPECT_EQ(w->ListModel()->rowCount(), 4);

    // Delete asks, with "No" as the default, and deletes nothing when refused.
    list()->selectionModel()->setCurrentIndex(w->ListModel()->index(1, 0),
                                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Delete);
    ASSERT_EQ(fakes->messages->shown.size(), 1);
    EXPECT_EQ(fakes->messages->shown[0].kind, FakeMessageBoxes::Kind::YesNo);
    EXPECT_TRUE(fakes->messages->shown[0].noIsDefault);
    EXPECT_TRUE(QFile::exists(dir.filePath("b.mp3")));
    // In a text box Delete edits the text and asks nothing.
    auto* title = find<QLineEdit>("txtTitle");
    title->setFocus();
    QTest::keyClick(title, Qt::Key_Delete);
    EXPECT_EQ(fakes->messages->shown.size(), 1);

    // F2 opens the name of the current row for editing.
    QTest::keyClick(title, Qt::Key_F2);
    auto* editor = list()->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->text(), w->ListModel()->cell(1, 0));
    EXPECT_TRUE(find<QAction>("mnuRename")->shortcut() == QKeySequence(Qt::Key_F2));
}

// A screen reader tells the fields apart by their captions.
TEST_F(KeyboardTest, FieldsHaveAccessibleNames)
{
    WriteMp3(dir.filePath("a.mp3"));
    openShown();
    auto name = [&](const char* object) {
        QAccessibleInterface* i = QAccessible::queryAccessibleInterface(find<QWidget>(object));
        return i ? i->text(QAccessible::Name) : QString("?");
    };
    EXPECT_EQ(name("txtTitle"), "Title");
    EXPECT_EQ(name("txtArtist"), "Artist");
    EXPECT_EQ(name("txtTracksTotal"), "Track total");
    EXPECT_EQ(name("txtInternetRadioStationURL"), "Net Radio Station URL");
    // Qt gives a combo box on Linux its text as name; the name is there for the bridge.
    EXPECT_EQ(find<QWidget>("cmbGenre")->accessibleName(), "Genre");
    // ...and the bus reports the line typed into apart, so it is named as well.
    EXPECT_EQ(find<QComboBox>("cmbGenre")->lineEdit()->accessibleName(), "Genre");
    EXPECT_EQ(name("Text1"), "Music folder");
    EXPECT_EQ(name("chkComments"), "Comments");
}

// At the smallest size the window allows, and at its design size, no two controls
// overlap, none leaves its frame, and every one-line field is tall enough for its font.
TEST_F(KeyboardTest, LayoutHoldsFromTheMinimumSizeUp)
{
    WriteMp3(dir.filePath("a.mp3"));
    openShown();
    const QSize smallest = w->minimumSize();
    ASSERT_GT(smallest.width(), 0);
    for (const QSize size : {smallest, QSize(664, 610), QSize(1000, 800)}) {
        w->resize(size);
        QApplication::processEvents();
        QList<QWidget*> placed;
        for (const char* name :
             {"Text1", "Command1", "Command5", "ListView1", "cmdUp", "cmdDown", "cmdCopy", "cmdDelTags", "Frame1"})
            placed << find<QWidget>(name);
        QList<QWidget*> inFrame;
        for (const char* name : {"TabStrip1", "Command2", "cmdExit", "chkSelAll", "chkAllTags", "optName", "optTrack",
                                 "lblTotal", "cmdHelp", "cmdLyrics", "cmdFreedb"})
            inFrame << find<QWidget>(name);
        for (const QList<QWidget*>& group : {placed, inFrame}) {
            for (QWidget* a : group) {
                EXPECT_TRUE(a->parentWidget()->rect().contains(a->geometry()))
                    << a->objectName().toStdString() << " leaves its frame at " << size.width() << "x" << size.height();
                EXPECT_GE(a->height(), a->minimumSizeHint().height()) << a->objectName().toStdString();
                for (QWidget* b : group) {
                    if (a < b) {
                        EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                            << a->objectName().toStdString() << " overlaps " << b->objectName().toStdString() << " at "
                            << size.width() << "x" << size.height();
                    }
                }
            }
        }
        for (QLineEdit* e : w->findChildren<QLineEdit*>()) {
            if (e->isVisible() && e->objectName().startsWith("txt")) {
                EXPECT_GE(e->height(), e->fontMetrics().height() + 4)
                    << e->objectName().toStdString() << " at " << size.width() << "x" << size.height();
            }
        }
    }
}

// Tab through every page: each stop is a control that does something (no bare scroll
// area), the album art can be chosen by keyboard, and after the page's fields come
// "Apply Tags", the options left to right and "Exit" last.
TEST_F(KeyboardTest, TabVisitsEveryPageInAReadingOrder)
{
    WriteMp3(dir.filePath("a.mp3"), {.title = "A"});
    openShown();
    auto* tabs = find<QTabWidget>("TabStrip1");
    const QStringList bottom = {"Command2", "chkSelAll", "chkAllTags", "optName",
                                "cmdHelp",  "cmdLyrics", "cmdFreedb",  "cmdExit"};
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        QWidget* start = find<QWidget>("Text1");
        start->setFocus();
        QStringList stops;
        for (int i = 0; i < 100; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* f = QApplication::focusWidget();
            if (f == start)
                break;
            EXPECT_EQ(qobject_cast<QScrollArea*>(f), nullptr) << "a bare scroll area on page " << page;
            stops << f->objectName();
        }
        ASSERT_GE(stops.size(), bottom.size());
        EXPECT_EQ(stops.mid(stops.size() - bottom.size()), bottom) << "page " << page;
        if (page == 2) {
            EXPECT_TRUE(stops.contains("picArt"));
        }
    }
    tabs->setCurrentIndex(2);
    auto* art = find<QWidget>("picArt");
    art->setFocus();
    QTest::keyClick(art, Qt::Key_Space);
    EXPECT_EQ(fakes->dialogs->imageRequests, 1);
}
