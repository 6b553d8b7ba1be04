// The main window's folder scan and its list, which keeps the selection and the current
// row on their files; sorting and the help and web links.
#include "frmMain.h"

#include "WindowShared.h"

#include "controls/XP_ProgressBar.h"
#include "platform/Desktop.h"
#include "platform/FileOps.h"
#include "tag/FolderScan.h"
#include "tag/clsID3.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QUrlQuery>

#include <algorithm>
#include <cmath>
#include <utility>

namespace brindle {

SortLocale SortLocaleOf(const QLocale& l)
{
    SortLocale s;
    const QString dp = l.decimalPoint();
    const QString gs = l.groupSeparator();
    s.decimalPoint = dp.isEmpty() ? u'.' : static_cast<char16_t>(dp.at(0).unicode());
    s.groupSeparator = gs.isEmpty() ? char16_t(0) : static_cast<char16_t>(gs.at(0).unicode());
    if (s.groupSeparator == s.decimalPoint)
        s.groupSeparator = 0;
    const QString f = l.dateFormat(QLocale::ShortFormat);
    const qsizetype d = f.indexOf(QLatin1Char('d')), m = f.indexOf(QLatin1Char('M')), y = f.indexOf(QLatin1Char('y'));
    if (y >= 0 && y < m && y < d)
        s.dateOrder = SortLocale::DateOrder::YearMonthDay;
    else if (d >= 0 && d < m)
        s.dateOrder = SortLocale::DateOrder::DayMonthYear;
    else
        s.dateOrder = SortLocale::DateOrder::MonthDayYear;
    return s;
}

// ---------------------------------------------------------------- folder scan and list

QString frmMain::CurrentFilePath() const { return QFile::decodeName(editorPath_); }

QByteArray frmMain::rowPath(int row) const
{
    if (row < 0 || row >= model_->rowCount())
        return {};
    return listedFolderBytes_ + model_->relativePath(row);
}

void frmMain::Command1_Click()
{
    const QString start = withTrailingSlash(listedFolder_.isEmpty() ? Text1->text() : listedFolder_);
    const QString chosen = platform_.dialogs->chooseFolder(this, kFolderPrompt, start);
    if (chosen.isEmpty())
        return;
    Text1->setText(chosen);
    ScanFolder(chosen);
    setCheck(chkSelAll, false);
}

void frmMain::Text1_Enter()
{
    const QString folder = withoutTrailingSlash(Text1->text());
    // Only opened here: the scan that lists it finishes interrupted saves and says so.
    const Status listable = CanListFolder(QFile::encodeName(folder).toStdString());
    if (!listable) {
        // The list stays, and so does the line that names its folder.
        platform_.messages->exclamation(this, QStringLiteral("This folder cannot be listed:\n\n%1\n\n%2")
                                                  .arg(folder, QString::fromStdString(listable.reason())));
        Text1->setText(listedFolder_);
        return;
    }
    Text1->setText(folder);
    ScanFolder(folder);
    setCheck(chkSelAll, false);
}

frmMain::ListPlace frmMain::listPlace() const
{
    ListPlace place;
    for (const QModelIndex& i : ListView1->selectionModel()->selectedRows())
        place.selected.append(model_->relativePath(i.row()));
    if (const int row = currentRow(); row >= 0)
        place.current = model_->relativePath(row);
    place.scroll = ListView1->verticalScrollBar()->value();
    return place;
}

void frmMain::restoreListPlace(const ListPlace& place)
{
    QItemSelection selection;
    for (const QByteArray& name : place.selected)
        if (const int row = model_->rowOfName(name); row >= 0)
            selection.select(model_->index(row, 0), model_->index(row, model_->columnCount() - 1));
    loadingSelection_ = true;
    ListView1->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    const int current = model_->rowOfName(place.current);
    if (current >= 0)
        ListView1->selectionModel()->setCurrentIndex(model_->index(current, 0), QItemSelectionModel::NoUpdate);
    loadingSelection_ = false;
    ListView1->verticalScrollBar()->setValue(place.scroll);
    if (current >= 0)
        LoadSelectedFile();
}

void frmMain::ShowScanNotes(const QStringList& notes)
{
    if (!notes.isEmpty())
        platform_.messages->information(this, notes.join(QLatin1Char('\n')));
}

void frmMain::ScanFolder(const QString& folder)
{
    const QString listed = withoutTrailingSlash(folder);
    // Listing the same folder again (a refresh, after Apply or a tool) keeps the place.
    const bool again = !listedFolder_.isEmpty() && listed == listedFolder_ && model_->rowCount() > 0;
    const ListPlace place = again ? listPlace() : ListPlace{};
    runPendingRefresh();

    const QByteArray nativeFolder = QFile::encodeName(withTrailingSlash(folder));
    // Saves that a crash interrupted are finished (or undone) by the scan that meets
    // their files; the user hears of it once the list is shown.
    QStringList notes;
    const std::vector<ScannedFolder> folders = listFiles(nativeFolder, notes);
    if (!notes.isEmpty())
        QMetaObject::invokeMethod(
            this, [this, notes] { ShowScanNotes(notes); }, Qt::QueuedConnection);

    if (listed != listedFolder_) { // renames are undone in their own folder only
        undoRenames_.clear();
        if (popup_.undoRename)
            popup_.undoRename->setEnabled(false);
    }
    loadingSelection_ = true;
    model_->clear();
    listedFolder_ = listed;
    listedFolderBytes_ = nativeFolder;
    currentTagRevision_ = 3;
    loadingEditor_ = true;
    for (const EditorField& f : fields_)
        if (!(f.box && f.box->isChecked()))
            setControlText(f.control, QString());
    loadingEditor_ = false;
    resetMultiValueEditors();
    SetEditorEnabled(false);

    std::vector<FileListModel::Row> rows;
    std::vector<QByteArray> rowNames, rowFolders;
    clsID3 tag; // one tag object serves the whole scan
    for (const ScannedFolder& folder : folders) {
        const std::string prefix = nativeFolder.toStdString() +
                                   (folder.relative.isEmpty() ? std::string() : folder.relative.toStdString() + '/');
        for (const std::string& name : folder.names) {
            if (!isBusyCursor()) {
                showBusyCursor();
                letPendingEventsRun();
            }
            QByteArray bytes = QByteArray::fromStdString(name);
            tag.SetFileName(prefix + name);
            rows.push_back(ListRowCells(FileListModel::toU16(QFile::decodeName(bytes)), tag));
            rowNames.push_back(std::move(bytes));
            rowFolders.push_back(folder.relative);
        }
    }
    model_->setRows(std::move(rows), std::move(rowNames), std::move(rowFolders));
    // Rows come in directory order; the list shows them in its sort order from the start.
    model_->sortRows(sortKey_, sortOrder_ == 0, sortLocale_);

    restoreNormalCursor();
    Command1->setEnabled(true);
    Command5->setEnabled(true);

    if (model_->rowCount() > 0) {
        SetEditorEnabled(true);
        if (again && model_->rowOfName(place.current) >= 0) {
            loadingSelection_ = false;
            restoreListPlace(place);
            setTotalLabel();
            return;
        }
        ListView1->selectionModel()->setCurrentIndex(model_->index(0, 0), QItemSelectionModel::NoUpdate);
        loadingSelection_ = false;
        LoadSelectedFile();
    }
    loadingSelection_ = false;
    ListView1->viewport()->update();
    ListView1->selectionModel()->clearSelection();
    setTotalLabel();
}

void frmMain::setTotalLabel()
{
    // With a filter: the rows shown of all the rows listed.
    if (model_->filter().isEmpty())
        lblTotal->setText(QStringLiteral("Total Tracks: %1").arg(model_->rowCount()));
    else
        lblTotal->setText(QStringLiteral("Total Tracks: %1 of %2").arg(model_->rowCount()).arg(model_->allRowCount()));
}

int frmMain::selectedRowCount() const { return static_cast<int>(ListView1->selectionModel()->selectedRows().size()); }

int frmMain::currentRow() const
{
    const QModelIndex i = ListView1->selectionModel()->currentIndex();
    return i.isValid() ? i.row() : -1;
}

void frmMain::setCheck(QCheckBox* box, bool checked)
{
    if (box && box->isChecked() != checked)
        box->setChecked(checked);
}

void frmMain::chkSelAll_Click()
{
    const bool checked = chkSelAll->isChecked();
    if (model_->rowCount() == 0 && checked) {
        chkSelAll->setChecked(false);
        listIsEmptyAskFolder();
        return;
    }
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setFocus();
    if (checked) {
        ListView1->selectAll();
        setCheck(title_->box, false);
        setCheck(track_->box, false);
    } else {
        ListView1->clearSelection();
        setCheck(title_->box, false);
        setCheck(chkAutTrack, false);
    }
}

void frmMain::ListView1_MouseDown()
{
    if (selectedRowCount() == model_->rowCount())
        setCheck(chkSelAll, false);
}

void frmMain::ListView1_Click()
{
    // The click has selected its row: the row may now move or leave the list.
    runPendingRefresh();
    // A click on the row already loaded reads its file again (it may have changed on
    // disk); a click that moved the current row has loaded it already.
    if (!loadedOnPress_ && currentRow() >= 0)
        LoadSelectedFile();
    loadedOnPress_ = false;
}

void frmMain::ListView1_DblClick()
{
    const int row = currentRow();
    if (row < 0)
        return;
    // The desktop takes names as text: a name that is not valid text would reach it as
    // another file's name.
    const QByteArray path = rowPath(row);
    if (QFile::encodeName(QFile::decodeName(path)) != path) {
        platform_.messages->exclamation(
            this,
            rowName(row) + QStringLiteral(": its name is not valid text here, so it cannot be opened from the list"));
        return;
    }
    platform_.shell->open(QFile::decodeName(path));
}

void frmMain::ListView1_MouseUp(Qt::MouseButton button, const QPoint& globalPos)
{
    if (button == Qt::RightButton)
        mnuPopup->popup(globalPos);
}

bool frmMain::eventFilter(QObject* watched, QEvent* e)
{
    if (ListView1 && watched == ListView1->viewport()) {
        // While the view handles a press, rows must not move under it.
        if (e->type() == QEvent::MouseButtonPress)
            inPress_ = true;
        else if (e->type() == QEvent::MouseButtonRelease)
            inPress_ = false;
    }
    if (savingEvent(watched, e) || listToolsEvent(watched, e))
        return true;
    if (auto* box = qobject_cast<QLineEdit*>(watched); box && urlBoxes_.contains(box))
        if (urlBoxEvent(box, e))
            return true;
    if (watched == ListView1->viewport()) {
        if (e->type() == QEvent::MouseButtonPress) {
            loadedOnPress_ = false;
            ListView1_MouseDown();
        } else if (e->type() == QEvent::MouseButtonRelease) {
            auto* me = static_cast<QMouseEvent*>(e);
            ListView1_MouseUp(me->button(), me->globalPosition().toPoint());
        }
    }
    return QWidget::eventFilter(watched, e);
}

// With nothing listed, a command asks for a folder instead.
bool frmMain::listIsEmptyAskFolder()
{
    if (model_->rowCount() > 0)
        return false;
    platform_.messages->information(this, kNoFolderMessage);
    Command1_Click();
    return true;
}

void frmMain::refreshRowOf(const QByteArray& path, const clsID3* tag)
{
    pendingRefresh_ = path;
    pendingRefreshSet_ = true;
    pendingCells_.clear();
    if (tag) {
        const qsizetype slash = path.lastIndexOf('/');
        pendingCells_ = ListRowCells(FileListModel::toU16(QFile::decodeName(path.mid(slash + 1))), *tag);
    }
    if (inPress_)
        QTimer::singleShot(0, this, &frmMain::runPendingRefresh);
    else
        runPendingRefresh();
}

// Brings a row up to date with its file: new cells (re-sorted when the sort column
// changed), or the row leaves the list when the file is gone. Selection and current
// row stay on their files.
void frmMain::runPendingRefresh()
{
    if (!pendingRefreshSet_)
        return;
    pendingRefreshSet_ = false;
    const QByteArray path = std::exchange(pendingRefresh_, {});
    if (!path.startsWith(listedFolderBytes_))
        return;
    const int row = model_->rowOfName(path.mid(listedFolderBytes_.size()));
    if (row < 0)
        return;
    if (pendingCells_.empty()) {
        loadingSelection_ = true;
        model_->removeRowAt(row);
        loadingSelection_ = false;
        setTotalLabel();
        return;
    }
    bool changed = false;
    bool resort = false;
    for (int c = 1; c < kListColumnCount; ++c) {
        const QString now = FileListModel::toQString(pendingCells_[static_cast<std::size_t>(c)]);
        if (now.compare(model_->cell(row, c), Qt::CaseInsensitive) != 0) {
            model_->setCell(row, c, now);
            changed = true;
            resort = resort || c == sortKey_;
        }
    }
    if (resort)
        SortList(sortKey_ + 1);
    if (changed) {
        ListView1->scrollTo(ListView1->selectionModel()->currentIndex());
        ListView1->viewport()->update();
    }
}

// ---------------------------------------------------------------- sorting

void frmMain::ShowSortIcon()
{
    // Header alignment follows each column's alignment through the model; the arrow
    // marks the sort column and its direction.
    ListView1->header()->setSortIndicator(sortKey_, sortOrder_ == 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void frmMain::SortList(int columnNumber)
{
    const int column = columnNumber - 1;
    if (column < 0 || column >= model_->columnCount())
        return;
    loadingSelection_ = true;
    model_->sortRows(column, sortOrder_ == 0, sortLocale_);
    loadingSelection_ = false;
}

void frmMain::SortByColumnClick(int column)
{
    if (column < 0 || column >= model_->columnCount())
        return;
    if (column == sortKey_) {
        sortOrder_ = sortOrder_ == 0 ? 1 : 0;
    } else {
        sortKey_ = column;
        sortOrder_ = 0;
    }
    ShowSortIcon();
    SortList(sortKey_ + 1);
    const QModelIndex current = ListView1->selectionModel()->currentIndex();
    if (current.isValid())
        ListView1->scrollTo(current);
}

// ---------------------------------------------------------------- help and web links

QStringList frmMain::helpFileCandidates()
{
    const QString dir = QCoreApplication::applicationDirPath();
    return {dir + QStringLiteral("/Help.html"), dir + QStringLiteral("/../share/brindle/Help.html"),
            dir + QStringLiteral("/../share/doc/brindle/Help.html")};
}

void frmMain::OpenHelp()
{
    const QStringList candidates = helpFileCandidates();
    for (const QString& c : candidates)
        if (platform_.files->exists(c)) {
            platform_.shell->open(QFileInfo(c).canonicalFilePath());
            return;
        }
    platform_.messages->exclamation(this, QStringLiteral("The help file could not be found:\n") + candidates.front());
}

namespace {
// Web searches behind "&Lyrics" and "&Freedb"; %1 is the query.
const QString kLyricsSearch = QStringLiteral("https://duckduckgo.com/?q=%1");
const QString kCdDatabaseSearch = QStringLiteral("https://musicbrainz.org/search?type=release&query=%1");

QUrl searchUrl(const QString& pattern, QStringList words)
{
    words.removeAll(QString());
    const QString query = QString::fromLatin1(QUrl::toPercentEncoding(words.join(QLatin1Char(' '))));
    return QUrl(pattern.arg(query), QUrl::StrictMode);
}
} // namespace

QUrl frmMain::lyricsSearchUrl(const QString& artist, const QString& title)
{
    return searchUrl(kLyricsSearch, {artist.trimmed(), title.trimmed(), QStringLiteral("lyrics")});
}

QUrl frmMain::cdDatabaseSearchUrl(const QString& artist, const QString& album)
{
    return searchUrl(kCdDatabaseSearch, {artist.trimmed(), album.trimmed()});
}

void frmMain::OpenLyrics()
{
    platform_.shell->open(lyricsSearchUrl(controlText(artist_->control), controlText(title_->control)).toString());
}

void frmMain::OpenFreedb()
{
    platform_.shell->open(cdDatabaseSearchUrl(controlText(artist_->control), controlText(album_->control)).toString());
}

} // namespace brindle