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
    // For pictures, filled by PrepareEdits: the image file's bytes and the picture type.
    std::string image;
    int pictureType = 3;
};

int Show(const std::vector<std::string>& files, bool json, std::ostream& out, std::ostream& err);
// sortColumn: 0 for directory order, else 1..11.
int List(const std::string& folder, bool json, int sortColumn, bool descending, std::ostream& out, std::ostream& err);
// A column number 1..11 or a column title (letter case ignored); 0 when it is neither.
int ParseListColumn(const std::string& text);
// jobs: files written at once (0: one per processor); messages keep the order of files.
int Set(const std::vector<std::string>& files, const std::vector<Edit>& edits, std::ostream& out, std::ostream& err,
        unsigned jobs = 1);
int Strip(const std::vector<std::string>& files, std::ostream& out, std::ostream& err, unsigned jobs = 1);

// Checks names and values, and reads and checks the images to add, before any
// file is touched; an empty result means valid.
std::string PrepareEdits(std::vector<Edit>& edits);

// Writes every picture of file into folder as "NN-<picture type>.<ext>", never
// replacing an existing file.
int ExtractArt(const std::string& file, const std::string& folder, std::ostream& out, std::ostream& err);

} // namespace brindle::cli
