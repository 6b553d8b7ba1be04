#include "WindowTestSupport.h"

#include <QAction>
#include <QMenu>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "../tag/FaultyFileSystem.h"
#include "tag/SafeRewrite.h"
#include "tag/clsID3.h"

#include <sys/wait.h>
#include <unistd.h>

using namespace brindle;
using namespace brindle::test;

TEST_F(WindowTest, ScanListsOnlyVisibleMp3Files)
{
    WriteMp3(dir.filePath("a.mp3"), {.title = "Alpha"});
    WriteMp3(dir.filePath("b.MP3"), {.title = "Beta"});
    WriteMp3(dir.filePath("c.mp3.txt"));
    WriteMp3(dir.filePath(".e.mp3"));
    QDir(dir.path()).mkdir("d.mp3");
    open(dir.path());

    EXPECT_EQ(column(0), QStringList({"a.mp3", "b.MP3"}));
    EXPECT_EQ(find<QLabel>("lblTotal")->text(), "Total Tracks: 2");
    // The editor shows the first file while no row is selected.
    EXPECT_EQ(find<QLineEdit>("txtTitle")->text(), "Alpha");
    EXPECT_TRUE(find<QLineEdit>("txtTitle")->isEnabled());
    EXPECT_TRUE(list()->selectionModel()->selectedRows().isEmpty());
    EXPECT_TRUE(fakes->messages->shown.isEmpty());
    EXPECT_EQ(w->CurrentTagRevision(), 3);
}

TEST_F(WindowTest, CellsShowTagFieldsAndAudioProperties)
{
    WriteMp3(dir.filePath("song.mp3"), {.title = "Morning",
                                        .artist = "Harbour",
                                        .album = "Coast",
                                        .track = "3",
                                        .year = "2019",
                                        .genre = "(17)",
                                        .comment = "live",
                                        .mpegFrames = 1000});
    open(dir.path());
    ASSERT_EQ(w->ListModel()->rowCount(), 1);
    const FileListModel::Row& r = w->ListModel()->row(0);
    QStringList cells;
    for (const auto& c : r)
        cells << FileListModel::toQString(c);
    EXPECT_EQ(cells, QStringList({"song.mp3", "Morning", "Harbour", "Coast", "Rock", "3", "", "2019", "0:26",
                                  "128 kbps CBR", "live"}));
    // Every cell's tool tip is its text.
    const QModelIndex artist = w->ListModel()->index(0, 2);
    EXPECT_EQ(artist.data(Qt::ToolTipRole).toString(), "Harbour");
    EXPECT_EQ(w->ListModel()->headerData(9, Qt::Horizontal, Qt::DisplayRole).toString(), "Bit Rate");
    EXPECT_EQ(artist.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(w->ListModel()->index(0, 9).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    EXPECT_EQ(find<QComboBox>("cmbGenre")->currentText(), "Rock");
    EXPECT_EQ(find<QPlainTextEdit>("txtComments")->toPlainText(), "live");
}

TEST_F(WindowTest, EmptyFolderLeavesTheEditorDisabledWithoutAMessage)
{
    open(dir.path());
    EXPECT_EQ(w->ListModel()->rowCount(), 0);
    EXPECT_EQ(find<QLabel>("lblTotal")->text(), "Total Tracks: 0");
    for (const char* name : {"txtTitle", "cmbGenre", "txtLyrics", "cmbKey", "txtDiscsTotal", "txtPublisherURL"})
        EXPECT_FALSE(find<QWidget>(name)->isEnabled()) << name;
    EXPECT_TRUE(fakes->messages->shown.isEmpty());

    // A rescan after files appear enables it again and empties stale fields first.
    find<QLineEdit>("txtComposer")->setText("stale");
    WriteMp3(dir.filePath("new.mp3"), {.title = "New"});
    find<QPushButton>("Command5")->click();
    EXPECT_EQ(w->ListModel()->rowCount(), 1);
    EXPECT_TRUE(find<QWidget>("txtTitle")->isEnabled());
    EXPECT_EQ(find<QLineEdit>("txtComposer")->text(), "");
    EXPECT_EQ(find<QLineEdit>("txtTitle")->text(), "New");
}

TEST_F(WindowTest, OptionButtonsRescan)
{
    open(dir.path());
    WriteMp3(dir.filePath("late.mp3"));
    find<QRadioButton>("optTrack")->click();
    EXPECT_EQ(w->ListModel()->rowCount(), 1);
    WriteMp3(dir.filePath("later.mp3"));
    find<QRadioButton>("optName")->click();
    EXPECT_EQ(w->ListModel()->rowCount(), 2);
}

TEST_F(WindowTest, SelectAllFilesOnAnEmptyListAsksForAFolder)
{
    open(dir.path());
    auto* box = find<QCheckBox>("chkSelAll");
    box->click();
    EXPECT_FALSE(box->isChecked());
    ASSERT_EQ(fakes->messages->shown.size(), 1);
    EXPECT_EQ(fakes->messages->shown[0].kind, FakeMessageBoxes::Kind::Information);
    EXPECT_EQ(fakes->messages->shown[0].text, "Please select a Music Folder     ");
    ASSERT_EQ(fakes->dialogs->folderRequests.size(), 1);
    EXPECT_EQ(fakes->dialogs->folderRequests[0].first, "Please select a Music Folder:");
    EXPECT_EQ(fakes->dialogs->folderRequests[0].second, dir.path() + "/");
    EXPECT_EQ(find<QLineEdit>("Text1")->text(), dir.path()); // cancelled: nothing changes
}

TEST_F(WindowTest, SelectAllFilesSelectsAndClearsRows)
{
    for (const char* n : {"1.mp3", "2.mp3", "3.mp3"})
        WriteMp3(dir.filePath(n));
    open(dir.path());
    auto* box = find<QCheckBox>("chkSelAll");
    auto* title = find<QCheckBox>("chkTitle");
    auto* track = find<QCheckBox>("chkTrack");
    auto* autoNumber = find<QCheckBox>("chkAutTrack");
    title->setChecked(true);
    track->setChecked(true);
    box->click();
    EXPECT_EQ(list()->selectionModel()->selectedRows().size(), 3);
    EXPECT_FALSE(title->isChecked());
    EXPECT_FALSE(track->isChecked());
    title->setChecked(true);
    autoNumber->setChecked(true);
    box->click();
    EXPECT_TRUE(list()->selectionModel()->selectedRows().isEmpty());
    EXPECT_FALSE(title->isChecked());
    EXPECT_FALSE(autoNumber->isChecked());

    // A mouse press while every row is selected clears the box first.
    box->click();
    ASSERT_TRUE(box->isChecked());
    w->show();
    const QRect second = list()->visualRect(w->ListModel()->index(1, 0));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(list()->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(w->CurrentFilePath(), dir.path() + "/2.mp3");
}

TEST_F(WindowTest, BrowseScansTheChosenFolder)
{
    WriteMp3(dir.filePath("chosen.mp3"), {.title = "Chosen"});
    open();
    fakes->dialogs->folderAnswers.push_back(dir.path());
    find<QPushButton>("Command1")->click();
    EXPECT_EQ(find<QLineEdit>("Text1")->text(), dir.path());
    EXPECT_EQ(column(0), QStringList({"chosen.mp3"}));
    EXPECT_EQ(fakes->dialogs->folderRequests[0].second, music.path() + "/");

    find<QPushButton>("Command1")->click(); // cancelled
    EXPECT_EQ(find<QLineEdit>("Text1")->text(), dir.path());
    EXPECT_EQ(w->ListModel()->rowCount(), 1);
}

TEST_F(WindowTest, SelectingARowLoadsItAndAVanishedFileLeavesTheList)
{
    WriteMp3(dir.filePath("a.mp3"), {.title = "First"});
    WriteMp3(dir.filePath("b.mp3"), {.title = "Second"});
    WriteMp3(dir.filePath("c.mp3"), {.title = "Third"});
    open(dir.path());
    auto* sel = list()->selectionModel();
    sel->setCurrentIndex(w->ListModel()->index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(find<QLineEdit>("txtTitle")->text(), "Second");

    QFile::remove(dir.filePath("c.mp3"));
    sel->setCurrentIndex(w->ListModel()->index(2, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(column(0), QStringList({"a.mp3", "b.mp3"}));
    EXPECT_EQ(find<QLabel>("lblTotal")->text(), "Total Tracks: 2");
    EXPECT_EQ(find<QLineEdit>("txtTitle")->text(), "Second"); // the editor keeps what it showed
}

TEST_F(WindowTest, ChangedFileRefreshesItsRowAndResorts)
{
    WriteMp3(dir.filePath("a.mp3"), {.title = "Apple"});
    WriteMp3(dir.filePath("b.mp3"), {.title = "Banana"});
    stored["Columns/SortKey"] = "1";
    open(dir.path());
    EXPECT_EQ(column(1), QStringList({"Apple", "Banana"}));
    WriteMp3(dir.filePath("a.mp3"), {.title = "Zucchini"});
    auto* sel = list()->selectionModel();
    w->show();
    // Row 1 is already the loaded row: clicking it reads the file again.
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualRect(w->ListModel()->index(0, 1)).center());
    EXPECT_EQ(column(1), QStringList({"Banana", "Zucchini"}));
    EXPECT_EQ(find<QLineEdit>("txtTitle")->text(), "Zucchini");
    // The loaded row stays current and selected after moving.
    EXPECT_EQ(sel->currentIndex().row(), 1);
    EXPECT_TRUE(sel->isRowSelected(1, {}));
}

TEST_F(WindowTest, DoubleClickAndPlayOpenTheFile)
{
    WriteMp3(dir.filePath("play me.mp3"));
    open(dir.path());
    auto* sel = list()->selectionModel();
    sel->setCurrentIndex(w->ListModel()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    w->findChild<QAction*>("mnuPlay")->trigger();
    ASSERT_EQ(fakes->shell->opened.size(), 1);
    EXPECT_EQ(fakes->shell->opened[0], dir.path() + "/play me.mp3");

    auto* menu = w->findChild<QMenu*>("mnuPopup");
    QStringList captions;
    for (QAction* a : menu->actions())
        captions << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(captions, QStringList({"Play Track", "Move Up", "Move Down", "-", "Edit Filename", "Clean Filename",
                                     "Use Title For Filename", "Use Filename For Title", "Undo Rename", "-",
                                     "Copy Selected Tag", "Copy All Tags", "-", "Remove From List", "Delete File"}));
}

TEST_F(WindowTest, ListsAFolderOfFortyThousandFiles)
{
    // Rows are not counted in 16 bits: every file of a big folder is listed.
    // One small file under 40 000 names (hard links keep the folder cheap to build).
    const QString first = dir.filePath("f00000.mp3");
    WriteMp3(first, {.title = "t", .mpegFrames = 1});
    const QByteArray target = QFile::encodeName(first);
    const int n = 40000;
    for (int i = 1; i < n; ++i) {
        const QByteArray name = QFile::encodeName(
            dir.filePath(QStringLiteral("f%1.mp3").arg(i, 5, 10, QLatin1Char('0'))));
        ASSERT_EQ(::link(target.constData(), name.constData()), 0);
    }
    open(dir.path());
    EXPECT_EQ(w->ListModel()->rowCount(), n);
    EXPECT_EQ(find<QLabel>("lblTotal")->text(), "Total Tracks: 40000");
    EXPECT_EQ(w->ListModel()->cell(n - 1, 0), "f39999.mp3");
    find<QCheckBox>("chkSelAll")->click();
    EXPECT_EQ(list()->selectionModel()->selectedRows().size(), n);
}

// A save killed after the refill is finished by the next scan of its folder, and the
// user is told; here the folder is typed into the folder line.
TEST_F(WindowTest, ScanFinishesAnInterruptedSaveAndSaysSo)
{
    const QByteArray state = QFile::encodeName(dir.filePath("state"));
    const bool hadState = qEnvironmentVariableIsSet("XDG_STATE_HOME");
    const QByteArray oldState = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", state);
    const std::string path = QFile::encodeName(music.filePath("a.mp3")).toStdString();
    WriteMp3(music.filePath("a.mp3"), {.title = "Old"});
    const pid_t pid = ::fork();
    if (pid == 0) {
        FaultyFileSystem fs;
        fs.beforeCall = [](const std::string& op) {
            if (op == "unlink") // the refill is done; the copy is still in the journal
                ::_exit(9);
        };
        clsID3 tag(&fs);
        tag.SetFileName(path);
        tag.Title = u"New";
        tag.UpdateID3Tags();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9);
    ASSERT_EQ(ListPendingSaves(FileSystem::posix()).size(), 1u);

    // Typed into the folder line: a path that is no folder leaves the list as it was,
    // and checking the folder before listing it must not swallow the note.
    WriteMp3(dir.filePath("other.mp3"), {});
    open(dir.path());
    auto* line = find<QLineEdit>("Text1");
    line->setText(dir.filePath("other.mp3"));
    QTest::keyClick(line, Qt::Key_Return);
    ASSERT_EQ(fakes->messages->shown.size(), 1);
    EXPECT_EQ(fakes->messages->shown.front().text,
              "This folder cannot be listed:\n\n" + dir.filePath("other.mp3") + "\n\ncannot be read: Not a directory");
    EXPECT_EQ(column(0), QStringList({"other.mp3"}));
    EXPECT_EQ(line->text(), dir.path());
    fakes->messages->shown.clear();
    line->setText(music.path());
    QTest::keyClick(line, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ListPendingSaves(FileSystem::posix()).empty());
    if (hadState)
        qputenv("XDG_STATE_HOME", oldState);
    else
        qunsetenv("XDG_STATE_HOME");
    EXPECT_EQ(find<QLineEdit>("txtTitle")->text(), "New");
    ASSERT_EQ(fakes->messages->shown.size(), 1);
    EXPECT_TRUE(fakes->messages->shown.front().text.contains("a.mp3"))
        << fakes->messages->shown.front().text.toStdString();
}
