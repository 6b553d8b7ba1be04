// rename --pattern, in the module that carries Qt (see ExtrasModule.h): names made by
// the pattern, carried out by the file tools' batch rename, one planned batch per
// folder, so that it keeps their rules (no clobber, never out of the folder, two files
// never given one name) and its dry run goes through the very code of the real run.
#include "ExtrasModule.h"
#include "Printable.h"

#include "tag/clsID3.h"
#include "tools/FileTools.h"
#include "tools/NamePattern.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <map>
#include <ostream>
#include <sys/stat.h>

namespace {

using namespace brindle;
using brindle::cli::Printable;

QString text(const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); }
bool survivesAsText(const std::string& name) { return QFile::encodeName(text(name)).toStdString() == name; }

void refuse(std::ostream& err, const std::string& path, const std::string& reason)
{
    err << "brindle-cli: " << Printable(path) << ": " << reason << "\n";
}

struct FolderPlan {
    std::string folder;
    QList<PlannedRename> plan;
};

} // namespace

extern "C" __attribute__((visibility("default"))) int
brindle_cli_pattern_rename(const std::string* patternText, const std::string* replacement,
                           const std::vector<std::string>* files, bool dryRun, std::ostream* out, std::ostream* err)
{
    std::string problem;
    const auto pattern = NamePattern::Parse(*patternText, problem);
    if (!pattern) {
        *err << "brindle-cli: " << Printable(problem) << "\n";
        return 2;
    }
    int status = 0;
    std::vector<FolderPlan> folders;
    std::map<std::pair<dev_t, ino_t>, std::size_t> folderIndex;
    std::map<std::pair<std::size_t, std::string>, bool> seen;
    clsID3 tag;
    for (const auto& file : *files) {
        const auto slash = file.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
        const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
        struct stat folderStat {};
        if (::stat(folder.c_str(), &folderStat) != 0) {
            refuse(*err, file, std::strerror(errno));
            status = 1;
            continue;
        }
        const auto [slot, added] = folderIndex.try_emplace({folderStat.st_dev, folderStat.st_ino}, folders.size());
        if (added)
            folders.push_back({folder, {}});
        if (!seen.try_emplace({slot->second, name}, true).second) {
            refuse(*err, file, "given more than once; renamed once only");
            status = 1;
            continue;
        }
        if (!survivesAsText(name) || !survivesAsText(folder)) {
            refuse(*err, file, "the path is not valid UTF-8; the file keeps its name");
            status = 1;
            continue;
        }
        tag.SetFileName(file);
        if (tag.ReadError() != 0) {
            refuse(*err, file, std::strerror(tag.ReadError()));
            status = 1;
            continue;
        }
        const std::string newName = pattern->NameFor(tag, name, *replacement);
        if (newName.empty()) {
            refuse(*err, file, "every field of the pattern is empty; the file keeps its name");
            status = 1;
            continue;
        }
        folders[slot->second].plan.append({text(name), text(newName)});
    }

    for (const FolderPlan& f : folders) {
        const QString folder = text(f.folder);
        const QList<RenameResult> results = dryRun ? PreviewRenameInFolder(folder, f.plan)
                                                   : RenameInFolder(folder, f.plan);
        const std::string prefix = f.folder == "." ? std::string() : f.folder + "/";
        for (const RenameResult& r : results) {
            if (r.outcome == RenameOutcome::Renamed)
                *out << Printable(r.oldName.toStdString()) << " -> " << Printable(r.newName.toStdString()) << "\n";
            else if (r.failed()) {
                refuse(*err, prefix + r.oldName.toStdString(), Printable(r.reason.toStdString()));
                status = 1;
            }
        }
    }
    return status;
}
