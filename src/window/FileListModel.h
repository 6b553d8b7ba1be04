#pragma once
// The rows of the file list: one per file, eleven cell texts each (file name first).
// Every cell's tool tip is its text, so tool tips never go stale. Each row also keeps
// its file's name as the bytes the folder listing gave: the name cell shows it with
// replacement characters where it is not UTF-8, and only the bytes reach the disk.

#include "tag/RowCompare.h"

#include <QAbstractTableModel>
#include <QByteArray>

#include <string>
#include <vector>

namespace brindle {

struct ListColumn {
    const char* title;
    int widthTwips;
    Qt::Alignment alignment;
};
extern const ListColumn kListColumns[kListColumnCount];

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

    void clear();
    // Replaces every row at once (one reset instead of a signal per row). Without
    // names, each row's name is its first cell in the local file-name encoding.
    void setRows(std::vector<Row> rows, std::vector<QByteArray> names = {});
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
    const QByteArray& name(int row) const { return names_[static_cast<std::size_t>(row)]; }
    void setName(int row, const QByteArray& name, const QString& shown);
    // The row holding that file name, or -1.
    int rowOfName(const QByteArray& name) const;
    void setCell(int row, int column, const QString& text);

    // Re-orders the rows by CompareRows; selection and current row follow their rows.
    void sortRows(int sortColumn, bool ascending, const SortLocale& locale);

    static QString toQString(const std::u16string& s);
    static std::u16string toU16(const QString& s);

private:
    std::vector<Row> rows_;
    std::vector<QByteArray> names_; // beside rows_, in the same order
};

} // namespace brindle
