#include "PatternCommands.h"

#include "Commands.h"
#include "DryRun.h"
#include "Printable.h"

#include "tag/TextCodec.h"
#include "tag/clsID3.h"
#include "tools/NamePattern.h"

#include <cerrno>
#include <cstring>
#include <ostream>
#include <unistd.h>

namespace brindle::cli {

std::string PatternProblem(const std::string& pattern, bool readingNames, const std::string& replacement)
{
    std::string error;
    const auto parsed = NamePattern::Parse(pattern, error);
    if (!parsed)
        return Printable(error);
    if (readingNames)
        return Printable(parsed->ReadingProblem());
    return Printable(ReplacementProblem(replacement));
}

std::vector<std::string> PatternPlaceholders()
{
    std::vector<std::string> names;
    for (const auto& name : NamePattern::PlaceholderNames())
        names.push_back("%" + name + "%");
    return names;
}

int TagsFromName(const std::string& patternText, const std::vector<std::string>& files, bool dryRun, std::ostream& out,
                 std::ostream& err)
{
    std::string error;
    const auto pattern = NamePattern::Parse(patternText, error);
    if (!pattern) {
        Report(err, error);
        return 2;
    }
    int status = 0;
    for (const auto& file : files) {
        const auto slash = file.rfind('/');
        const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
        // Tag text is Unicode: bytes that are not UTF-8 would reach the tag as U+FFFD.
        if (ToUtf8(FromUtf8(name)) != name) {
            ReportFile(err, file, "the name is not valid UTF-8; the file is left alone");
            status = 1;
            continue;
        }
        const auto values = pattern->ValuesFromName(name);
        if (!values) {
            ReportFile(err, file, "the name does not match the pattern; the file is left alone");
            status = 1;
            continue;
        }
        std::vector<Edit> edits;
        for (const auto& v : *values)
            edits.push_back({Edit::Kind::Set, std::string(v.property->name), ToUtf8(v.value), {}, {}, 3});
        if (dryRun) {
            // The checks the real run meets first, so that both announce the same refusals.
            clsID3 tag;
            tag.SetFileName(file);
            if (const Status can = DryRunCanWrite(tag, file); !can) {
                ReportFile(err, file, can.reason());
                status = 1;
                continue;
            }
        } else if (Set({file}, edits, out, err) != 0) {
            status = 1;
            continue;
        }
        for (const Edit& e : edits)
            out << Printable(file) << ": " << e.name << "=\"" << Printable(e.value) << "\"\n";
    }
    return status;
}

} // namespace brindle::cli
