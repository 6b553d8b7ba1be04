#pragma once
// File-system questions the window asks: existence, whether a folder has files,
// length and writability. Linux has no hidden or read-only attribute bits: a name
// beginning with "." is hidden, and "read-only" means the owner may not write the file.

#include <QString>

#include <cstdint>
#include <optional>

namespace brindle {

class FileOps {
public:
    virtual ~FileOps() = default;
    // True for a plain file (directories do not count).
    virtual bool exists(const QString& path) const = 0;
    virtual bool isDirectory(const QString& path) const = 0;
    // Whether the folder holds a plain file (a regular file, or a symbolic link to
    // one) whose name is not hidden; stops at the first.
    virtual bool hasPlainFile(const QString& folder) const = 0;
    virtual std::optional<std::int64_t> length(const QString& path) const = 0;
    // Clears what would stop the owner from writing the file. False if that failed.
    virtual bool makeWritable(const QString& path) = 0;
    virtual bool remove(const QString& path) = 0;
};

class PosixFileOps : public FileOps {
public:
    bool exists(const QString& path) const override;
    bool isDirectory(const QString& path) const override;
    bool hasPlainFile(const QString& folder) const override;
    std::optional<std::int64_t> length(const QString& path) const override;
    bool makeWritable(const QString& path) override;
    bool remove(const QString& path) override;
};

// Joins a folder and a name with exactly one "/" between them.
QString joinPath(const QString& folder, const QString& name);
// A folder path with one trailing "/" added or removed (the root stays "/").
QString withTrailingSlash(const QString& folder);
QString withoutTrailingSlash(QString folder);

} // namespace brindle
