#pragma once
// brindle-cli's pattern commands that need no Qt (rename --pattern runs in the extras
// module, through the file tools' batch rename).

#include <iosfwd>
#include <string>
#include <vector>

namespace brindle::cli {

// Checks a pattern (and the replacement, for names) before any file is touched; the
// reason when it cannot be used, empty when it can.
std::string PatternProblem(const std::string& pattern, bool readingNames, const std::string& replacement = "-");

// The placeholders for the help text, each with its "%"s.
std::vector<std::string> PatternPlaceholders();

// Reads each file's name by the pattern and writes the values through the save path of
// set. A name without the pattern's shape is named on err and left alone. Every value
// is printed as file: Property="value"; a dry run prints them and writes nothing.
int TagsFromName(const std::string& pattern, const std::vector<std::string>& files, bool dryRun, std::ostream& out,
                 std::ostream& err);

} // namespace brindle::cli
