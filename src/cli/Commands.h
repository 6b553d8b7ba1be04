#pragma once
// The commands of brindle-cli over the tag engine. Each returns the exit status:
// 0 success, 1 when a file could not be read or written.

#include <iosfwd>
#include <string>
#include <vector>

namespace brindle::cli {

struct Edit {
    enum class Kind { Set, Add, Clear } kind;
    std::string name;
    std::string value; // UTF-8
    // For pictures, filled by PrepareEdits: the image file's path and bytes and the picture type.
    std::string imagePath;
    std::string image;
    int pictureType = 3;
};

// The files a command may act on: regular files with the names the window lists
// (".mp3" in any letter case), or regular files of any name with force. Every other
// file is named on err with the reason, and skipped is set.
std::vector<std::string> CheckInputs(const std::vector<std::string>& files, bool force, bool& skipped,
                                     std::ostream& err);

// The names set takes: text properties and GenreID for --set, the lists for --add and --clear.
std::vector<std::string> SetPropertyNames();
std::vector<std::string> ListPropertyNames();

int Show(const std::vector<std::string>& files, bool json, std::ostream& out, std::ostream& err);
// sortColumn 1..11 (the window starts sorted by 1, ascending); 0 for directory order.
int List(const std::string& folder, bool json, int sortColumn, bool descending, std::ostream& out, std::ostream& err);
// A column number 1..11 or a column title (letter case ignored); 0 when it is neither.
int ParseListColumn(const std::string& text);
// jobs: files written at once (0: two per processor); messages keep the order of files.
int Set(const std::vector<std::string>& files, const std::vector<Edit>& edits, std::ostream& out, std::ostream& err,
        unsigned jobs = 1);
int Strip(const std::vector<std::string>& files, std::ostream& out, std::ostream& err, unsigned jobs = 1);

// Checks names (letter case ignored; each is set to its proper spelling) and values,
// and reads and checks the images to add, before any file is touched; an empty result
// means valid, otherwise it names the property and what it takes.
std::string PrepareEdits(std::vector<Edit>& edits);

// Writes every picture of file into folder as "NN-<picture type>.<ext>", never
// replacing an existing file.
int ExtractArt(const std::string& file, const std::string& folder, std::ostream& out, std::ostream& err);

} // namespace brindle::cli
