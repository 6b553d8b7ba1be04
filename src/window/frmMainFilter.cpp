// "Include subfolders" beside the folder line and the filter above the list: which
// files the list holds and which of them it shows. Tools work on the rows shown, so a
// row the filter hides is never written.
#include "frmMain.h"

#include "WindowShared.h"

#include "platform/Desktop.h"
#include "platform/FileOps.h"
#include "tag/FolderScan.h"

#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QItemSelection>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeView>

#include <algorithm>

namespace brindle {

namespace {
const QString kSection = QStringLiteral("MP3s");
const QString kSubfoldersKey = QStringLiteral("IncludeSubfolders");
const QString kFolderWidthKey = QStringLiteral("FolderWidth");
const QString kFolderPosKey = QStringLiteral("FolderPos");
} // namespace

void frmMain::buildFilterControls()
{
    chkSubfolders = new QCheckBox(QStringLiteral("Include subfolders"), this);
    chkSubfolders->setObjectName(QStringLiteral("chkSubfolders"));
    chkSubfolders->setToolTip(QStringLiteral("List the MP3 files of every folder below this one too"));
    lblFilter = new QLabel(QStringLiteral("Fi&lter:"), this);
    lblFilter->setObjectName(QStringLiteral("lblFilter"));
    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setClearButtonEnabled(true);
    txtFilter->setPlaceholderText(QStringLiteral("Type to show only the files whose name or cells hold the text"));
    lblFilter->setBuddy(txtFilter);
    nameForScreenReaders(txtFilter, QStringLiteral("Filter"),
                         QStringLiteral("Shows only the files whose name or any cell holds the text"));
    folderTwips_ = kFolderListColumn.widthTwips;
    // Read where they stand: beside the folder line, then above the list.
    QWidget::setTabOrder(Command1, chkSubfolders);
    QWidget::setTabOrder(chkSubfolders, txtFilter);
    connect(chkSubfolders, &QCheckBox::toggled, this, &frmMain::SetIncludeSubfolders);
    connect(txtFilter, &QLineEdit::textChanged, this, &frmMain::filterChanged);
}

void frmMain::readFilterSettings()
{
    const SettingsStore& s = *platform_.settings;
    subfolders_ = s.readInt(kSection, kSubfoldersKey, 0) != 0;
    const QSignalBlocker quiet(chkSubfolders);
    chkSubfolders->setChecked(subfolders_);
    folderTwips_ = std::max(kMinColumnTwips, s.readDouble(QStringLiteral("Columns"), kFolderWidthKey, folderTwips_));
    folderPos_ = s.readInt(QStringLiteral("ColumnPos"), kFolderPosKey, kModelColumnCount);
    showFolderColumn(subfolders_);
    if (!subfolders_ && sortKey_ == kFolderColumn) {
        sortKey_ = 0;
        sortOrder_ = 0;
        ShowSortIcon();
    }
}

// Called before the eleven list columns are written.
void frmMain::writeFilterSettings()
{
    SettingsStore& s = *platform_.settings;
    s.writeInt(kSection, kSubfoldersKey, subfolders_ ? 1 : 0);
    // The eleven list columns keep their stored positions 1 to 11: the folder column
    // leaves before they are written.
    showFolderColumn(false);
    s.writeDouble(QStringLiteral("Columns"), kFolderWidthKey, folderTwips_);
    s.writeInt(QStringLiteral("ColumnPos"), kFolderPosKey, folderPos_);
}

void frmMain::showFolderColumn(bool shown)
{
    QHeaderView* header = ListView1->header();
    if (!shown && model_->folderColumnShown()) {
        // Its width and place are kept for the next time it shows.
        const int px = header->sectionSize(kFolderColumn);
        if (px != std::max(1, twipsToPixelsX(folderTwips_)))
            folderTwips_ = pixelsToTwipsX(px);
        folderPos_ = header->visualIndex(kFolderColumn) + 1;
    }
    model_->setFolderColumnShown(shown);
    if (shown) {
        header->resizeSection(kFolderColumn, std::max(1, twipsToPixelsX(folderTwips_)));
        if (folderPos_ >= 1 && folderPos_ <= kModelColumnCount)
            header->moveSection(header->visualIndex(kFolderColumn), folderPos_ - 1);
    }
}

void frmMain::SetIncludeSubfolders(bool on)
{
    if (chkSubfolders->isChecked() != on) {
        chkSubfolders->setChecked(on); // comes back here through the signal
        return;
    }
    if (subfolders_ == on)
        return;
    subfolders_ = on;
    showFolderColumn(on);
    if (!on && sortKey_ == kFolderColumn) {
        sortKey_ = 0;
        sortOrder_ = 0;
        ShowSortIcon();
    }
    if (!CurrentFolder().isEmpty())
        ScanFolder(CurrentFolder());
}

void frmMain::SetFilterText(const QString& text) { txtFilter->setText(text); }

void frmMain::filterChanged(const QString& text)
{
    runPendingRefresh();
    // The selection stays on the rows that stay shown; a row the filter hides leaves it.
    std::vector<int> selected;
    for (const QItemSelectionRange& range : ListView1->selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            selected.push_back(model_->rowIdentity(r));
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    const int current = currentRow() >= 0 ? model_->rowIdentity(currentRow()) : -1;

    loadingSelection_ = true;
    model_->setFilter(text);
    QItemSelection selection;
    int first = -1, last = -1;
    auto flush = [&] {
        if (first >= 0)
            selection.select(model_->index(first, 0), model_->index(last, model_->columnCount() - 1));
    };
    for (const int identity : selected) {
        const int row = model_->rowOfIdentity(identity);
        if (row < 0)
            continue;
        if (row != last + 1 || first < 0) {
            flush();
            first = row;
        }
        last = row;
    }
    flush();
    ListView1->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    const int currentNow = model_->rowOfIdentity(current);
    if (currentNow >= 0)
        ListView1->selectionModel()->setCurrentIndex(model_->index(currentNow, 0), QItemSelectionModel::NoUpdate);
    loadingSelection_ = false;
    // "Select all Files" stays ticked only while every row shown is selected.
    if (chkSelAll->isChecked() && selectedRowCount() != model_->rowCount()) {
        const QSignalBlocker quiet(chkSelAll);
        chkSelAll->setChecked(false);
    }
    if (currentNow >= 0)
        ListView1->scrollTo(model_->index(currentNow, 0));
    setTotalLabel();
}

std::vector<frmMain::ScannedFolder> frmMain::listFiles(const QByteArray& nativeFolder, QStringList& notes) const
{
    std::vector<std::string> recovery;
    std::vector<ScannedFolder> folders;
    QStringList unreadable;
    if (!subfolders_) {
        folders.push_back({QByteArray(), ListFolderMp3s(nativeFolder.toStdString(), nullptr, &recovery)});
    } else {
        FolderTreeListing tree = ListFolderTreeMp3s(nativeFolder.toStdString(), sortLocale_, &recovery);
        folders.reserve(tree.folders.size());
        for (ListedFolder& f : tree.folders)
            folders.push_back({QByteArray::fromStdString(f.relative), std::move(f.names)});
        for (const auto& [relative, why] : tree.unreadable)
            unreadable << failureLine(NameText(relative), QString::fromStdString(why.reason()));
    }
    for (const std::string& note : recovery)
        notes << QString::fromStdString(note);
    if (!unreadable.isEmpty())
        notes << (unreadable.size() == 1
                      ? QStringLiteral("This subfolder could not be listed:\n\n")
                      : QStringLiteral("These %1 subfolders could not be listed:\n\n").arg(unreadable.size())) +
                     unreadable.join(QLatin1Char('\n'));
    return folders;
}

QString frmMain::toolFolder(int row) const { return NameText(model_->folder(row).toStdString()); }

PlannedRename frmMain::inRowFolder(int row, PlannedRename plan) const
{
    plan.folder = toolFolder(row);
    return plan;
}

int frmMain::filterControlsWidthTwips() const
{
    return std::max(1500, static_cast<int>(pixelsToTwipsX(chkSubfolders->sizeHint().width()))) + 90;
}

void frmMain::placeFilterControls()
{
    auto place = [](QWidget* w, int left, int top, int width, int height) {
        w->setGeometry(twipsToPixelsX(left), twipsToPixelsY(top), std::max(0, twipsToPixelsX(width)),
                       std::max(0, twipsToPixelsY(height)));
    };
    // The check box takes the right end of the folder line.
    const QRect line = Text1->geometry();
    const int lineLeft = static_cast<int>(pixelsToTwipsX(line.x()));
    const int lineTop = static_cast<int>(pixelsToTwipsY(line.y()));
    const int lineWidth = static_cast<int>(pixelsToTwipsX(line.width()));
    const int lineHeight = static_cast<int>(pixelsToTwipsY(line.height()));
    const int boxWidth = filterControlsWidthTwips();
    place(Text1, lineLeft, lineTop, lineWidth - boxWidth, lineHeight);
    place(chkSubfolders, lineLeft + lineWidth - boxWidth + 90, lineTop, boxWidth - 90, lineHeight);
    // The filter line takes the top of the list.
    const QRect list = ListView1->geometry();
    const int listLeft = static_cast<int>(pixelsToTwipsX(list.x()));
    const int listTop = static_cast<int>(pixelsToTwipsY(list.y()));
    const int listWidth = static_cast<int>(pixelsToTwipsX(list.width()));
    const int listHeight = static_cast<int>(pixelsToTwipsY(list.height()));
    const int labelWidth = std::max(600, static_cast<int>(pixelsToTwipsX(lblFilter->sizeHint().width())) + 60);
    place(lblFilter, listLeft, listTop, labelWidth, 330);
    place(txtFilter, listLeft + labelWidth, listTop, listWidth - labelWidth, 330);
    place(ListView1, listLeft, listTop + kFilterRowTwips, listWidth, listHeight - kFilterRowTwips);
    // The list's buttons stay beside the list.
    for (QPushButton* b : {cmdUp, cmdDown, cmdCopy, cmdDelTags})
        b->move(b->x(), b->y() + twipsToPixelsY(kFilterRowTwips));
}

} // namespace brindle
