// The file-name tools of brindle-cli, in the module that carries Qt (see ExtrasModule.h).
// A dry run goes through the same plan and the same rename code as the real run, on a
// picture of the folder in memory, so that both announce the same renames and refusals.
#include "DryRun.h"
#include "ExtrasModule.h"
#include "ExtrasRenameBatch.h"
#include "Printable.h"

#include "tag/clsID3.h"
#include "tools/FileTools.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace brindle;
using brindle::cli::DryRunCanWrite;
using brindle::cli::Printable;
using brindle::cli::ReportFile;
using brindle::cli::RunRenameBatch;

// A path split into its folder and its name, as bytes.
struct Target {
    std::string folder; // "." for a bare name
    std::string name;
    std::string shown; // the path as given, for messages
};

Target split(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return {".", path, path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1), path};
}

// Name text keeps every byte of a name (see NameText), so no file is taken for another.
QString text(const std::string& bytes) { return NameText(bytes); }
std::string shown(const QString& nameText) { return Printable(DisplayText(nameText).toStdString()); }

// One folder of a renaming batch: the plan in the order the files were given.
struct FolderPlan {
    std::string folder;
    QList<PlannedRename> plan;
};

int titleFromFileName(const std::vector<std::string>& files, bool dryRun, std::ostream& out, std::ostream& err)
{
    int status = 0;
    for (const auto& file : files) {
        const Target t = split(file);
        const QString title = TitleFromFileName(text(t.name));
        std::string problem;
        if (dryRun) {
            clsID3 tag;
            tag.SetFileName(file);
            problem = DryRunCanWrite(tag, file).reason();
        } else if (const TitleResult written = UseFilenameForTitle(t.folder, t.name); !written.written) {
            problem = written.reason.toStdString();
        }
        if (!problem.empty()) {
            ReportFile(err, file, problem);
            status = 1;
            continue;
        }
        out << Printable(t.name) << " -> " << shown(title) << "\n";
    }
    return status;
}

} // namespace

namespace brindle::cli {

int RunRenameBatch(const std::vector<std::string>& files, bool dryRun, std::ostream& out, std::ostream& err,
                   const PlanOneRename& planOne)
{
    int status = 0;
    std::vector<FolderPlan> folders;
    std::map<std::pair<dev_t, ino_t>, std::size_t> folderIndex;
    std::map<std::pair<std::size_t, std::string>, bool> seen;
    for (const auto& file : files) {
        const Target t = split(file);
        struct stat folderStat {};
        if (::stat(t.folder.c_str(), &folderStat) != 0) {
            ReportFile(err, file, std::strerror(errno));
            status = 1;
            continue;
        }
        const auto [slot, added] = folderIndex.try_emplace({folderStat.st_dev, folderStat.st_ino}, folders.size());
        if (added)
            folders.push_back({t.folder, {}});
        if (!seen.try_emplace({slot->second, t.name}, true).second) {
            ReportFile(err, file, "given more than once; renamed once only");
            status = 1;
            continue;
        }
        PlannedRename plan;
        if (const std::string why = planOne(file, text(t.name), plan); !why.empty()) {
            ReportFile(err, file, why);
            status = 1;
            continue;
        }
        folders[slot->second].plan.append(plan);
    }

    for (const FolderPlan& f : folders) {
        const QString folder = text(f.folder);
        const QList<RenameResult> results = dryRun ? PreviewRenameInFolder(folder, f.plan)
                                                   : RenameInFolder(folder, f.plan);
        const std::string prefix = f.folder == "." ? std::string() : f.folder + "/";
        for (const RenameResult& r : results) {
            if (r.outcome == RenameOutcome::Renamed)
                out << shown(r.oldName) << " -> " << shown(r.newName) << "\n";
            else if (r.failed()) {
                ReportFile(err, prefix + NameBytes(r.oldName), shown(r.reason));
                status = 1;
            }
        }
    }
    return status;
}

} // namespace brindle::cli

extern "C" __attribute__((visibility("default"))) int brindle_cli_file_tool(const std::string* tool,
                                                                            const std::vector<std::string>* files,
                                                                            bool dryRun, std::ostream* out,
                                                                            std::ostream* err)
{
    if (*tool == "title-from-filename")
        return titleFromFileName(*files, dryRun, *out, *err);
    if (*tool != "rename" && *tool != "clean-names" && *tool != "remove-leading-numbers" && *tool != "number-files") {
        *err << "brindle-cli: unknown file tool " << Printable(*tool) << "\n";
        return 2;
    }

    int number = 0;
    clsID3 tag;
    return RunRenameBatch(*files, dryRun, *out, *err,
                          [&](const std::string& file, const QString& name, PlannedRename& plan) -> std::string {
                              if (*tool == "rename") {
                                  tag.SetFileName(file);
                                  if (!tag.ReadStatus())
                                      return tag.ReadStatus().reason();
                                  plan = PlanTitleForFilename(name, QString::fromStdU16String(tag.Title));
                              } else if (*tool == "clean-names") {
                                  plan = PlanCleanFilename(name);
                              } else if (*tool == "remove-leading-numbers") {
                                  plan = PlanRemoveLeadingNumbers(name);
                              } else {
                                  plan = PlanAutoNumber(name, ++number);
                              }
                              return {};
                          });
}
