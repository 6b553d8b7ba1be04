// rename --pattern, in the module that carries Qt (see ExtrasModule.h): names made by
// the pattern, carried out by the file tools' batch rename, one planned batch per
// folder, so that it keeps their rules (no clobber, never out of the folder, two files
// never given one name) and its dry run goes through the very code of the real run.
#include "ExtrasModule.h"
#include "ExtrasRenameBatch.h"
#include "Printable.h"

#include "tag/clsID3.h"
#include "tools/FileTools.h"
#include "tools/NamePattern.h"

#include <cstring>

using namespace brindle;
using brindle::cli::Printable;
using brindle::cli::Report;

extern "C" __attribute__((visibility("default"))) int
brindle_cli_pattern_rename(const std::string* patternText, const std::string* replacement,
                           const std::vector<std::string>* files, bool dryRun, std::ostream* out, std::ostream* err)
{
    std::string problem;
    const auto pattern = NamePattern::Parse(*patternText, problem);
    if (!pattern) {
        Report(*err, problem);
        return 2;
    }
    clsID3 tag;
    return cli::RunRenameBatch(*files, dryRun, *out, *err,
                               [&](const std::string& file, const QString& name, PlannedRename& plan) -> std::string {
                                   tag.SetFileName(file);
                                   if (!tag.ReadStatus())
                                       return tag.ReadStatus().reason();
                                   const std::string newName = pattern->NameFor(tag, NameBytes(name), *replacement);
                                   if (newName.empty())
                                       return "every field of the pattern is empty; the file keeps its name";
                                   plan = {name, NameText(newName)};
                                   return {};
                               });
}
