#pragma once
// A temporary folder of small files for the rename tests, listed with hidden names.
#include "Mp3Builder.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '[' << l.join("|").toStdString() << ']'; }

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
