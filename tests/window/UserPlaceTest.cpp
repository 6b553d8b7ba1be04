// The window writes what the user sees into the files the user chose: each case is a
// user's steps with real mouse and key events on real files, read back from disk.
#include "WindowTestSupport.h"

#include "tag/clsID3.h"

#include <QAction>
#include <QBuffer>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTabWidget>

#include <sys/stat.h>

using namespace brindle;
using namespace brindle::test;

namespace {

std::string PngApic(QColor colour, int pictureType)
{
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(colour);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return Frame(3, "APIC",
                 std::string("\0image/png\0", 11) + char(pictureType) + std::string(1, '\0') + png.toStdString());
}

} // namespace

class UserPlaceTest : public WindowTest {
protected:
    std::string native(const QByteArray& name) const
    {
        return (QFile::encodeName(dir.path()) + '/' + name).toStdString();
    }
    std::string native(const char* name) const { return native(QByteArray(name)); }
    void writeTitled(const QByteArray& name, const std::string& title, const std::string& extra = {})
    {
        WriteFile(native(name), Tag(3, Frame(3, "TIT2", Latin1(title)) + extra, 16) + MpegFrames(10));
    }
    std::unique_ptr<clsID3> read(const QByteArray& name) const
    {
        auto tag = std::make_unique<clsID3>();
        tag->SetFileName(native(name));
        return tag;
    }
    QString album(const char* name) const { return QString::fromStdU16String(read(name)->Album); }
    QString title(const QByteArray& name) const { return QString::fromStdU16String(read(name)->Title); }

    void show()
    {
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    }
    int rowOf(const QString& name) const { return column(0).indexOf(name); }
    void clickRow(int row, Qt::KeyboardModifiers mods = {})
    {
        const QRect r = list()->visualRect(w->ListModel()->index(row, 0));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, mods, r.center());
        QApplication::processEvents();
    }
    void typeInto(const char* control, const QString& text)
    {
        auto* box = find<QLineEdit>(control);
        QTest::mouseClick(box, Qt::LeftButton);
        box->selectAll();
        QTest::keyClicks(box, text);
    }
    void apply() { QTest::mouseClick(find<QPushButton>("Command2"), Qt::LeftButton); }
    QStringList selectedNames() const
    {
        QStringList out;
        for (const QModelIndex& i : list()->selectionModel()->selectedRows())
            out << w->ListModel()->cell(i.row(), 0);
        out.sort();
        return out;
    }
    QString currentName() const { return w->ListModel()->cell(list()->currentIndex().row(), 0); }
};

// A click on a row whose file changed on disk re-sorts the list: the clicked file stays
// selected and current, and Apply writes into it alone. A click on a vanished file's
// row takes the row away and leaves nothing selected to write to.
TEST_F(UserPlaceTest, AClickedRowThatMovesOrVanishesNeverSendsAValueToAnotherFile)
{
    writeTitled("a.mp3", "Apple");
    writeTitled("b.mp3", "Banana");
    writeTitled("c.mp3", "Cherry");
    writeTitled("d.mp3", "Damson");
    stored["Columns/SortKey"] = "1";
    open(dir.path());
    show();
    writeTitled("b.mp3", "Zucchini"); // moves to the end once the row is refreshed
    const std::string a = ReadFile(native("a.mp3")), c = ReadFile(native("c.mp3")), d = ReadFile(native("d.mp3"));
    clickRow(rowOf("b.mp3"));
    EXPECT_EQ(column(1), QStringList({"Apple", "Cherry", "Damson", "Zucchini"}));
    EXPECT_EQ(selectedNames(), QStringList({"b.mp3"}));
    EXPECT_EQ(currentName(), "b.mp3");
    EXPECT_EQ(find<QLineEdit>("txtTitle")->text(), "Zucchini");
    typeInto("txtAlbum", "RIGHT TARGET");
    apply();
    EXPECT_EQ(album("b.mp3"), "RIGHT TARGET");
    EXPECT_EQ(ReadFile(native("a.mp3")), a);
    EXPECT_EQ(ReadFile(native("c.mp3")), c);
    EXPECT_EQ(ReadFile(native("d.mp3")), d);

    QFile::remove(dir.filePath("c.mp3"));
    clickRow(rowOf("c.mp3"));
    EXPECT_EQ(column(0), QStringList({"a.mp3", "d.mp3", "b.mp3"}));
    EXPECT_EQ(find<QLabel>("lblTotal")->text(), "Total Tracks: 3");
    EXPECT_TRUE(selectedNames().isEmpty());
    fakes->messages->shown.clear();
    apply();
    ASSERT_EQ(fakes->messages->shown.size(), 1);
    EXPECT_EQ(fakes->messages->shown[0].text, "Please select files to process     ");
    EXPECT_EQ(ReadFile(native("a.mp3")), a);
    EXPECT_EQ(ReadFile(native("d.mp3")), d);
}

// One field applied to several files leaves each file's own pictures; one file alone
// gets its unchanged pictures back as they were.
TEST_F(UserPlaceTest, AlbumArtIsWrittenOnlyWhereTheArtPageChanged)
{
    writeTitled("01.mp3", "One", PngApic(Qt::red, 3) + PngApic(Qt::blue, 4));
    writeTitled("02.mp3", "Two");
    open(dir.path());
    show();
    const auto before = read("01.mp3");
    clickRow(0);
    clickRow(1, Qt::ControlModifier); // 02, without pictures, is now current
    EXPECT_EQ(w->ArtEditor().Count(), 0);
    typeInto("txtAlbum", "Shared");
    apply();
    EXPECT_EQ(album("01.mp3"), "Shared");
    EXPECT_EQ(album("02.mp3"), "Shared");
    ASSERT_EQ(read("01.mp3")->AttachedPictures->Count(), 2);
    EXPECT_TRUE(*read("01.mp3")->AttachedPictures == *before->AttachedPictures);
    EXPECT_EQ(read("02.mp3")->AttachedPictures->Count(), 0);

    clickRow(0);
    typeInto("txtAlbum", "Alone");
    apply();
    EXPECT_EQ(album("01.mp3"), "Alone");
    EXPECT_TRUE(*read("01.mp3")->AttachedPictures == *before->AttachedPictures);

    // Deleting a picture on the page is a change: it is written to the selected files.
    find<QTabWidget>("TabStrip1")->setCurrentIndex(2);
    QTest::mouseClick(find<QWidget>("delArt"), Qt::LeftButton);
    EXPECT_TRUE(w->ArtChanged());
    EXPECT_TRUE(find<QTabWidget>("TabStrip1")->tabText(2).startsWith("Album Art "));
    apply();
    EXPECT_EQ(read("01.mp3")->AttachedPictures->Count(), 1);
    EXPECT_EQ(read("02.mp3")->AttachedPictures->Count(), 0);
    EXPECT_EQ(find<QTabWidget>("TabStrip1")->tabText(2), "Album Art");
}

// Typing ticks the field, a ticked field keeps its text while more rows are selected,
// loading never ticks, and a page with ticked fields shows it on its tab.
TEST_F(UserPlaceTest, TypedInputIsKeptAndWrittenToEverySelectedFile)
{
    writeTitled("a.mp3", "A", Frame(3, "TALB", Latin1("Legacy")));
    writeTitled("b.mp3", "B", Frame(3, "TALB", Latin1("Other")));
    writeTitled("c.mp3", "C");
    open(dir.path());
    show();
    auto* tabs = find<QTabWidget>("TabStrip1");
    clickRow(0);
    EXPECT_EQ(tabs->tabText(0), "Basic");
    typeInto("txtAlbum", "Typed");
    EXPECT_TRUE(find<QCheckBox>("chkAlbum")->isChecked());
    EXPECT_NE(tabs->tabText(0), "Basic");
    clickRow(1, Qt::ControlModifier);
    EXPECT_EQ(find<QLineEdit>("txtAlbum")->text(), "Typed");
    EXPECT_EQ(find<QLineEdit>("txtTitle")->text(), "B"); // unticked fields follow the current row
    for (QCheckBox* box : w->findChildren<QCheckBox*>())
        EXPECT_EQ(box->isChecked(), box->objectName() == "chkAlbum") << box->objectName().toStdString();
    apply();
    EXPECT_EQ(album("a.mp3"), "Typed");
    EXPECT_EQ(album("b.mp3"), "Typed");
    EXPECT_EQ(album("c.mp3"), "");

    // A tick on another page is shown there, and unticking clears the mark.
    auto* artistUrl = find<QCheckBox>("chkArtistURL");
    artistUrl->click();
    EXPECT_EQ(tabs->tabText(4).left(19), "Additional Tag Info");
    EXPECT_NE(tabs->tabText(4), "Additional Tag Info");
    artistUrl->click();
    EXPECT_EQ(tabs->tabText(4), "Additional Tag Info");
}

// After Apply and a rescan the same files stay selected, the same file current and
// loaded, and the list where it was scrolled.
TEST_F(UserPlaceTest, ApplyAndRefreshKeepTheUsersPlace)
{
    for (int i = 0; i < 60; ++i)
        writeTitled(QStringLiteral("%1.mp3").arg(i, 2, 10, QLatin1Char('0')).toLatin1(), "t");
    open(dir.path());
    show();
    QScrollBar* bar = list()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum() / 2);
    const int first = list()->indexAt(QPoint(5, 5)).row();
    clickRow(first + 1);
    clickRow(first + 3, Qt::ControlModifier);
    const QStringList selected = selectedNames();
    const int scroll = bar->value();
    typeInto("txtYear", "1999");
    apply();
    EXPECT_EQ(selectedNames(), selected);
    EXPECT_EQ(list()->currentIndex().row(), first + 3);
    EXPECT_EQ(bar->value(), scroll);
    EXPECT_EQ(w->CurrentFilePath(), dir.filePath(selected[1]));
    QTest::mouseClick(find<QPushButton>("Command5"), Qt::LeftButton);
    EXPECT_EQ(selectedNames(), selected);
    EXPECT_EQ(bar->value(), scroll);
}

// Enter in the folder line lists the folder it names; a path that is no folder is
// refused with a message and the list stays, with its own folder in the line.
TEST_F(UserPlaceTest, EnterInTheFolderLineListsThatFolder)
{
    writeTitled("old.mp3", "Old");
    WriteMp3(music.filePath("new.mp3"), {.title = "New"});
    open(dir.path());
    show();
    auto* line = find<QLineEdit>("Text1");
    line->selectAll();
    QTest::keyClicks(line, dir.filePath("missing"));
    QTest::keyClick(line, Qt::Key_Return);
    ASSERT_EQ(fakes->messages->shown.size(), 1);
    EXPECT_TRUE(fakes->messages->shown[0].text.contains(dir.filePath("missing")));
    EXPECT_EQ(column(0), QStringList({"old.mp3"}));
    EXPECT_EQ(line->text(), dir.path());
    clickRow(0);
    EXPECT_EQ(column(0), QStringList({"old.mp3"})); // the row's path is its folder's

    line->selectAll();
    QTest::keyClicks(line, music.path());
    QTest::keyClick(line, Qt::Key_Return);
    EXPECT_EQ(column(0), QStringList({"new.mp3"}));
    EXPECT_EQ(w->CurrentFolder(), music.path());
    EXPECT_EQ(find<QLineEdit>("txtTitle")->text(), "New");
}

// A name that is not UTF-8 is listed, loaded and written as itself, beside the file
// whose name is its replacement-character spelling.
TEST_F(UserPlaceTest, FileNamesAreBytes)
{
    const QByteArray odd("song\xff.mp3"), twin("song\xef\xbf\xbd.mp3");
    writeTitled(odd, "Odd");
    writeTitled(twin, "Twin");
    open(dir.path());
    show();
    ASSERT_EQ(w->ListModel()->rowCount(), 2);
    EXPECT_EQ(find<QLabel>("lblTotal")->text(), "Total Tracks: 2");
    const int row = w->ListModel()->name(0) == odd ? 0 : 1;
    const std::string twinBytes = ReadFile(native(twin));
    clickRow(row);
    EXPECT_EQ(w->EditorPath(), QFile::encodeName(dir.path()) + '/' + odd);
    EXPECT_EQ(find<QLineEdit>("txtTitle")->text(), "Odd");
    typeInto("txtTitle", "Written");
    apply();
    EXPECT_EQ(title(odd), "Written");
    EXPECT_EQ(ReadFile(native(twin)), twinBytes);
    EXPECT_EQ(w->ListModel()->rowCount(), 2);

    // Nor can the desktop: Play Track names the file instead of opening its twin.
    clickRow(w->ListModel()->rowOfName(odd));
    fakes->messages->shown.clear();
    w->findChild<QAction*>("mnuPlay")->trigger();
    EXPECT_TRUE(fakes->shell->opened.isEmpty());
    ASSERT_EQ(fakes->messages->shown.size(), 1);

    // The renaming tools rename the file itself, its odd byte kept.
    clickRow(w->ListModel()->rowOfName(odd));
    QTest::mouseClick(find<QPushButton>("cmdClean"), Qt::LeftButton);
    EXPECT_EQ(title(QByteArray("Song\xff.mp3")), "Written");
    EXPECT_EQ(ReadFile(native(twin)), twinBytes);
    EXPECT_GE(w->ListModel()->rowOfName(QByteArray("Song\xff.mp3")), 0);
}
