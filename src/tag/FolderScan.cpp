#include "FolderScan.h"

#include "FileSystem.h"
#include "SafeRewrite.h"
#include "clsID3.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>

namespace brindle {

namespace {
std::u16string ascii(const char* s) { return std::u16string(s, s + std::char_traits<char>::length(s)); }
} // namespace

const char* const kListColumnTitles[11] = {"Filename", "Title", "Artist", "Album", "Genre", "Track No.",
                                           "Tracks Total", "Year", "Duration", "Bit Rate", "Comments"};

bool IsListedMp3Name(std::string_view name)
{
    if (name.empty() || name[0] == '.' || name.size() < 4)
        return false;
    std::string_view ext = name.substr(name.size() - 4);
    return ext[0] == '.' && (ext[1] | 0x20) == 'm' && (ext[2] | 0x20) == 'p' && ext[3] == '3';
}

std::vector<std::string> ListFolderMp3s(const std::string& folder, int* error, std::vector<std::string>* recoveryNotes)
{
    std::vector<std::string> names;
    std::vector<PendingSave> pending = ListPendingSaves(FileSystem::posix());
    std::vector<ino_t> inodes;
    DIR* dir = ::opendir(folder.c_str());
    if (error)
        *error = dir ? 0 : errno;
    if (!dir)
        return names;
    int dfd = ::dirfd(dir);
    while (dirent* e = ::readdir(dir)) {
        std::string_view name(e->d_name);
        if (name == "." || name == ".." || !IsListedMp3Name(name))
            continue;
        bool plain = e->d_type == DT_REG;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st{};
            plain = ::fstatat(dfd, e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        if (plain) {
            names.emplace_back(name);
            if (!pending.empty())
                inodes.push_back(e->d_ino);
        }
    }
    struct stat folderStat{};
    const bool matchable = !pending.empty() && ::fstat(dfd, &folderStat) == 0;
    ::closedir(dir);
    if (matchable) {
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
    return names;
}

std::u16string FormatGenre(const clsID3& tag)
{
    if (!tag.Genre.empty() && (tag.GenreID == 12 || tag.GenreID == 255))
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
