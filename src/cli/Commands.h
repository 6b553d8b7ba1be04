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
};

int Show(const std::vector<std::string>& files, bool json, std::ostream& out, std::ostream& err);
int List(const std::string& folder, bool json, std::ostream& out, std::ostream& err);
int Set(const std::vector<std::string>& files, const std::vector<Edit>& edits, std::ostream& out, std::ostream& err);
int Strip(const std::vector<std::string>& files, std::ostream& out, std::ostream& err);

// Checks names and values before any file is touched; an empty result means valid.
std::string ValidateEdits(const std::vector<Edit>& edits);

} // namespace brindle::cli
