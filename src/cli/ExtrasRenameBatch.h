#pragma once
// The renaming commands of the extras module share one batch: files grouped by folder
// (each folder planned whole, in the order given), a file given twice refused, and the
// dry run carried out by the same code as the real run on a picture of the folder.

#include "tools/FileTools.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace brindle::cli {

// Plans the rename of one file (path as given; name as lossless name text). Returns
// "" and fills plan, or the reason the file keeps its name.
using PlanOneRename = std::function<std::string(const std::string& path, const QString& name, PlannedRename& plan)>;

// Prints "old -> new" for each rename and names each refusal on err; 0, or 1 when a
// file was refused or failed.
int RunRenameBatch(const std::vector<std::string>& files, bool dryRun, std::ostream& out, std::ostream& err,
                   const PlanOneRename& planOne);

} // namespace brindle::cli
