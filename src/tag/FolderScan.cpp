#include "FolderScan.h"

#include "FileSystem.h"
#include "Genres.h"
#include "SafeRewrite.h"
#include "RowCompare.h"
#include "TextCodec.h"
#include "clsID3.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <unistd.h>
#include <sys/stat.h>

namespace brindle {

namespace {
std::u16string ascii(const char* s) { return std::u16string(s, s + std::char_traits<char>::length(s)); }
} // namespace

const char* const kListColumnTitles[kListColumnCount] = {"Filename", "Title",     "Artist",       "Album",
                                                         "Genre",    "Track No.", "Tracks Total", "Year",
                                                         "Duration", "Bit Rate",  "Comments"};

bool IsListedMp3Name(std::string_view name)
{
    if (name.empty() || name[0] == '.' || name.size() < 4)
        return false;
    std::string_view ext = name.substr(name.size() - 4);
    return ext[0] == '.' && (ext[1] | 0x20) == 'm' && (ext[2] | 0x20) == 'p' && ext[3] == '3';
}

namespace {

// Reads one open folder: the names the scan lists and, when wanted, the subfolders a
// walk enters (hidden ones left out). Interrupted saves of the listed files are
// finished or undone. Closes dir.
void readFolder(DIR* dir, const std::vector<PendingSave>& pending, std::vector<std::string>& names,
                std::vector<std::string>* subfolders, std::vector<std::string>* recoveryNotes)
{
    std::vector<ino_t> inodes;
    const int dfd = ::dirfd(dir);
    while (dirent* e = ::readdir(dir)) {
        std::string_view name(e->d_name);
        if (name.empty() || name[0] == '.') // ".", ".." and hidden entries
            continue;
        const bool mp3 = IsListedMp3Name(name);
        if (!mp3 && !subfolders)
            continue;
        bool plain = e->d_type == DT_REG;
        bool folder = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st {};
            if (::fstatat(dfd, e->d_name, &st, 0) == 0) {
                plain = S_ISREG(st.st_mode);
                folder = S_ISDIR(st.st_mode);
            }
        }
        if (plain && mp3) {
            names.emplace_back(name);
            if (!pending.empty())
                inodes.push_back(e->d_ino);
        } else if (folder && subfolders) {
            subfolders->emplace_back(name);
        }
    }
    struct stat folderStat {};
    const bool matchable = !pending.empty() && ::fstat(dfd, &folderStat) == 0;
    ::closedir(dir);
    if (!matchable)
        return;
    std::sort(inodes.begin(), inodes.end());
    for (const PendingSave& save : pending) {
        if (save.device != folderStat.st_dev || !std::binary_search(inodes.begin(), inodes.end(), save.inode))
            continue;
        std::string note;
        RecoverPendingSave(FileSystem::posix(), save, note);
        if (recoveryNotes && !note.empty())
            recoveryNotes->push_back(std::move(note));
    }
}

Status unreadableFolder(int err) { return Status::FromErrno("cannot be read", err); }

} // namespace

std::vector<std::string> ListFolderMp3s(const std::string& folder, Status* status,
                                        std::vector<std::string>* recoveryNotes)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (status)
        *status = dir ? Status() : unreadableFolder(errno);
    if (!dir)
        return names;
    readFolder(dir, ListPendingSaves(FileSystem::posix()), names, nullptr, recoveryNotes);
    return names;
}

Status CanListFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return unreadableFolder(errno);
    ::close(fd);
    return {};
}

FolderTreeListing ListFolderTreeMp3s(const std::string& root, const SortLocale& locale,
                                     std::vector<std::string>* recoveryNotes)
{
    FolderTreeListing listing;
    const std::vector<PendingSave> pending = ListPendingSaves(FileSystem::posix());
    const std::string base = root.empty() || root.back() == '/' ? root : root + "/";
    std::set<std::pair<dev_t, ino_t>> seen;
    std::vector<std::string> stack = {std::string()};
    while (!stack.empty()) {
        std::string relative = std::move(stack.back());
        stack.pop_back();
        const std::string path = relative.empty() ? root : base + relative;
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st {};
        DIR* dir = nullptr;
        if (fd >= 0 && ::fstat(fd, &st) == 0)
            dir = ::fdopendir(fd);
        if (!dir) {
            const int err = errno ? errno : EIO;
            if (fd >= 0)
                ::close(fd);
            if (relative.empty()) {
                listing.status = unreadableFolder(err);
                return listing;
            }
            listing.unreadable.emplace_back(relative, unreadableFolder(err));
            continue;
        }
        if (!seen.insert({st.st_dev, st.st_ino}).second) {
            ::closedir(dir); // a link back to a folder already walked
            continue;
        }
        ListedFolder folder{relative, {}};
        std::vector<std::string> children;
        readFolder(dir, pending, folder.names, &children, recoveryNotes);
        listing.folders.push_back(std::move(folder));
        std::vector<SortValue> keys;
        std::vector<std::size_t> order(children.size());
        keys.reserve(children.size());
        for (std::size_t i = 0; i < children.size(); ++i) {
            keys.push_back(MakeSortValue(FromUtf8(children[i]), locale));
            order[i] = i;
        }
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return CompareSortValues(keys[a], keys[b]) < 0; });
        // The stack hands out the first name first.
        for (std::size_t k = order.size(); k-- > 0;) {
            const std::size_t i = order[k];
            stack.push_back(relative.empty() ? children[i] : relative + "/" + children[i]);
        }
    }
    return listing;
}

std::u16string FormatGenre(const clsID3& tag)
{
    if (!tag.Genre.empty() && (tag.GenreID == kGenreOther || tag.GenreID == kGenreNone))
        return tag.Genre;
    return clsID3::GenreName(tag.GenreID);
}

std::u16string FormatPlayingTime(double seconds)
{
    if (!(seconds > 0))
        return {};
    double whole = std::floor(seconds);
    if (whole > 9.0e15)
        whole = 9.0e15;
    auto t = static_cast<long long>(whole);
    long long h = t / 3600, m = (t / 60) % 60, s = t % 60;
    char buf[64];
    if (h > 0)
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", h, m, s);
    else
        std::snprintf(buf, sizeof buf, "%lld:%02lld", m, s);
    return ascii(buf);
}

std::u16string FormatBitRate(double bitsPerSecond, int encoding)
{
    if (!(bitsPerSecond > 0))
        return {};
    double kbps = std::floor(bitsPerSecond / 1000.0);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.0f kbps %s", kbps, encoding == 0 ? "CBR" : "VBR");
    return ascii(buf);
}

std::vector<std::u16string> ListRowCells(const std::u16string& fileName, const clsID3& tag)
{
    return {fileName,
            tag.Title,
            tag.Artist,
            tag.Album,
            FormatGenre(tag),
            tag.TrackNumber,
            tag.TracksTotal,
            tag.Year,
            FormatPlayingTime(tag.Length()),
            FormatBitRate(tag.BitRate(), tag.Encoding()),
            tag.Comments};
}

} // namespace brindle
