#include "FileListModel.h"

#include "tag/Ascii.h"

#include <QFile>

#include <algorithm>

namespace brindle {

const ListColumn kListColumns[kListColumnCount] = {
    {"Filename", 2500, Qt::AlignLeft},      {"Title", 2500, Qt::AlignLeft},    {"Artist", 2000, Qt::AlignHCenter},
    {"Album", 2000, Qt::AlignHCenter},      {"Genre", 1800, Qt::AlignHCenter}, {"Track No.", 900, Qt::AlignRight},
    {"Tracks Total", 1100, Qt::AlignRight}, {"Year", 600, Qt::AlignRight},     {"Duration", 800, Qt::AlignRight},
    {"Bit Rate", 1170, Qt::AlignRight},     {"Comments", 2500, Qt::AlignLeft},
};
const ListColumn kFolderListColumn = {"Folder", 2500, Qt::AlignLeft};

namespace {
const ListColumn& columnOf(int column) { return column == kFolderColumn ? kFolderListColumn : kListColumns[column]; }
} // namespace

namespace {
// One character without accents and letter case, appended to out: what it decomposes
// to (in the compatibility decomposition), without the combining marks.
void appendFolded(char32_t c, QString& out)
{
    if (c < 0x80) {
        out += QChar(AsciiLower(static_cast<char16_t>(c)));
        return;
    }
    const QChar::Category k = QChar::category(c);
    if (k == QChar::Mark_NonSpacing || k == QChar::Mark_SpacingCombining || k == QChar::Mark_Enclosing)
        return;
    if (QChar::decompositionTag(c) != QChar::NoDecomposition) {
        const QString parts = QChar::decomposition(c);
        for (const char32_t p : parts.toUcs4())
            appendFolded(p, out);
        return;
    }
    const char32_t folded = QChar::toCaseFolded(c);
    if (QChar::requiresSurrogates(folded)) {
        out += QChar(QChar::highSurrogate(folded));
        out += QChar(QChar::lowSurrogate(folded));
    } else {
        out += QChar(static_cast<char16_t>(folded));
    }
}
} // namespace

QString FilterFolded(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        appendFolded(c, out);
    }
    return out;
}

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

QString FileListModel::toQString(const std::u16string& s)
{
    return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

std::u16string FileListModel::toU16(const QString& s)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size()));
}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : folderColumn_ ? kModelColumnCount : kListColumnCount;
}

void FileListModel::setFolderColumnShown(bool shown)
{
    if (shown == folderColumn_)
        return;
    if (shown) {
        beginInsertColumns({}, kFolderColumn, kFolderColumn);
        folderColumn_ = true;
        endInsertColumns();
    } else {
        beginRemoveColumns({}, kFolderColumn, kFolderColumn);
        folderColumn_ = false;
        endRemoveColumns();
    }
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case Qt::EditRole: {
        return cell(index.row(), index.column());
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(columnOf(index.column()).alignment | Qt::AlignVCenter));
    default: return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(columnOf(section).title);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(columnOf(section).alignment | Qt::AlignVCenter));
    return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (index.column() == 0)
        f |= Qt::ItemIsEditable;
    return f;
}

void FileListModel::clear() { setRows({}); }

namespace {
QByteArray nameOfCells(const FileListModel::Row& row)
{
    return row.empty() ? QByteArray() : QFile::encodeName(FileListModel::toQString(row.front()));
}
} // namespace

void FileListModel::rebuildPositions()
{
    positionOf_.assign(rows_.size(), -1);
    for (std::size_t i = 0; i < shown_.size(); ++i)
        positionOf_[static_cast<std::size_t>(shown_[i])] = static_cast<int>(i);
}

// A row's cells changed: its search text is made again when next needed.
void FileListModel::touched(std::size_t allRow)
{
    if (allRow < keys_.size())
        keys_[allRow].clear();
}

bool FileListModel::matches(std::size_t allRow) const
{
    if (needle_.isEmpty())
        return true;
    if (keys_.size() != rows_.size())
        keys_.resize(rows_.size());
    if (keys_[allRow].isEmpty())
        makeKey(allRow);
    return keys_[allRow].contains(needle_);
}

void FileListModel::makeKey(std::size_t allRow) const
{
    // The cells apart, so that no match runs from one cell into the next; folded at
    // once, which costs far less than cell by cell.
    QString key;
    for (const std::u16string& cell : rows_[allRow]) {
        key += toQString(cell);
        key += QChar(0);
    }
    key += toQString(folderTexts_[allRow]);
    keys_[allRow] = FilterFolded(key);
}

void FileListModel::applyFilter(bool onlyShown)
{
    std::vector<int> shown;
    if (onlyShown) {
        for (const int r : shown_)
            if (matches(static_cast<std::size_t>(r)))
                shown.push_back(r);
    } else {
        shown.reserve(rows_.size());
        for (std::size_t r = 0; r < rows_.size(); ++r)
            if (matches(r))
                shown.push_back(static_cast<int>(r));
    }
    shown_ = std::move(shown);
    rebuildPositions();
}

void FileListModel::setFilter(const QString& text)
{
    if (text == filterText_)
        return;
    const QString needle = FilterFolded(text);
    // Typing on narrows what is shown: only the rows shown can still match.
    const bool narrowing = !needle_.isEmpty() && needle.contains(needle_);
    beginResetModel();
    filterText_ = text;
    needle_ = needle;
    applyFilter(narrowing);
    endResetModel();
}

int FileListModel::rowOfIdentity(int identity) const
{
    if (identity < 0 || static_cast<std::size_t>(identity) >= positionOf_.size())
        return -1;
    return positionOf_[static_cast<std::size_t>(identity)];
}

void FileListModel::setRows(std::vector<Row> rows, std::vector<QByteArray> names, std::vector<QByteArray> folders)
{
    beginResetModel();
    rows_ = std::move(rows);
    names_ = std::move(names);
    folders_ = std::move(folders);
    names_.resize(rows_.size());
    folders_.resize(rows_.size());
    folderTexts_.assign(rows_.size(), {});
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        rows_[i].resize(kListColumnCount);
        if (names_[i].isEmpty())
            names_[i] = nameOfCells(rows_[i]);
        if (!folders_[i].isEmpty())
            folderTexts_[i] = toU16(QFile::decodeName(folders_[i]));
    }
    keys_.clear();
    pathIndexValid_ = false;
    // The search texts are made with the rows, so that the first key typed into the
    // filter answers as fast as the next ones.
    keys_.resize(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i)
        makeKey(i);
    applyFilter(false);
    endResetModel();
}

void FileListModel::appendRow(Row row, QByteArray name)
{
    row.resize(kListColumnCount);
    if (name.isEmpty())
        name = nameOfCells(row);
    const int n = rowCount();
    beginInsertRows({}, n, n);
    rows_.push_back(std::move(row));
    names_.push_back(std::move(name));
    folders_.emplace_back();
    folderTexts_.emplace_back();
    shown_.push_back(static_cast<int>(rows_.size() - 1));
    positionOf_.push_back(n);
    pathIndexValid_ = false;
    endInsertRows();
}

QByteArray FileListModel::relativePath(int row) const
{
    const QByteArray& f = folder(row);
    return f.isEmpty() ? name(row) : f + '/' + name(row);
}

void FileListModel::setName(int row, const QByteArray& name, const QString& shown)
{
    if (row < 0 || row >= rowCount())
        return;
    names_[all(row)] = name;
    pathIndexValid_ = false;
    setCell(row, 0, shown);
}

int FileListModel::rowOfName(const QByteArray& relativePath) const
{
    if (!pathIndexValid_) {
        pathIndex_.clear();
        pathIndex_.reserve(static_cast<qsizetype>(rows_.size()));
        // The first of two rows with one path wins, as a search from the top would find.
        for (std::size_t i = rows_.size(); i-- > 0;)
            pathIndex_.insert(folders_[i].isEmpty() ? names_[i] : folders_[i] + '/' + names_[i], static_cast<int>(i));
        pathIndexValid_ = true;
    }
    return rowOfIdentity(pathIndex_.value(relativePath, -1));
}

void FileListModel::removeRowAt(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    const std::size_t a = all(row);
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(a));
    names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(a));
    folders_.erase(folders_.begin() + static_cast<std::ptrdiff_t>(a));
    folderTexts_.erase(folderTexts_.begin() + static_cast<std::ptrdiff_t>(a));
    if (a < keys_.size())
        keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(a));
    shown_.erase(shown_.begin() + row);
    for (int& r : shown_)
        if (r > static_cast<int>(a))
            --r;
    rebuildPositions();
    pathIndexValid_ = false;
    endRemoveRows();
}

void FileListModel::moveRowBefore(int from, int before)
{
    const int n = rowCount();
    if (from < 0 || from >= n || before < 0 || before > n || before == from || before == from + 1)
        return;
    beginMoveRows({}, from, from, {}, before);
    // The row moves among all rows to just before the row shown at `before` (after the
    // last row shown for the end), so hidden rows keep their places.
    const std::size_t a = all(from);
    std::size_t target = before < n ? all(before) : static_cast<std::size_t>(shown_.back()) + 1;
    auto moveIn = [&](auto& v) {
        auto moving = std::move(v[a]);
        v.erase(v.begin() + static_cast<std::ptrdiff_t>(a));
        const std::size_t to = target > a ? target - 1 : target;
        v.insert(v.begin() + static_cast<std::ptrdiff_t>(to), std::move(moving));
    };
    moveIn(rows_);
    moveIn(names_);
    moveIn(folders_);
    moveIn(folderTexts_);
    if (keys_.size() == rows_.size())
        moveIn(keys_);
    else
        keys_.clear();
    pathIndexValid_ = false;
    // The same rows stay shown; their indexes between the two places shift by one.
    const std::size_t dest = target > a ? target - 1 : target;
    for (int& r : shown_) {
        auto u = static_cast<std::size_t>(r);
        if (u == a)
            u = dest;
        else if (a < dest && u > a && u <= dest)
            --u;
        else if (dest < a && u >= dest && u < a)
            ++u;
        r = static_cast<int>(u);
    }
    std::sort(shown_.begin(), shown_.end());
    rebuildPositions();
    endMoveRows();
}

void FileListModel::refreshAll()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole, Qt::ToolTipRole});
}

QString FileListModel::cell(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= kModelColumnCount)
        return {};
    if (column == kFolderColumn)
        return toQString(folderTexts_[all(row)]);
    return toQString(rows_[all(row)][static_cast<std::size_t>(column)]);
}

void FileListModel::setCell(int row, int column, const QString& text)
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= kListColumnCount)
        return;
    rows_[all(row)][static_cast<std::size_t>(column)] = toU16(text);
    touched(all(row));
    if (column < columnCount()) {
        const QModelIndex i = index(row, column);
        emit dataChanged(i, i);
    }
}

void FileListModel::sortRows(int sortColumn, bool ascending, const SortLocale& locale)
{
    const std::size_t n = rows_.size();
    if (n < 2)
        return;
    auto cellOf = [this](std::size_t r, int c) { return std::u16string_view(rows_[r][static_cast<std::size_t>(c)]); };
    std::vector<std::size_t> order;
    if (sortColumn == kFolderColumn) {
        // By folder, as names are compared; within a folder by file name.
        order = SortRowOrder(n, 0, true, locale, cellOf);
        std::vector<SortValue> keys;
        keys.reserve(n);
        for (std::size_t r = 0; r < n; ++r)
            keys.push_back(MakeSortValue(folderTexts_[r], locale));
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return CompareSortValues(keys[a], keys[b]) < 0; });
        if (!ascending)
            std::reverse(order.begin(), order.end());
    } else {
        order = SortRowOrder(n, sortColumn, ascending, locale, cellOf);
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newIndexOf(n);
    std::vector<Row> sorted;
    std::vector<QByteArray> sortedNames, sortedFolders;
    std::vector<std::u16string> sortedFolderTexts;
    std::vector<QString> sortedKeys;
    const bool keysMade = keys_.size() == n;
    sorted.reserve(n);
    sortedNames.reserve(n);
    sortedFolders.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        newIndexOf[order[i]] = static_cast<int>(i);
        sorted.push_back(std::move(rows_[order[i]]));
        sortedNames.push_back(std::move(names_[order[i]]));
        sortedFolders.push_back(std::move(folders_[order[i]]));
        sortedFolderTexts.push_back(std::move(folderTexts_[order[i]]));
        if (keysMade)
            sortedKeys.push_back(std::move(keys_[order[i]]));
    }
    rows_ = std::move(sorted);
    names_ = std::move(sortedNames);
    folders_ = std::move(sortedFolders);
    folderTexts_ = std::move(sortedFolderTexts);
    keys_ = std::move(sortedKeys);
    pathIndexValid_ = false;
    // The same rows stay shown, now in sorted order.
    const std::vector<int> oldShown = shown_;
    std::vector<char> isShown(n, 0);
    for (const int r : oldShown)
        isShown[static_cast<std::size_t>(newIndexOf[static_cast<std::size_t>(r)])] = 1;
    shown_.clear();
    for (std::size_t i = 0; i < n; ++i)
        if (isShown[i])
            shown_.push_back(static_cast<int>(i));
    rebuildPositions();
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& i : before) {
        const int moved = newIndexOf[static_cast<std::size_t>(oldShown[static_cast<std::size_t>(i.row())])];
        after.append(index(positionOf_[static_cast<std::size_t>(moved)], i.column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace brindle
