#pragma once
// The rows of the file list: one per file, eleven cell texts each (file name first),
// and "Folder", the row's folder relative to the listed one (a twelfth column while
// subfolders are listed). Every cell's tool tip is its text, so tool tips never go stale. Each row
// also keeps its file's name and folder as the bytes the folder listing gave: the cells
// show them with replacement characters where they are not UTF-8, and only the bytes
// reach the disk.
//
// A filter narrows the rows the model shows; rows it hides are not rows of the model
// at all (row numbers, rowCount() and every accessor count shown rows only), so
// nothing that works on the model's rows can reach a hidden file.

#include "tag/RowCompare.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QHash>

#include <string>
#include <vector>

namespace brindle {

struct ListColumn {
    const char* title;
    int widthTwips;
    Qt::Alignment alignment;
};
extern const ListColumn kListColumns[kListColumnCount];
// The column after the eleven list columns.
constexpr int kFolderColumn = kListColumnCount;
constexpr int kModelColumnCount = kListColumnCount + 1;
extern const ListColumn kFolderListColumn;

// Text as the filter compares it: letter case and accents ignored.
QString FilterFolded(const QString& text);

class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using Row = std::vector<std::u16string>;

    explicit FileListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The file name (column 0) can be edited in place; the view decides when.
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The "Folder" column is a column of the model only while it is shown.
    void setFolderColumnShown(bool shown);
    bool folderColumnShown() const { return folderColumn_; }

    void clear();
    // Replaces every row at once (one reset instead of a signal per row). Without
    // names, each row's name is its first cell in the local file-name encoding.
    // folders: each row's folder relative to the listed one, "" (or none given) for
    // the listed folder itself. The filter stays and applies to the new rows.
    void setRows(std::vector<Row> rows, std::vector<QByteArray> names = {}, std::vector<QByteArray> folders = {});
    void appendRow(Row row, QByteArray name = {});
    void removeRowAt(int row);
    // Moves row `from` so that it ends up in front of the row now at `before`
    // (rowCount() for the end). Selection and current row follow the moved row.
    void moveRowBefore(int from, int before);
    // Asks the views to show every cell's text (and tool tip) afresh.
    void refreshAll();
    const Row& row(int r) const { return rows_[static_cast<std::size_t>(r)]; }
    QString cell(int row, int column) const;
    // The file name of a row as the file system spells it.
    const QByteArray& name(int row) const { return names_[all(row)]; }
    // The row's folder relative to the listed one: "" or "a/b", as the file system spells it.
    const QByteArray& folder(int row) const { return folders_[all(row)]; }
    // Folder and name: "name" or "a/b/name".
    QByteArray relativePath(int row) const;
    void setName(int row, const QByteArray& name, const QString& shown);
    // The shown row holding that file (a relative path, see relativePath), or -1.
    int rowOfName(const QByteArray& relativePath) const;
    void setCell(int row, int column, const QString& text);

    // Re-orders the rows by CompareRows; selection and current row follow their rows.
    void sortRows(int sortColumn, bool ascending, const SortLocale& locale);

    // Shows only the rows whose cells hold text (FilterFolded); "" shows every row.
    // The model is reset: the caller keeps the selection (see rowIdentity).
    void setFilter(const QString& text);
    const QString& filter() const { return filterText_; }
    // Rows with and without the filter.
    int allRowCount() const { return static_cast<int>(rows_.size()); }
    // A number for a shown row that survives a change of filter (not a sort or removal),
    // and the row it is now, or -1 when the filter hides it.
    int rowIdentity(int row) const { return static_cast<int>(all(row)); }
    int rowOfIdentity(int identity) const;

    static QString toQString(const std::u16string& s);
    static std::u16string toU16(const QString& s);

private:
    std::size_t all(int row) const { return static_cast<std::size_t>(shown_[static_cast<std::size_t>(row)]); }
    // Recomputes which rows show; candidates: rows worth testing (the others stay hidden).
    void applyFilter(bool onlyShown);
    bool matches(std::size_t allRow) const;
    void makeKey(std::size_t allRow) const;
    void rebuildPositions();
    void touched(std::size_t allRow);

    std::vector<Row> rows_;                   // every row, shown or not
    std::vector<QByteArray> names_;           // beside rows_, in the same order
    std::vector<QByteArray> folders_;         // beside rows_
    std::vector<std::u16string> folderTexts_; // the "Folder" cells, beside rows_
    std::vector<int> shown_;                  // indexes into rows_ of the rows shown, in order
    std::vector<int> positionOf_;             // row shown for each index into rows_, or -1
    bool folderColumn_ = false;
    QString filterText_;
    QString needle_;                           // filterText_ folded
    mutable std::vector<QString> keys_;        // each row's cells folded, made when first needed
    mutable QHash<QByteArray, int> pathIndex_; // relative path -> index into rows_
    mutable bool pathIndexValid_ = false;
};

} // namespace brindle
