#include "RecursiveList.h"

#include "Printable.h"

#include "tag/FolderScan.h"
#include "tag/RowCompare.h"
#include "tag/TextCodec.h"
#include "tag/clsID3.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <numeric>
#include <ostream>
#include <set>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace brindle::cli {

namespace {

struct Row {
    std::size_t folder; // index into the walk order
    std::vector<std::u16string> cells;
};

// The subfolders of path that the walk enters, sorted as the file list sorts names.
std::vector<std::string> subfolders(const std::string& path, const SortLocale& locale, int& error)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    error = dir ? 0 : errno;
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.') // ".", ".." and hidden folders
            continue;
        bool folder = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st {};
            folder = ::fstatat(::dirfd(dir), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (folder)
            names.push_back(name);
    }
    ::closedir(dir);
    std::stable_sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        return CompareSortValues(MakeSortValue(FromUtf8(a), locale), MakeSortValue(FromUtf8(b), locale)) < 0;
    });
    return names;
}

} // namespace

int ListRecursive(const std::string& root, bool json, int sortColumn, bool descending, std::ostream& out,
                  std::ostream& err)
{
    int status = 0;
    const SortLocale locale = SortLocale::fromEnvironment();
    std::vector<std::string> folders;  // relative paths in walk order
    std::vector<std::size_t> firstRow; // of each folder; its rows follow on
    std::vector<Row> rows;
    std::set<std::pair<dev_t, ino_t>> seen;
    std::vector<std::string> stack = {"."};
    const std::string base = root.empty() || root.back() == '/' ? root : root + "/";
    clsID3 tag;
    while (!stack.empty()) {
        const std::string relative = stack.back();
        stack.pop_back();
        const std::string path = relative == "." ? root : base + relative;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !seen.insert({st.st_dev, st.st_ino}).second) {
            if (relative == ".") {
                ReportFile(err, root, std::strerror(errno));
                return 1;
            }
            continue; // a link back to a folder already walked
        }
        int error = 0;
        const std::vector<std::string> names = ListFolderMp3s(path, &error);
        if (error) {
            ReportFile(err, path, std::strerror(error));
            if (relative == ".")
                return 1;
            status = 1;
            continue;
        }
        const std::size_t index = folders.size();
        folders.push_back(relative);
        firstRow.push_back(rows.size());
        const std::string prefix = path.empty() || path.back() == '/' ? path : path + "/";
        for (const auto& name : names) {
            tag.SetFileName(prefix + name);
            rows.push_back({index, ListRowCells(FromUtf8(name), tag)});
        }
        std::vector<std::string> children = subfolders(path, locale, error);
        std::reverse(children.begin(), children.end()); // the stack hands out the first name first
        for (const auto& child : children)
            stack.push_back(relative == "." ? child : std::string(relative).append("/").append(child));
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
