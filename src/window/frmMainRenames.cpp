// The file-name tools of the main window: each rename batch, its undo, and the
// title made from each file's name.
#include "frmMain.h"

#include "ApplyBatch.h"
#include "WindowShared.h"

#include "controls/XP_ProgressBar.h"
#include "platform/Desktop.h"
#include "platform/FileOps.h"
#include "tools/FileTools.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QTreeView>

#include <algorithm>
#include <utility>

namespace brindle {

namespace {
const QString kSelectFileToEdit = QStringLiteral("Please select file to edit     ");
const QString kSelectFilenameToEdit = QStringLiteral("Please select a filename to edit     ");
} // namespace

// ---------------------------------------------------------------- renaming

void frmMain::finishRenames(const QStringList& failures)
{
    if (!failures.isEmpty())
        platform_.messages->exclamation(this, failureNotice(failures, "renamed"));
}

namespace {
// The rename tools take a name as lossless text (NameText), so a name that is not UTF-8
// is renamed as itself and never taken for its look-alike.
QByteArray bytesOf(const QString& nameText) { return QByteArray::fromStdString(NameBytes(nameText)); }
} // namespace

QString frmMain::toolName(int row) const { return NameText(model_->name(row).toStdString()); }

// Carries out a planned batch with the list frozen, then shows the folder as it is now
// with the same files (under their new names) selected, and names what could not be
// renamed.
void frmMain::recordRenames(const QList<RenameResult>& results)
{
    undoRenames_.clear();
    for (qsizetype k = results.size(); k-- > 0;)
        if (const RenameResult& r = results[k]; r.outcome == RenameOutcome::Renamed)
            undoRenames_.append({r.newName, r.oldName, r.folder});
    popup_.undoRename->setEnabled(!undoRenames_.isEmpty());
}

void frmMain::UndoRenames()
{
    if (undoRenames_.isEmpty())
        return;
    // The same no-clobber batch: a name taken since is reported, never replaced.
    const QList<PlannedRename> plan = std::exchange(undoRenames_, {});
    popup_.undoRename->setEnabled(false);
    // An undo stopped half way can be taken up again where it stopped.
    for (const RenameResult& r : renameAndRescan(plan, false, false))
        if (r.outcome == RenameOutcome::Stopped)
            undoRenames_.append({r.oldName, r.newName, r.folder});
    popup_.undoRename->setEnabled(!undoRenames_.isEmpty());
}

bool frmMain::confirmFolderRenames(const QList<PlannedRename>& plan)
{
    const auto count = std::count_if(plan.cbegin(), plan.cend(), [](const PlannedRename& p) {
        return !p.newName.isEmpty() && p.newName != p.oldName;
    });
    if (count == 0)
        return true;
    return platform_.messages->askYesNo(
        this,
        (subfolders_ ? QStringLiteral("This will rename %1 files in this folder and its subfolders. Continue?")
                     : QStringLiteral("This will rename %1 files in this folder. Continue?"))
            .arg(count),
        MessageBoxes::Default::No);
}

QList<RenameResult> frmMain::renameAndRescan(const QList<PlannedRename>& plan, bool clearSelectAll, bool recordUndo)
{
    QStringList skipped = std::exchange(writeFailures_, {});
    freezeRedraw(ListView1);
    if (clearSelectAll)
        setCheck(chkSelAll, false);
    ListPlace place = listPlace();
    // The batch is planned whole; stopped, it ends between two renames with every file
    // under its old or its new name (RenameInFolder), so undo and the list stay right.
    // Each file is renamed within its own folder.
    const QString folder = CurrentFolder();
    const int count = RenamesIn(plan);
    RenameSystem& sys = renameSystem_ ? *renameSystem_ : RenameSystem::posix();
    QList<RenameResult> results;
    if (count == 0) {
        results = brindle::RenameInFolders(folder, plan, sys);
    } else {
        runBeside(count, "renamed", batchProgress(count), [&](const BatchControl& control) {
            results = brindle::RenameInFolders(folder, plan, sys, control);
            return count - static_cast<int>(std::count_if(results.cbegin(), results.cend(), [](const RenameResult& r) {
                       return r.outcome == RenameOutcome::Stopped;
                   }));
        });
    }
    if (recordUndo)
        recordRenames(results);
    for (const RenameResult& r : results) {
        const QByteArray folder = r.folder.isEmpty() ? QByteArray() : bytesOf(r.folder) + '/';
        const QByteArray oldName = folder + bytesOf(r.oldName), now = folder + bytesOf(r.currentName());
        if (oldName == now)
            continue;
        for (QByteArray& name : place.selected)
            if (name == oldName)
                name = now;
        if (place.current == oldName)
            place.current = now;
    }
    ScanFolder(CurrentFolder());
    restoreListPlace(place);
    endProgress();
    if (isBusyCursor())
        restoreNormalCursor();
    unfreezeRedraw(ListView1);
    finishRenames(skipped + DescribeFailures(results));
    return results;
}

void frmMain::cmdRenFile_Click()
{
    const QList<int> rows = selectionToWorkOn(kSelectFileToEdit);
    if (rows.isEmpty())
        return;
    QList<PlannedRename> plan;
    for (int r : rows) {
        if (const QString title = model_->cell(r, 1); !title.isEmpty())
            plan.append(inRowFolder(r, brindle::PlanTitleForFilename(toolName(r), title)));
    }
    renameAndRescan(plan, true);
}

void frmMain::cmdRenTitle_Click()
{
    runPendingRefresh();
    if (listIsEmptyAskFolder())
        return;
    const bool everyRow = chkSelAll->isChecked();
    QList<int> rows;
    if (everyRow) {
        for (int r = 0; r < model_->rowCount(); ++r)
            rows << r;
    } else {
        rows = selectedRowsInOrder();
    }
    if (rows.isEmpty()) {
        platform_.messages->information(this, kNoFilesMessage);
        return;
    }
    if (everyRow)
        setCheck(chkSelAll, false);
    // The editor's other ticked fields go along; each file keeps its own pictures, as a
    // tool for titles must not replace anyone's album art.
    BatchValues values = batchValues();
    values.pictures = {};
    values.trackByText = false;
    values.autoNumber = false;
    values.titleFromFileName = true;
    runBatch(std::move(values), rows, everyRow);
    endProgress();
    ScanFolder(CurrentFolder());
    setCheck(title_->box, false);
    reportWriteFailures();
}

void frmMain::cmdEditFilename_Click()
{
    if (listIsEmptyAskFolder())
        return;
    const int row = currentRow();
    if (row < 0 || !ListView1->selectionModel()->isRowSelected(row, {})) {
        platform_.messages->exclamation(this, kSelectFilenameToEdit);
        restoreNormalCursor();
        return;
    }
    ListView1->setFocus();
    ListView1->edit(model_->index(row, 0));
}

void frmMain::ListView1_AfterLabelEdit(int row, const QString& text)
{
    if (row < 0 || row >= model_->rowCount())
        return;
    if (!EditedNameAccepted(text)) {
        platform_.messages->exclamation(this, QString::fromLatin1(kEditedNameRefused));
        return;
    }
    // The edited row's own file is renamed, and the row shows the name the file has
    // afterwards, whether or not the rename went through.
    const QString oldName = toolName(row);
    const QString folder = toolFolder(row);
    RenameResult result = brindle::EditFilename(folder.isEmpty() ? CurrentFolder()
                                                                 : withTrailingSlash(CurrentFolder()) + folder,
                                                oldName, text, renameSystem_ ? *renameSystem_ : RenameSystem::posix());
    result.folder = folder;
    recordRenames({result});
    const QString now = result.currentName();
    if (now != oldName)
        model_->setName(row, bytesOf(now), DisplayText(now));
    SetCellTooltips();
    if (row == currentRow()) {
        editorPath_ = rowPath(row);
        if (result.outcome == RenameOutcome::Renamed)
            LoadSelectedFile();
    }
    finishRenames(DescribeFailures({result}));
}

void frmMain::cmdClean_Click()
{
    const QList<int> rows = selectionToWorkOn(kNoFilesMessage);
    if (rows.isEmpty())
        return;
    showBusyCursor();
    QList<PlannedRename> plan;
    for (int r : rows) {
        plan.append(inRowFolder(r, brindle::PlanCleanFilename(toolName(r))));
    }
    renameAndRescan(plan, true);
}

void frmMain::Command4_Click()
{
    if (listIsEmptyAskFolder())
        return;
    QList<PlannedRename> plan;
    for (int r = 0; r < model_->rowCount(); ++r) {
        plan.append(inRowFolder(r, brindle::PlanRemoveLeadingNumbers(toolName(r))));
    }
    if (!confirmFolderRenames(plan)) {
        writeFailures_.clear();
        return;
    }
    renameAndRescan(plan, false);
}

void frmMain::Command6_Click()
{
    if (listIsEmptyAskFolder())
        return;
    // Numbered in list order, each folder from 1 (an album of its own).
    QList<PlannedRename> plan;
    QHash<QString, int> numbers;
    for (int r = 0; r < model_->rowCount(); ++r)
        plan.append(inRowFolder(r, brindle::PlanAutoNumber(toolName(r), ++numbers[toolFolder(r)])));
    if (!confirmFolderRenames(plan)) {
        writeFailures_.clear();
        return;
    }
    renameAndRescan(plan, false);
}

} // namespace brindle
