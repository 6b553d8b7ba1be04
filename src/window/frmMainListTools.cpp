// List operations and the file-name tools of the main window.
#include "frmMain.h"

#include "ApplyBatch.h"
#include "WindowShared.h"

#include "controls/XP_ProgressBar.h"
#include "platform/Desktop.h"
#include "platform/FileOps.h"
#include "tag/Parallel.h"
#include "tag/clsID3.h"
#include "tools/FileTools.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QKeyEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

namespace brindle {

namespace {

const QString kSelectFileToProcess = QStringLiteral("Please select a file to process     ");
const QString kDeleteTagsQuestion = QStringLiteral(
    "This will delete all editable tags from the selected file.  Are you sure you want to do this?     ");

// A question about many files lists this many names and counts the rest.
constexpr int kNamesListed = 10;

// The in-place editor of a row's file name. The typed text never goes into the model
// by itself: once the editor has closed, the window decides whether it becomes the
// file's name (a message box cannot safely open while the editor is committing).
class FileNameDelegate : public QStyledItemDelegate {
public:
    FileNameDelegate(frmMain* window, QObject* parent) : QStyledItemDelegate(parent), window_(window) {}

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        const auto* edit = qobject_cast<QLineEdit*>(editor);
        if (!edit || !index.isValid())
            return;
        const QPersistentModelIndex row(index);
        const QString text = edit->text();
        frmMain* window = window_;
        QTimer::singleShot(0, window, [window, row, text] {
            if (row.isValid())
                window->ListView1_AfterLabelEdit(row.row(), text);
        });
    }

private:
    frmMain* window_;
};

// The clipboard block of one row: nine labelled cells and an empty line.
QString informationBlock(const FileListModel& m, int row)
{
    static const std::pair<const char*, int> lines[] = {
        {"Name: ", 0},  {"Title: ", 1}, {"Artist: ", 2}, {"Album: ", 3},   {"Genre: ", 4},
        {"Track: ", 5}, {"Year: ", 7},  {"Time: ", 8},   {"Bitrate: ", 9},
    };
    QString block;
    for (const auto& [label, column] : lines)
        block += QLatin1String(label) + m.cell(row, column) + QStringLiteral("\r\n");
    return block + QStringLiteral("\r\n");
}

} // namespace

// "This file could not be <done>:" or "These N files ...", then one line per file.
QString failureNotice(const QStringList& failures, const char* done)
{
    const QString intro =
        failures.size() == 1
            ? QStringLiteral("This file could not be %1:\n\n").arg(QLatin1String(done))
            : QStringLiteral("These %1 files could not be %2:\n\n").arg(failures.size()).arg(QLatin1String(done));
    return intro + failures.join(QLatin1Char('\n'));
}

void frmMain::connectListTools()
{
    connect(popup_.moveUp, &QAction::triggered, this, &frmMain::cmdUp_Click);
    connect(popup_.moveDown, &QAction::triggered, this, &frmMain::cmdDown_Click);
    connect(popup_.rename, &QAction::triggered, this, &frmMain::cmdEditFilename_Click);
    connect(popup_.clean, &QAction::triggered, this, &frmMain::cmdClean_Click);
    connect(popup_.title4File, &QAction::triggered, this, &frmMain::cmdRenFile_Click);
    connect(popup_.file4Title, &QAction::triggered, this, &frmMain::cmdRenTitle_Click);
    connect(popup_.undoRename, &QAction::triggered, this, &frmMain::UndoRenames);
    connect(popup_.copy1, &QAction::triggered, this, &frmMain::mnuCopy1_Click);
    connect(popup_.copy, &QAction::triggered, this, &frmMain::cmdCopy_Click);
    connect(popup_.remove, &QAction::triggered, this, &frmMain::mnuRemove_Click);
    connect(popup_.del, &QAction::triggered, this, &frmMain::mnuDelete_Click);

    connect(cmdUp, &QPushButton::clicked, this, &frmMain::cmdUp_Click);
    connect(cmdDown, &QPushButton::clicked, this, &frmMain::cmdDown_Click);
    connect(cmdCopy, &QPushButton::clicked, this, &frmMain::cmdCopy_Click);
    connect(cmdDelTags, &QPushButton::clicked, this, &frmMain::cmdDelTags_Click);
    connect(tools_.renFile, &QPushButton::clicked, this, &frmMain::cmdRenFile_Click);
    connect(tools_.renTitle, &QPushButton::clicked, this, &frmMain::cmdRenTitle_Click);
    connect(tools_.editFilename, &QPushButton::clicked, this, &frmMain::cmdEditFilename_Click);
    connect(tools_.clean, &QPushButton::clicked, this, &frmMain::cmdClean_Click);
    connect(tools_.removeNumbers, &QPushButton::clicked, this, &frmMain::Command4_Click);
    connect(tools_.autoNumber, &QPushButton::clicked, this, &frmMain::Command6_Click);

    ListView1->setItemDelegateForColumn(0, new FileNameDelegate(this, ListView1));

    // The line that shows where a dragged row will land.
    dropMarker_ = new QWidget(ListView1->viewport());
    dropMarker_->setObjectName(QStringLiteral("dropMarker"));
    dropMarker_->setAttribute(Qt::WA_TransparentForMouseEvents);
    dropMarker_->setAutoFillBackground(true);
    dropMarker_->setBackgroundRole(QPalette::Highlight);
    dropMarker_->hide();
    dragScrollTimer_ = new QTimer(this);
    dragScrollTimer_->setObjectName(QStringLiteral("dragScrollTimer"));
    dragScrollTimer_->setInterval(60);
    connect(dragScrollTimer_, &QTimer::timeout, this, &frmMain::dragAutoScroll);
    ListView1->installEventFilter(this);
}

// ---------------------------------------------------------------- dragging rows

bool frmMain::listToolsEvent(QObject* watched, QEvent* e)
{
    if (!ListView1)
        return false;
    // Escape calls a drag off; the row stays where it was.
    if (watched == ListView1 && e->type() == QEvent::KeyPress && dragging_ &&
        static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
        endRowDrag();
        return true;
    }
    if (watched != ListView1->viewport())
        return false;
    switch (e->type()) {
    case QEvent::MouseButtonPress: {
        endRowDrag();
        const auto* me = static_cast<QMouseEvent*>(e);
        const QPoint pos = me->position().toPoint();
        const QModelIndex at = ListView1->indexAt(pos);
        // Clicks with Shift or Ctrl shape the selection; a plain press on a row may
        // become a drag of that row.
        if (me->button() == Qt::LeftButton && me->modifiers() == Qt::NoModifier && at.isValid()) {
            dragSource_ = model_->index(at.row(), 0);
            dragStart_ = pos;
        }
        return false;
    }
    case QEvent::MouseMove: {
        if (!dragSource_.isValid()) {
            if (dragging_) // the list was rebuilt under the drag
                endRowDrag();
            return false;
        }
        const auto* me = static_cast<QMouseEvent*>(e);
        if (!(me->buttons() & Qt::LeftButton)) {
            endRowDrag();
            return false;
        }
        const QPoint pos = me->position().toPoint();
        // Rows are moved by dragging them, so the view's own drag-selection stays off.
        if (!dragging_ && (pos - dragStart_).manhattanLength() < QApplication::startDragDistance())
            return true;
        if (!dragging_) {
            dragging_ = true;
            ListView1->viewport()->setCursor(Qt::DragMoveCursor);
        }
        dragPos_ = pos;
        showDropMarker(dropTargetAt(pos));
        if (!dragScrollTimer_->isActive()) {
            const int margin = std::max(1, twipsToPixelsY(100));
            if (pos.y() <= margin || pos.y() > ListView1->viewport()->height() - margin) {
                dragAutoScroll();
                dragScrollTimer_->start();
            }
        }
        return true;
    }
    case QEvent::MouseButtonRelease: {
        if (!dragging_) {
            dragSource_ = QPersistentModelIndex();
            return false;
        }
        const auto* me = static_cast<QMouseEvent*>(e);
        const int source = dragSource_.isValid() ? dragSource_.row() : -1;
        const int target = dropTargetAt(me->position().toPoint());
        endRowDrag();
        if (source >= 0)
            DropRow(source, target);
        return true;
    }
    default: return false;
    }
}

// The row a drop at `pos` would go in front of; the row count for the space below the
// last row; -1 where a drop moves nothing.
int frmMain::dropTargetAt(const QPoint& pos) const
{
    const QWidget* viewport = ListView1->viewport();
    if (pos.y() < 0 || pos.y() >= viewport->height() || pos.x() < 0 || pos.x() >= viewport->width())
        return -1;
    const int n = model_->rowCount();
    if (n == 0)
        return -1;
    // The row under the pointer, even right of the last column.
    const QModelIndex at = ListView1->indexAt(QPoint(1, pos.y()));
    if (at.isValid())
        return at.row();
    return pos.y() > ListView1->visualRect(model_->index(n - 1, 0)).bottom() ? n : -1;
}

void frmMain::showDropMarker(int target)
{
    const int source = dragSource_.isValid() ? dragSource_.row() : -1;
    const int n = model_->rowCount();
    if (target < 0 || target == source || n == 0) {
        dropMarker_->hide();
        return;
    }
    const int y = target < n ? ListView1->visualRect(model_->index(target, 0)).top()
                             : ListView1->visualRect(model_->index(n - 1, 0)).bottom() + 1;
    dropMarker_->setGeometry(0, std::max(0, y - 1), ListView1->viewport()->width(), 2);
    dropMarker_->show();
    dropMarker_->raise();
}

void frmMain::dragAutoScroll()
{
    if (!dragging_) {
        dragScrollTimer_->stop();
        return;
    }
    const int margin = std::max(1, twipsToPixelsY(100));
    QScrollBar* bar = ListView1->verticalScrollBar();
    if (dragPos_.y() <= margin) {
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    } else if (dragPos_.y() > ListView1->viewport()->height() - margin) {
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    } else {
        dragScrollTimer_->stop();
        return;
    }
    showDropMarker(dropTargetAt(dragPos_));
}

void frmMain::endRowDrag()
{
    if (dragging_)
        ListView1->viewport()->unsetCursor();
    dragging_ = false;
    dragSource_ = QPersistentModelIndex();
    if (dropMarker_)
        dropMarker_->hide();
    if (dragScrollTimer_)
        dragScrollTimer_->stop();
}

void frmMain::DropRow(int source, int target)
{
    const int n = model_->rowCount();
    if (n == 0)
        return;
    if (source >= 0 && source < n && target >= 0 && target <= n && target != source) {
        loadingSelection_ = true;
        model_->moveRowBefore(source, target);
        const QModelIndex moved = model_->index(target > source ? target - 1 : target, 0);
        ListView1->selectionModel()->setCurrentIndex(moved,
                                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        loadingSelection_ = false;
        ListView1->scrollTo(moved);
    }
    if (currentRow() >= 0)
        LoadSelectedFile();
}

// ---------------------------------------------------------------- moving and removing rows

QList<int> frmMain::selectedRowsInOrder() const
{
    QList<int> rows;
    for (const QModelIndex& i : ListView1->selectionModel()->selectedRows())
        rows.append(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QList<int> frmMain::selectedRowsOrSay(const QString& notice)
{
    QList<int> rows = selectedRowsInOrder();
    if (rows.isEmpty())
        platform_.messages->information(this, notice);
    return rows;
}

QList<int> frmMain::selectionToWorkOn(const QString& notice)
{
    runPendingRefresh();
    if (listIsEmptyAskFolder())
        return {};
    return selectedRowsOrSay(notice);
}

void frmMain::cmdUp_Click() { moveCurrentRow(-1); }
void frmMain::cmdDown_Click() { moveCurrentRow(1); }

void frmMain::moveCurrentRow(int step)
{
    if (listIsEmptyAskFolder())
        return;
    const int row = currentRow();
    const int to = row + step;
    if (row < 0 || to < 0 || to >= model_->rowCount())
        return;
    loadingSelection_ = true;
    model_->moveRowBefore(row, step < 0 ? to : to + 1);
    // The row keeps its selection as it moves; it is current and selected afterwards.
    const QModelIndex moved = model_->index(to, 0);
    ListView1->selectionModel()->setCurrentIndex(moved, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    loadingSelection_ = false;
    ListView1->scrollTo(moved);
    LoadSelectedFile();
    ListView1->setFocus();
}

// After rows left the list: the editor follows the current row, or empties when no
// row is left.
void frmMain::afterRowsRemoved()
{
    setTotalLabel();
    if (model_->rowCount() == 0) {
        clearEditorFields();
        resetMultiValueEditors();
        SetEditorEnabled(false);
        editorPath_.clear();
        return;
    }
    if (currentRow() >= 0)
        LoadSelectedFile();
}

void frmMain::mnuRemove_Click()
{
    const QList<int> rows = selectedRowsInOrder();
    if (rows.isEmpty())
        return;
    const bool currentGone = rows.contains(currentRow());
    loadingSelection_ = true;
    for (qsizetype k = rows.size(); k-- > 0;)
        model_->removeRowAt(rows[k]);
    loadingSelection_ = false;
    if (currentGone || model_->rowCount() == 0)
        afterRowsRemoved();
    else
        setTotalLabel();
}

void frmMain::mnuDelete_Click()
{
    const QList<int> rows = selectedRowsOrSay(kSelectFileToProcess);
    if (rows.isEmpty())
        return;
    // The question names every file it is about.
    QString question;
    if (rows.size() == 1) {
        question = QStringLiteral("This will delete ") + model_->cell(rows.front(), 0) +
                   QStringLiteral(" permanently from your computer.  Are you sure you want to do this?     ");
    } else {
        question =
            QStringLiteral("This will delete these %1 files permanently from your computer:\n\n").arg(rows.size());
        for (qsizetype i = 0; i < rows.size() && i < kNamesListed; ++i)
            question += QLatin1Char(' ') + model_->cell(rows[i], 0) + QLatin1Char('\n');
        if (rows.size() > kNamesListed)
            question += QStringLiteral(" and %1 more\n").arg(rows.size() - kNamesListed);
        question += QStringLiteral("\nAre you sure you want to do this?     ");
    }
    // Deleting cannot be undone: Enter alone must not do it.
    if (!platform_.messages->askYesNo(this, question, MessageBoxes::Default::No))
        return;

    // The files are deleted beside the window; the rows follow once it is over, found
    // by their files' names.
    const int count = static_cast<int>(rows.size());
    // Relative paths: with subfolders listed, two rows may share a name.
    std::vector<QByteArray> names;
    QStringList shown;
    for (int r : rows) {
        names.push_back(model_->relativePath(r));
        shown << rowName(r);
    }
    const QByteArray folder = listedFolderBytes_;
    const QByteArray currentName = currentRow() >= 0 ? model_->relativePath(currentRow()) : QByteArray();
    std::vector<std::optional<Status>> removed(names.size()); // empty: not reached
    FileOps& files = *platform_.files;
    runBeside(count, "deleted", batchProgress(count), [&](const BatchControl& control) {
        // One at a time: deleting is quick, and a folder takes its changes in turn anyway.
        return static_cast<int>(RunInOrder<Status>(
            names.size(), 1, [&] { return [&](std::size_t i) { return files.removeAt(folder + names[i]); }; },
            [&](std::size_t i, const Status& status) {
                removed[i] = status;
                control.finished(static_cast<int>(i) + 1);
            },
            control.stop));
    });
    endProgress();

    bool currentGone = false;
    QStringList failures;
    loadingSelection_ = true;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!removed[i]) // not reached: the batch was stopped
            continue;
        if (removed[i]->ok()) { // also a file that was gone already: where the user wanted it
            if (const int row = model_->rowOfName(names[i]); row >= 0)
                model_->removeRowAt(row);
            currentGone = currentGone || names[i] == currentName;
        } else {
            failures << failureLine(shown[static_cast<qsizetype>(i)], QString::fromStdString(removed[i]->reason()));
        }
    }
    loadingSelection_ = false;
    if (currentGone || model_->rowCount() == 0)
        afterRowsRemoved();
    else
        setTotalLabel();
    if (!failures.isEmpty())
        platform_.messages->exclamation(this, failureNotice(failures, "deleted"));
}

void frmMain::cmdDelTags_Click()
{
    const QList<int> rows = selectedRowsOrSay(kSelectFileToProcess);
    if (rows.isEmpty())
        return;
    if (!platform_.messages->askYesNo(this, kDeleteTagsQuestion))
        return;
    // One file, as the question says: the current row's, or, when the current row is
    // not among the selected ones, the first selected row's (never an unselected file).
    int row = currentRow();
    if (!rows.contains(row)) {
        row = rows.front();
        loadingSelection_ = true;
        ListView1->selectionModel()->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
        loadingSelection_ = false;
    }
    const QString name = rowName(row);
    const std::string path = rowPath(row).toStdString();
    // A large file takes a while to rewrite: the window keeps answering meanwhile.
    QString problem;
    runBeside(1, "written", batchProgress(1), [&](const BatchControl& control) {
        clsID3 tag;
        tag.SetFileName(path);
        if (!tag.ReadStatus())
            problem = QString::fromStdString(tag.ReadStatus().reason());
        else if (!tag.DeleteID3Tags())
            problem = QString::fromStdString(tag.LastError());
        control.finished(1);
        return 1;
    });
    LoadSelectedFile();
    if (!problem.isEmpty())
        platform_.messages->exclamation(this, QStringLiteral("The tags of this file could not be deleted:\n\n") +
                                                  failureLine(name, problem));
}

// ---------------------------------------------------------------- clipboard and tool tips

void frmMain::mnuCopy1_Click()
{
    const int row = currentRow();
    if (row < 0)
        return;
    platform_.clipboard->clear();
    platform_.clipboard->setText(informationBlock(*model_, row));
}

void frmMain::cmdCopy_Click()
{
    QString text;
    const int n = model_->rowCount();
    for (int r = 0; r < n; ++r)
        text += informationBlock(*model_, r);
    text += QStringLiteral("Total Tracks: %1\r\n").arg(n);
    platform_.clipboard->clear();
    platform_.clipboard->setText(text);
}

void frmMain::SetCellTooltips()
{
    // Tool tips are the cells' own texts; the views only need to fetch them again.
    model_->refreshAll();
}

} // namespace brindle
