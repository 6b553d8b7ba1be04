#pragma once
// What the folder scan lists and how its cells read; shared by the window and the CLI.

#include "RowCompare.h"
#include "Status.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brindle {

class clsID3;
struct SortLocale;

// Last four characters ".mp3" in any case; hidden names (leading ".") are not listed.
bool IsListedMp3Name(std::string_view name);

// Names of the plain files (symbolic links to plain files count) of folder that the
// scan lists, in directory order; subfolders are not entered. Empty when the folder
// cannot be read, and *status (when given) says why. Saves of these files that were interrupted (by a crash, a kill or a
// power loss) are finished or undone first, and *recoveryNotes (when given) gets one
// human-readable line for each; finding them costs one look at one folder.
std::vector<std::string> ListFolderMp3s(const std::string& folder, Status* status = nullptr,
                                        std::vector<std::string>* recoveryNotes = nullptr);
// Whether folder can be opened for listing. Reads no name and finishes no save, so a
// caller can check a folder before it lets go of the list it shows.
Status CanListFolder(const std::string& folder);

// One folder of a tree walk: its path relative to the walk's root ("" for the root,
// else "a/b", bytes as the file system gave them) and its listed names.
struct ListedFolder {
    std::string relative;
    std::vector<std::string> names;
};

struct FolderTreeListing {
    // A folder before its subfolders; sibling folders sorted as the list sorts names.
    std::vector<ListedFolder> folders;
    // Subfolders that could not be read (relative path, why); the rest is listed.
    std::vector<std::pair<std::string, Status>> unreadable;
    Status status; // failed: the root itself could not be read, and nothing is listed
};

// ListFolderMp3s over root and every folder below it. Hidden folders are skipped as
// hidden files are, and a folder reached again (a link to a folder already walked, by
// device and inode) is not entered twice. Each folder is read once.
FolderTreeListing ListFolderTreeMp3s(const std::string& root, const SortLocale& locale,
                                     std::vector<std::string>* recoveryNotes = nullptr);

std::u16string FormatGenre(const clsID3& tag);
std::u16string FormatPlayingTime(double seconds);
std::u16string FormatBitRate(double bitsPerSecond, int encoding);

// The eleven cells of one row: file name, title, artist, album, genre, track,
// tracks total, year, duration, bit rate, comments.
std::vector<std::u16string> ListRowCells(const std::u16string& fileName, const clsID3& tag);
extern const char* const kListColumnTitles[kListColumnCount];

} // namespace brindle
