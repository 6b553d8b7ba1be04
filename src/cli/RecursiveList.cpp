#include "RecursiveList.h"

#include "Printable.h"

#include "tag/FolderScan.h"
#include "tag/RowCompare.h"
#include "tag/TextCodec.h"
#include "tag/clsID3.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <ostream>
#include <utility>
#include <vector>

namespace brindle::cli {

namespace {

struct Row {
    std::size_t folder; // index into the walk order
    std::vector<std::u16string> cells;
};

} // namespace

int ListRecursive(const std::string& root, bool json, int sortColumn, bool descending, std::ostream& out,
                  std::ostream& err)
{
    int status = 0;
    const SortLocale locale = SortLocale::fromEnvironment();
    const FolderTreeListing listing = ListFolderTreeMp3s(root, locale);
    if (!listing.status) {
        ReportFile(err, root, listing.status.reason());
        return 1;
    }
    const std::string base = root.empty() || root.back() == '/' ? root : root + "/";
    for (const auto& [relative, why] : listing.unreadable) {
        ReportFile(err, base + relative, why.reason());
        status = 1;
    }
    std::vector<std::string> folders;  // relative paths in walk order
    std::vector<std::size_t> firstRow; // of each folder; its rows follow on
    std::vector<Row> rows;
    clsID3 tag;
    for (const ListedFolder& folder : listing.folders) {
        const std::size_t index = folders.size();
        folders.push_back(folder.relative.empty() ? std::string(".") : folder.relative);
        firstRow.push_back(rows.size());
        const std::string prefix = folder.relative.empty() ? base : base + folder.relative + "/";
        for (const auto& name : folder.names) {
            tag.SetFileName(prefix + name);
            rows.push_back({index, ListRowCells(FromUtf8(name), tag)});
        }
    }

    auto cell = [&](std::size_t r, int c) -> std::u16string_view { return rows[r].cells[static_cast<std::size_t>(c)]; };
    std::vector<std::size_t> order;
    if (sortColumn > 0) {
        order = SortRowOrder(rows.size(), sortColumn - 1, !descending, locale, cell);
    } else {
        // Folder by folder in walk order (subfolders sorted as names are), each sorted by
        // file name on its own: names alike across albums are never compared.
        firstRow.push_back(rows.size());
        for (std::size_t f = 0; f + 1 < firstRow.size(); ++f) {
            const std::size_t first = firstRow[f];
            for (std::size_t r : SortRowOrder(firstRow[f + 1] - first, 0, true, locale,
                                              [&](std::size_t row, int c) { return cell(first + row, c); }))
                order.push_back(first + r);
        }
        if (descending)
            std::reverse(order.begin(), order.end());
    }

    if (json) {
        auto array = nlohmann::ordered_json::array();
        for (std::size_t r : order) {
            nlohmann::ordered_json row;
            for (int c = 0; c < kListColumnCount; ++c)
                row[kListColumnTitles[c]] = ToUtf8(rows[r].cells[static_cast<std::size_t>(c)]);
            row["Folder"] = ToUtf8(FromUtf8(folders[rows[r].folder]));
            array.push_back(std::move(row));
        }
        out << array.dump() << "\n";
        return status;
    }
    for (const char* title : kListColumnTitles)
        out << title << "\t";
    out << "Folder\n";
    for (std::size_t r : order) {
        for (int c = 0; c < kListColumnCount; ++c)
            out << Printable(ToUtf8(rows[r].cells[static_cast<std::size_t>(c)])) << "\t";
        out << Printable(folders[rows[r].folder]) << "\n";
    }
    return status;
}

} // namespace brindle::cli
