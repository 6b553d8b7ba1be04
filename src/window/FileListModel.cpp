#include "FileListModel.h"

#include <QFile>

namespace brindle {

const ListColumn kListColumns[kListColumnCount] = {
    {"Filename", 2500, Qt::AlignLeft},
    {"Title", 2500, Qt::AlignLeft},
    {"Artist", 2000, Qt::AlignHCenter},
    {"Album", 2000, Qt::AlignHCenter},
    {"Genre", 1800, Qt::AlignHCenter},
    {"Track No.", 900, Qt::AlignRight},
    {"Tracks Total", 1100, Qt::AlignRight},
    {"Year", 600, Qt::AlignRight},
    {"Duration", 800, Qt::AlignRight},
    {"Bit Rate", 1170, Qt::AlignRight},
    {"Comments", 2500, Qt::AlignLeft},
};

FileListModel::FileListModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

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
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kListColumnCount; }

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kListColumnCount)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case Qt::EditRole: {
        const Row& r = rows_[static_cast<std::size_t>(index.row())];
        const auto c = static_cast<std::size_t>(index.column());
        return c < r.size() ? toQString(r[c]) : QString();
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(kListColumns[index.column()].alignment | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kListColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kListColumns[section].title);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(kListColumns[section].alignment | Qt::AlignVCenter));
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

void FileListModel::setRows(std::vector<Row> rows, std::vector<QByteArray> names)
{
    beginResetModel();
    rows_ = std::move(rows);
    names_ = std::move(names);
    names_.resize(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        rows_[i].resize(kListColumnCount);
        if (names_[i].isEmpty())
            names_[i] = nameOfCells(rows_[i]);
    }
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
    endInsertRows();
}

void FileListModel::setName(int row, const QByteArray& name, const QString& shown)
{
    if (row < 0 || row >= rowCount())
        return;
    names_[static_cast<std::size_t>(row)] = name;
    setCell(row, 0, shown);
}

int FileListModel::rowOfName(const QByteArray& name) const
{
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (names_[i] == name)
            return static_cast<int>(i);
    return -1;
}

void FileListModel::removeRowAt(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    names_.erase(names_.begin() + row);
    endRemoveRows();
}

void FileListModel::moveRowBefore(int from, int before)
{
    const int n = rowCount();
    if (from < 0 || from >= n || before < 0 || before > n || before == from || before == from + 1)
        return;
    beginMoveRows({}, from, from, {}, before);
    Row moving = std::move(rows_[static_cast<std::size_t>(from)]);
    QByteArray movingName = std::move(names_[static_cast<std::size_t>(from)]);
    rows_.erase(rows_.begin() + from);
    names_.erase(names_.begin() + from);
    const int to = before > from ? before - 1 : before;
    rows_.insert(rows_.begin() + to, std::move(moving));
    names_.insert(names_.begin() + to, std::move(movingName));
    endMoveRows();
}

void FileListModel::refreshAll()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, kListColumnCount - 1),
                         {Qt::DisplayRole, Qt::ToolTipRole});
}

QString FileListModel::cell(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= kListColumnCount)
        return {};
    return toQString(rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)]);
}

void FileListModel::setCell(int row, int column, const QString& text)
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= kListColumnCount)
        return;
    rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = toU16(text);
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i);
}

void FileListModel::sortRows(int sortColumn, bool ascending, const SortLocale& locale)
{
    const std::size_t n = rows_.size();
    if (n < 2)
        return;
    const std::vector<std::size_t> order =
        SortRowOrder(n, sortColumn, ascending, locale, [this](std::size_t r, int c) {
            return std::u16string_view(rows_[r][static_cast<std::size_t>(c)]);
        });
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(n);
    std::vector<Row> sorted;
    std::vector<QByteArray> sortedNames;
    sorted.reserve(n);
    sortedNames.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        newRowOf[order[i]] = static_cast<int>(i);
        sorted.push_back(std::move(rows_[order[i]]));
        sortedNames.push_back(std::move(names_[order[i]]));
    }
    rows_ = std::move(sorted);
    names_ = std::move(sortedNames);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& i : before)
        after.append(index(newRowOf[static_cast<std::size_t>(i.row())], i.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace brindle
