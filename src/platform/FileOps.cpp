#include "platform/FileOps.h"

#include <QFile>

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brindle {

namespace {

QByteArray native(const QString& path) { return QFile::encodeName(path); }

bool isHiddenName(const char* name) { return name[0] == '.'; }

// Calls f(name) for each plain, non-hidden entry until f returns false.
template <typename F>
void forEachPlainFile(const QString& folder, F&& f)
{
    const QByteArray dirPath = native(folder.isEmpty() ? QStringLiteral(".") : folder);
    DIR* dir = ::opendir(dirPath.constData());
    if (!dir)
        return;
    const int dfd = ::dirfd(dir);
    while (const dirent* e = ::readdir(dir)) {
        if (isHiddenName(e->d_name)) // also "." and ".."
            continue;
        bool plain = false;
        if (e->d_type == DT_REG) {
            plain = true;
        } else if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat st {};
            plain = ::fstatat(dfd, e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        if (plain && !f(e->d_name))
            break;
    }
    ::closedir(dir);
}

} // namespace

QString joinPath(const QString& folder, const QString& name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString withTrailingSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString withoutTrailingSlash(QString folder)
{
    if (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

bool PosixFileOps::exists(const QString& path) const
{
    struct stat st {};
    return !path.isEmpty() && ::stat(native(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PosixFileOps::isDirectory(const QString& path) const
{
    struct stat st {};
    return !path.isEmpty() && ::stat(native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixFileOps::hasPlainFile(const QString& folder) const
{
    bool found = false;
    forEachPlainFile(folder, [&](const char*) {
        found = true;
        return false;
    });
    return found;
}

bool PosixFileOps::existsAt(const QByteArray& path) const
{
    struct stat st {};
    return !path.isEmpty() && ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<std::int64_t> PosixFileOps::lengthAt(const QByteArray& path) const
{
    struct stat st {};
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<std::int64_t>(st.st_size);
}

std::optional<unsigned> PosixFileOps::makeWritableAt(const QByteArray& path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0 || (st.st_mode & S_IWUSR))
        return std::nullopt;
    const unsigned mode = st.st_mode & 07777;
    if (::chmod(path.constData(), mode | S_IWUSR) != 0)
        return std::nullopt;
    return mode;
}

Status PosixFileOps::setModeAt(const QByteArray& path, unsigned mode)
{
    if (::chmod(path.constData(), static_cast<mode_t>(mode)) == 0)
        return {};
    return Status::FromErrno("its permissions could not be put back", errno);
}

Status PosixFileOps::removeAt(const QByteArray& path)
{
    if (path.isEmpty())
        return Status::FromErrno("cannot be deleted", ENOENT);
    if (::unlink(path.constData()) == 0)
        return {};
    const int err = errno;
    struct stat st {};
    if (err == ENOENT && ::lstat(path.constData(), &st) != 0)
        return {};
    return Status::FromErrno("cannot be deleted", err);
}

} // namespace brindle
