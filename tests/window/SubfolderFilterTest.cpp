// "Include subfolders" and the filter above the list, driven through the window on
// real files: which rows show, and that the tools reach only those files.
#include "WindowTestSupport.h"

#include "tag/clsID3.h"

#include <QItemSelectionModel>

#include <unistd.h>

using namespace brindle;
using namespace brindle::test;

namespace {

class SubfolderFilterTest : public WindowTest {
protected:
    void makeFolder(const QString& relative) { ASSERT_TRUE(QDir(dir.path()).mkpath(relative)); }
    QString tagOf(const QString& relative, std::u16string clsID3::*p) const
    {
        clsID3 tag;
        tag.SetFileName(QFile::encodeName(dir.filePath(relative)).toStdString());
        return FileListModel::toQString(tag.*p);
    }
    void selectRowsNamed(const QStringList& relativePaths)
    {
        auto* sel = list()->selectionModel();
        sel->clearSelection();
        for (const QString& p : relativePaths) {
            const int row = w->ListModel()->rowOfName(QFile::encodeName(p));
            ASSERT_GE(row, 0) << p.toStdString();
            sel->select(w->ListModel()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    QStringList relativePaths() const
    {
        QStringList out;
        for (int r = 0; r < w->ListModel()->rowCount(); ++r)
            out << QFile::decodeName(w->ListModel()->relativePath(r));
        return out;
    }
};

TEST_F(SubfolderFilterTest, SubfoldersListTheTreeAndToolsRenameInEachFilesFolder)
{
    makeFolder("Artist/Album");
    makeFolder("Other");
    makeFolder(".hidden");
    WriteMp3(dir.filePath("top.mp3"), {.title = "Top"});
    WriteMp3(dir.filePath("Artist/Album/01 x.mp3"), {.title = "Song"});
    WriteMp3(dir.filePath("Other/01 x.mp3"), {.title = "Other Song"});
    WriteMp3(dir.filePath(".hidden/h.mp3"), {.title = "Hidden"});
    // A link back up the tree is not walked twice.
    ASSERT_EQ(::symlink(QFile::encodeName(dir.path()).constData(),
                        QFile::encodeName(dir.filePath("Artist/loop")).constData()),
              0);

    open(dir.path());
    EXPECT_EQ(relativePaths(), QStringList({"top.mp3"})); // off by default
    EXPECT_EQ(w->ListModel()->columnCount(), 11);

    find<QCheckBox>("chkSubfolders")->click();
    EXPECT_TRUE(w->IncludesSubfolders());
    ASSERT_EQ(w->ListModel()->columnCount(), 12);
    EXPECT_EQ(w->ListModel()->headerData(11, Qt::Horizontal, Qt::DisplayRole).toString(), "Folder");
    EXPECT_EQ(find<QLabel>("lblTotal")->text(), "Total Tracks: 3");
    // The folder column sorts as names do.
    w->SortByColumnClick(11);
    EXPECT_EQ(relativePaths(), QStringList({"top.mp3", "Artist/Album/01 x.mp3", "Other/01 x.mp3"}));
    EXPECT_EQ(column(11), QStringList({"", "Artist/Album", "Other"}));

    // Two files of one name in two folders: each is renamed after its own title, in its
    // own folder.
    selectRowsNamed({"Artist/Album/01 x.mp3", "Other/01 x.mp3"});
    w->cmdRenFile_Click();
    EXPECT_TRUE(QFile::exists(dir.filePath("Artist/Album/Song.mp3")));
    EXPECT_TRUE(QFile::exists(dir.filePath("Other/Other Song.mp3")));
    EXPECT_FALSE(QFile::exists(dir.filePath("Song.mp3")));
    EXPECT_EQ(list()->selectionModel()->selectedRows().size(), 2);
    EXPECT_TRUE(fakes->messages->shown.isEmpty());
    w->UndoRenames();
    EXPECT_TRUE(QFile::exists(dir.filePath("Artist/Album/01 x.mp3")));
    EXPECT_TRUE(QFile::exists(dir.filePath("Other/01 x.mp3")));

    // The choice outlives the window.
    close();
    EXPECT_EQ(setting("MP3s/IncludeSubfolders"), "1");
    open(dir.path());
    EXPECT_TRUE(find<QCheckBox>("chkSubfolders")->isChecked());
    EXPECT_EQ(w->ListModel()->rowCount(), 3);
    EXPECT_EQ(w->SortKey(), 11);
    find<QCheckBox>("chkSubfolders")->click();
    EXPECT_EQ(relativePaths(), QStringList({"top.mp3"}));
    EXPECT_EQ(w->SortKey(), 0);
}

TEST_F(SubfolderFilterTest, FilterShowsMatchingRowsAndToolsTouchOnlyThose)
{
    WriteMp3(dir.filePath("Café Song.mp3"), {.title = "Morning"});
    WriteMp3(dir.filePath("b.mp3"), {.artist = "CAFE Band"});
    WriteMp3(dir.filePath("c.mp3"), {.title = "cafe"});
    WriteMp3(dir.filePath("zebra.mp3"), {.title = "Zebra"});
    open(dir.path());
    // A hidden row leaves the selection.
    selectRowsNamed({"b.mp3", "zebra.mp3"});
    auto* filter = find<QLineEdit>("txtFilter");
    QTest::keyClicks(filter, "cAfE");
    // Letter case and accents are ignored; a match in any cell counts.
    EXPECT_EQ(relativePaths(), QStringList({"b.mp3", "c.mp3", "Café Song.mp3"}));
    EXPECT_EQ(find<QLabel>("lblTotal")->text(), "Total Tracks: 3 of 4");
    EXPECT_EQ(list()->selectionModel()->selectedRows().size(), 1);

    // Every row shown, and only those, takes the value.
    find<QCheckBox>("chkSelAll")->click();
    find<QCheckBox>("chkAlbum")->setChecked(true);
    find<QLineEdit>("txtAlbum")->setText("Written");
    QTest::mouseClick(find<QPushButton>("Command2"), Qt::LeftButton);
    for (const char* name : {"Café Song.mp3", "b.mp3", "c.mp3"})
        EXPECT_EQ(tagOf(QString::fromUtf8(name), &clsID3::Album), "Written") << name;
    EXPECT_EQ(tagOf("zebra.mp3", &clsID3::Album), "");
    EXPECT_EQ(find<QLabel>("lblTotal")->text(), "Total Tracks: 3 of 4"); // the rescan keeps the filter

    filter->clear();
    EXPECT_EQ(w->ListModel()->rowCount(), 4);
    EXPECT_EQ(find<QLabel>("lblTotal")->text(), "Total Tracks: 4");
}

} // namespace
