// The file-name tools of brindle-cli, in the module that carries Qt (see PictureModule.h).
#include "PictureModule.h"

#include "tag/clsID3.h"
#include "tools/FileTools.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <ostream>

namespace {

using namespace brindle;

struct Target {
    QString folder;
    QString name;
};

Target split(const std::string& path)
{
    QFileInfo info(QString::fromStdString(path));
    return {info.absolutePath(), info.fileName()};
}

// Runs one folder's plan (or prints it) and reports; false when a file failed.
bool carryOut(const QString& folder, const QList<PlannedRename>& plan, bool dryRun, std::ostream& out,
              std::ostream& err)
{
    if (dryRun) {
        for (const auto& p : plan) {
            if (p.newName.isEmpty() || p.newName == p.oldName)
                continue;
            out << p.oldName.toStdString() << " -> " << p.newName.toStdString();
            if (QString problem = NewNameProblem(p.newName); !problem.isEmpty())
                out << " (refused: " << problem.toStdString() << ")";
            out << "\n";
        }
        return true;
    }
    QList<RenameResult> results = RenameInFolder(folder, plan);
    for (const auto& r : results)
        if (r.outcome == RenameOutcome::Renamed)
            out << r.oldName.toStdString() << " -> " << r.newName.toStdString() << "\n";
    for (const QString& line : DescribeFailures(results))
        err << "brindle-cli: " << (folder + "/").toStdString() << line.toStdString() << "\n";
    return std::none_of(results.begin(), results.end(), [](const RenameResult& r) { return r.failed(); });
}

} // namespace

extern "C" __attribute__((visibility("default"))) int
brindle_cli_file_tool(const std::string* tool, const std::vector<std::string>* files, bool dryRun, std::ostream* out,
                      std::ostream* err)
{
    bool ok = true;
    if (*tool == "title-from-filename") {
        for (const auto& file : *files) {
            Target t = split(file);
            QString title = TitleFromFileName(t.name);
            if (dryRun) {
                *out << t.name.toStdString() << " -> " << title.toStdString() << "\n";
                continue;
            }
            TitleResult r = UseFilenameForTitle(t.folder, t.name);
            if (r.written) {
                *out << t.name.toStdString() << " -> " << r.title.toStdString() << "\n";
            } else {
                *err << "brindle-cli: " << file << ": " << r.reason.toStdString() << "\n";
                ok = false;
            }
        }
        return ok ? 0 : 1;
    }

    // The renaming tools: one plan per folder, files kept in the order given.
    QList<QString> folders;
    QList<QList<PlannedRename>> plans;
    int number = 0;
    clsID3 tag;
    for (const auto& file : *files) {
        Target t = split(file);
        PlannedRename plan;
        if (*tool == "rename") {
            tag.SetFileName(file);
            if (tag.ReadError() != 0) {
                *err << "brindle-cli: " << file << ": " << std::strerror(tag.ReadError()) << "\n";
                ok = false;
                continue;
            }
            plan = PlanTitleForFilename(t.name, QString::fromStdU16String(tag.Title));
        } else if (*tool == "clean-names") {
            plan = PlanCleanFilename(t.name);
        } else if (*tool == "remove-leading-numbers") {
            plan = PlanRemoveLeadingNumbers(t.name);
        } else if (*tool == "number-files") {
            plan = PlanAutoNumber(t.name, ++number);
        } else {
            *err << "brindle-cli: unknown file tool " << *tool << "\n";
            return 2;
        }
        qsizetype at = folders.indexOf(t.folder);
        if (at < 0) {
            folders.append(t.folder);
            plans.append(QList<PlannedRename>());
            at = folders.size() - 1;
        }
        plans[at].append(plan);
    }
    for (qsizetype i = 0; i < folders.size(); ++i)
        ok = carryOut(folders[i], plans[i], dryRun, *out, *err) && ok;
    return ok ? 0 : 1;
}
