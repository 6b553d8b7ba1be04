#pragma once
// A temporary folder of small files for the rename tests, listed with hidden names.
#include "FileTools.h"
#include "Mp3Builder.h"
#include "tag/clsID3.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '[' << l.join("|").toStdString() << ']'; }

namespace brindle {

// Numbers the names in the order given, from 1.
inline QList<PlannedRename> PlanAutoNumberFilenames(const QStringList& namesInListOrder)
{
    QList<PlannedRename> plan;
    int number = 1;
    for (const QString& name : namesInListOrder)
        plan.append(PlanAutoNumber(name, number++));
    return plan;
}

// One file renamed by each tool: a batch of one.
inline RenameResult RenameInFolder(const QString& folder, const QString& oldName, const QString& newName,
                                   RenameSystem& sys = RenameSystem::posix())
{
    return RenameInFolder(folder, QList<PlannedRename>{{oldName, newName}}, sys).first();
}
inline RenameResult UseTitleForFilename(const QString& folder, const QString& fileName, const QString& title,
                                        RenameSystem& sys = RenameSystem::posix())
{
    return RenameInFolder(folder, QList<PlannedRename>{PlanTitleForFilename(fileName, title)}, sys).first();
}
inline RenameResult UseTitleForFilename(const QString& folder, const QString& fileName, const clsID3& tag,
                                        RenameSystem& sys = RenameSystem::posix())
{
    return UseTitleForFilename(folder, fileName, QString::fromStdU16String(tag.Title), sys);
}
inline RenameResult CleanFilename(const QString& folder, const QString& fileName,
                                  RenameSystem& sys = RenameSystem::posix())
{
    return RenameInFolder(folder, QList<PlannedRename>{PlanCleanFilename(fileName)}, sys).first();
}
inline RenameResult RemoveLeadingNumbers(const QString& folder, const QString& fileName,
                                         RenameSystem& sys = RenameSystem::posix())
{
    return RenameInFolder(folder, QList<PlannedRename>{PlanRemoveLeadingNumbers(fileName)}, sys).first();
}
inline RenameResult AutoNumberFilename(const QString& folder, const QString& fileName, int number,
                                       RenameSystem& sys = RenameSystem::posix())
{
    return RenameInFolder(folder, QList<PlannedRename>{PlanAutoNumber(fileName, number)}, sys).first();
}

} // namespace brindle

namespace brindle::test {

struct Folder {
    TempDir dir;
    QString path() const { return QString::fromStdString(dir.path().string()); }
    void put(const std::string& name, const std::string& content = {}) const
    {
        WriteFile(dir.path() / name, content.empty() ? "content of " + name : content);
    }
    std::string read(const std::string& name) const { return ReadFile(dir.path() / name); }
    bool has(const std::string& name) const { return std::filesystem::exists(dir.path() / name); }
    // Every entry, hidden ones included, sorted.
    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

} // namespace brindle::test
