// "Rename From Pattern..." and "Tags From Pattern...": the dialog's preview for the
// selected files and what OK does to them on disk. The pattern rules themselves are
// tested with the engine.
#include "WindowTestSupport.h"

#include "PatternDialog.h"
#include "tag/clsID3.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QTableWidget>

#include <functional>

using namespace brindle;
using namespace brindle::test;

namespace {

using Mark = PatternDialog::Row::Mark;

class PatternDialogTest : public WindowTest {
protected:
    void selectNames(const QStringList& names)
    {
        auto* sel = list()->selectionModel();
        sel->clearSelection();
        for (const QString& n : names)
            sel->select(w->ListModel()->index(w->ListModel()->rowOfName(QFile::encodeName(n)), 0),
                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    // Clicks `button`; once the dialog shows, types the pattern, lets `check` look at
    // the preview and presses OK (a dialog still open after 5 s is closed).
    void runDialog(const char* button, const QString& pattern, const std::function<void(QTableWidget*)>& check)
    {
        QTimer::singleShot(0, w.get(), [&] {
            auto* dialog = w->findChild<PatternDialog*>();
            EXPECT_NE(dialog, nullptr);
            if (!dialog)
                return;
            dialog->findChild<QComboBox*>("cmbPattern")->setEditText(pattern);
            dialog->refresh();
            check(dialog->findChild<QTableWidget*>("tblPreview"));
            dialog->findChild<QPushButton*>("cmdPatternOK")->click();
        });
        QTimer::singleShot(5000, w.get(), [] {
            if (QWidget* open = QApplication::activeModalWidget())
                open->close();
        });
        find<QPushButton>(button)->click();
    }
    static QString cell(QTableWidget* t, int r, int c) { return t->item(r, c) ? t->item(r, c)->text() : "<none>"; }
    static Mark mark(QTableWidget* t, int r) { return static_cast<Mark>(t->item(r, 0)->data(Qt::UserRole).toInt()); }
    QString tagOf(const QString& name, std::u16string clsID3::*p) const
    {
        clsID3 tag;
        tag.SetFileName(QFile::encodeName(dir.filePath(name)).toStdString());
        return FileListModel::toQString(tag.*p);
    }
};

TEST_F(PatternDialogTest, RenamePreviewMarksConflictsAndOkRenamesWithUndo)
{
    WriteMp3(dir.filePath("a.mp3"), {.title = "Back", .artist = "AC/DC", .track = "1"});
    WriteMp3(dir.filePath("b.mp3"), {.title = "Two", .artist = "X", .track = "2"});
    WriteMp3(dir.filePath("c.mp3"));
    WriteMp3(dir.filePath("02 - X - Two.mp3")); // not selected, but its name is taken
    open(dir.path());
    selectNames({"a.mp3", "b.mp3", "c.mp3"});
    const QString pattern = "%track% - %artist% - %title%";
    runDialog("cmdRenPattern", pattern, [](QTableWidget* t) {
        ASSERT_EQ(t->rowCount(), 3);
        EXPECT_EQ(cell(t, 0, 0), "a.mp3");
        EXPECT_EQ(cell(t, 0, 1), "01 - AC-DC - Back.mp3");
        EXPECT_EQ(mark(t, 0), Mark::Change);
        EXPECT_EQ(mark(t, 1), Mark::LeftAlone);
        EXPECT_TRUE(cell(t, 1, 2).contains("already exists")) << cell(t, 1, 2).toStdString();
        EXPECT_EQ(mark(t, 2), Mark::LeftAlone);
        EXPECT_TRUE(cell(t, 2, 2).contains("empty")) << cell(t, 2, 2).toStdString();
    });
    EXPECT_TRUE(QFile::exists(dir.filePath("01 - AC-DC - Back.mp3")));
    EXPECT_TRUE(QFile::exists(dir.filePath("b.mp3")));
    EXPECT_TRUE(QFile::exists(dir.filePath("c.mp3")));
    EXPECT_EQ(w->ListModel()->rowCount(), 4);
    ASSERT_TRUE(w->CanUndoRenames());
    w->UndoRenames();
    EXPECT_TRUE(QFile::exists(dir.filePath("a.mp3")));
    close();
    EXPECT_EQ(setting("Patterns/Rename1"), pattern);
    EXPECT_EQ(setting("Patterns/Replacement"), "-");
}

TEST_F(PatternDialogTest, TagsPreviewShowsOldAndNewValuesAndOkWritesMatchingFiles)
{
    WriteMp3(dir.filePath("07 - Harbour - Morning Tide.mp3"), {.title = "Old", .artist = "Harbour"});
    WriteMp3(dir.filePath("no pattern here.mp3"), {.title = "Kept"});
    WriteMp3(dir.filePath("08 - Other - Unselected.mp3"), {.title = "Unselected"});
    open(dir.path());
    selectNames({"07 - Harbour - Morning Tide.mp3", "no pattern here.mp3"});
    runDialog("cmdTagsPattern", "%track% - %artist% - %title%", [](QTableWidget* t) {
        ASSERT_EQ(t->rowCount(), 4); // three fields, then the name that does not match
        EXPECT_EQ(cell(t, 0, 1), "TrackNumber");
        EXPECT_EQ(cell(t, 0, 3), "07");
        EXPECT_EQ(mark(t, 1), Mark::Same); // the artist is already right
        EXPECT_EQ(cell(t, 2, 2), "Old");
        EXPECT_EQ(cell(t, 2, 3), "Morning Tide");
        EXPECT_EQ(mark(t, 2), Mark::Change);
        EXPECT_EQ(cell(t, 3, 0), "no pattern here.mp3");
        EXPECT_EQ(mark(t, 3), Mark::LeftAlone);
        EXPECT_TRUE(cell(t, 3, 4).contains("does not match")) << cell(t, 3, 4).toStdString();
    });
    EXPECT_EQ(tagOf("07 - Harbour - Morning Tide.mp3", &clsID3::Title), "Morning Tide");
    EXPECT_EQ(tagOf("07 - Harbour - Morning Tide.mp3", &clsID3::TrackNumber), "07");
    EXPECT_EQ(tagOf("no pattern here.mp3", &clsID3::Title), "Kept");
    EXPECT_EQ(tagOf("08 - Other - Unselected.mp3", &clsID3::Title), "Unselected");
    EXPECT_TRUE(fakes->messages->shown.isEmpty());
}

} // namespace
