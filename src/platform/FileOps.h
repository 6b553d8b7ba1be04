#pragma once
// File-system questions the window asks (existence, whether a folder has files,
// length and writability) and the deletion of files. Linux has no hidden or
// read-only attribute bits: a name beginning with "." is hidden, and "read-only"
// means the owner may not write the file.
// The window's batches call it from several threads at once: implementations keep no
// state between calls.

#include "tag/Status.h"

#include <QByteArray>
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

    // The same on byte paths, as the file system spells them (names need not be UTF-8).
    virtual bool existsAt(const QByteArray& path) const = 0;
    virtual std::optional<std::int64_t> lengthAt(const QByteArray& path) const = 0;
    // Lets the owner write the file. Gives the mode to put back afterwards where one was
    // changed, nullopt where the file was writable already or could not be changed (the
    // write that follows then fails and says why).
    virtual std::optional<unsigned> makeWritableAt(const QByteArray& path) = 0;
    virtual Status setModeAt(const QByteArray& path, unsigned mode) = 0;
    // Done once the file is gone, also when it was gone already.
    virtual Status removeAt(const QByteArray& path) = 0;
};

class PosixFileOps : public FileOps {
public:
    bool exists(const QString& path) const override;
    bool isDirectory(const QString& path) const override;
    bool hasPlainFile(const QString& folder) const override;
    bool existsAt(const QByteArray& path) const override;
    std::optional<std::int64_t> lengthAt(const QByteArray& path) const override;
    std::optional<unsigned> makeWritableAt(const QByteArray& path) override;
    Status setModeAt(const QByteArray& path, unsigned mode) override;
    Status removeAt(const QByteArray& path) override;
};

// Joins a folder and a name with exactly one "/" between them.
QString joinPath(const QString& folder, const QString& name);
// A folder path with one trailing "/" added or removed (the root stays "/").
QString withTrailingSlash(const QString& folder);
QString withoutTrailingSlash(QString folder);

} // namespace brindle
