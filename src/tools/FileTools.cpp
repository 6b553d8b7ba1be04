#include "FileTools.h"

#include "tag/clsID3.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <optional>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace brindle {

namespace {

std::string native(const QString& name) { return NameBytes(name); }
QString fromNative(const std::string& name) { return NameText(name); }

// A name without letter case. Qt folds a lone surrogate to U+FFFD, which would make
// a name's odd bytes equal to its replacement-character twin: they are kept apart.
QString caseless(const QString& name)
{
    QString out;
    out.reserve(name.size());
    qsizetype run = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        const bool lone = i < name.size() && name[i].isSurrogate() &&
                          !(name[i].isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) &&
                          !(name[i].isLowSurrogate() && i > 0 && name[i - 1].isHighSurrogate());
        if (i == name.size() || lone) {
            out += name.mid(run, i - run).toCaseFolded();
            if (lone)
                out += name[i];
            run = i + 1;
        }
    }
    return out;
}

QString errorText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// An open folder with its entries indexed by case-folded name, so that a new name
// can be checked against every existing name without letter case.
class Folder {
public:
    explicit Folder(const QString& path)
    {
        fd_ = OpenFolder(native(path));
        if (fd_ < 0) {
            error_ = errno ? errno : EIO;
            return;
        }
        const long max = ::fpathconf(fd_, _PC_NAME_MAX);
        maxName_ = max > 0 ? max : 255;
        const int listFd = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
        if (!dir) {
            if (listFd >= 0)
                ::close(listFd);
            return; // the renames stay safe; only the letter-case check is lost
        }
        while (const dirent* e = ::readdir(dir)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..")
                add(fromNative(n));
        }
        ::closedir(dir);
    }
    ~Folder()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    int fd() const { return fd_; }
    int error() const { return error_; }
    long maxName() const { return maxName_; }

    void add(const QString& name) { index_[caseless(name)].append(name); }
    void remove(const QString& name)
    {
        auto it = index_.find(caseless(name));
        if (it != index_.end()) {
            it->removeAll(name);
            if (it->isEmpty())
                index_.erase(it);
        }
    }
    // Another entry whose name equals `name` without letter case; empty if none.
    QString caselessTwin(const QString& name, const QString& except) const
    {
        for (const QString& n : index_.value(caseless(name)))
            if (n != except)
                return n;
        return QString();
    }

private:
    int fd_ = -1;
    int error_ = 0;
    long maxName_ = 255;
    QHash<QString, QStringList> index_;
};

RenameResult failed(RenameResult r, const QString& reason, bool taken = false)
{
    r.outcome = RenameOutcome::Failed;
    r.reason = reason;
    r.taken = taken;
    return r;
}

QString takenReason(const QString& name) { return QStringLiteral("a file named \"%1\" already exists").arg(name); }

// One rename attempt of `current` (the file's name now) to plan.newName. `clash`
// receives the name of the file that holds the new name when the result is EEXIST.
RenameResult attempt(Folder& folder, const QString& current, const PlannedRename& plan, RenameSystem& sys,
                     QString* clash)
{
    RenameResult r;
    r.oldName = plan.oldName;
    r.newName = plan.newName;
    if (clash)
        clash->clear();
    if (plan.newName.isEmpty() || plan.newName == current) {
        r.outcome = RenameOutcome::Unchanged;
        return r;
    }
    if (folder.fd() < 0)
        return failed(r, errorText(folder.error()));
    if (current.isEmpty() || current == u"." || current == u".." || current.contains(u'/'))
        return failed(r, QStringLiteral("\"%1\" is not a file of this folder").arg(current));
    if (const QString problem = NewNameProblem(plan.newName, folder.maxName()); !problem.isEmpty())
        return failed(r, problem);

    const std::string from = native(current);
    const std::string to = native(plan.newName);
    struct stat source {};
    if (sys.stat(folder.fd(), from.c_str(), &source) != 0) {
        const int err = errno ? errno : EIO;
        return failed(r, err == ENOENT ? QStringLiteral("the file no longer exists") : errorText(err));
    }
    if (S_ISDIR(source.st_mode))
        return failed(r, QStringLiteral("\"%1\" is a folder").arg(current));

    int rc = 0;
    std::string leftOver;
    struct stat target {};
    if (sys.stat(folder.fd(), to.c_str(), &target) == 0) {
        if (target.st_dev != source.st_dev || target.st_ino != source.st_ino) {
            if (clash)
                *clash = plan.newName;
            return failed(r, takenReason(plan.newName), true);
        }
        // The file system finds the file itself under the new name: only the letter
        // case changes, which needs a detour through a name of its own.
        rc = RenameChangingCase(folder.fd(), from, to, sys, &leftOver);
    } else if (const QString twin = folder.caselessTwin(plan.newName, current); !twin.isEmpty()) {
        if (clash)
            *clash = twin;
        return failed(r, takenReason(twin), true);
    } else {
        rc = RenameNoReplace(folder.fd(), from, to, sys);
    }

    if (rc == 0) {
        folder.remove(current);
        folder.add(plan.newName);
        r.outcome = RenameOutcome::Renamed;
        return r;
    }
    if (rc == EEXIST && clash)
        *clash = plan.newName;
    r = failed(r, rc == EEXIST ? takenReason(plan.newName) : errorText(rc), rc == EEXIST);
    if (!leftOver.empty()) {
        r.hiddenName = fromNative(leftOver);
        folder.remove(current);
        folder.add(r.hiddenName);
        r.reason += QStringLiteral("; the file is now named \"%1\"").arg(r.hiddenName);
    }
    return r;
}

RenameResult renameOne(const QString& folder, const PlannedRename& plan, RenameSystem& sys)
{
    Folder f(folder);
    return attempt(f, plan.oldName, plan, sys, nullptr);
}

} // namespace

QString RenameResult::currentName() const
{
    if (outcome == RenameOutcome::Renamed)
        return newName;
    return hiddenName.isEmpty() ? oldName : hiddenName;
}

PlannedRename PlanTitleForFilename(const QString& fileName, const QString& title)
{
    return {fileName, title.isEmpty() ? QString() : FileNameFromTitle(title)};
}

PlannedRename PlanCleanFilename(const QString& fileName) { return {fileName, CleanFileName(fileName)}; }

PlannedRename PlanRemoveLeadingNumbers(const QString& fileName)
{
    if (!StartsWithDigit(fileName))
        return {fileName, QString()};
    return {fileName, RemoveLeadingNumbersName(fileName)};
}

PlannedRename PlanAutoNumber(const QString& fileName, int number)
{
    return {fileName, AutoNumberName(fileName, number)};
}

int RenamesIn(const QList<PlannedRename>& plan)
{
    return static_cast<int>(std::count_if(plan.cbegin(), plan.cend(), [](const PlannedRename& p) {
        return !p.newName.isEmpty() && p.newName != p.oldName;
    }));
}

QList<RenameResult> RenameInFolder(const QString& folder, const QList<PlannedRename>& plan, RenameSystem& sys,
                                   const BatchControl& control)
{
    Folder f(folder);
    QList<RenameResult> results(plan.size());
    QList<qsizetype> pending;
    QStringList current;                    // each entry's name on disk now
    QList<bool> parked(plan.size(), false); // under a hidden name now
    QHash<QString, qsizetype> claimed;      // case-folded new name -> entry that asked first
    int done = 0;
    auto dealtWith = [&] { control.finished(++done); };

    for (qsizetype i = 0; i < plan.size(); ++i) {
        const PlannedRename& p = plan[i];
        current.append(p.oldName);
        results[i].oldName = p.oldName;
        results[i].newName = p.newName;
        if (p.newName.isEmpty() || p.newName == p.oldName)
            continue;
        const QString key = caseless(p.newName);
        if (claimed.contains(key)) {
            results[i] = failed(results[i],
                                QStringLiteral("\"%1\" is also the new name of \"%2\"")
                                    .arg(p.newName, plan[claimed.value(key)].oldName),
                                true);
            dealtWith();
            continue;
        }
        claimed.insert(key, i);
        pending.append(i);
    }

    auto holderOf = [&](const QString& name, qsizetype except) -> qsizetype {
        for (qsizetype j : pending)
            if (j != except && caseless(current[j]) == caseless(name))
                return j;
        return -1;
    };
    // Gives a parked file its old name back after a failure.
    auto unpark = [&](qsizetype i) {
        if (!parked[i])
            return;
        parked[i] = false;
        if (RenameNoReplace(f.fd(), native(current[i]), native(plan[i].oldName), sys) == 0) {
            f.remove(current[i]);
            f.add(plan[i].oldName);
            current[i] = plan[i].oldName;
        } else {
            results[i].hiddenName = current[i];
            results[i].reason += QStringLiteral("; the file is now named \"%1\"").arg(current[i]);
        }
    };
    // Once stopped, only the files that bring a parked file to its new name are still
    // renamed: the parked file, the holder of its new name, the holder of that one's, ...
    auto stillNeeded = [&] {
        QSet<qsizetype> needed;
        for (qsizetype p = 0; p < plan.size(); ++p)
            if (parked[p])
                for (qsizetype j = p; j >= 0 && !needed.contains(j); j = holderOf(plan[j].newName, j))
                    needed.insert(j);
        return needed;
    };
    auto stop = [&](qsizetype i) { results[i].outcome = RenameOutcome::Stopped; };

    while (!pending.isEmpty()) {
        bool progress = false;
        QList<qsizetype> waiting;
        QList<RenameResult> lastTry(plan.size());
        std::optional<QSet<qsizetype>> needed; // worked out once a round: it only shrinks
        for (qsizetype i : pending) {
            if (control.stopped()) {
                if (!needed)
                    needed = stillNeeded();
                if (!needed->contains(i)) {
                    stop(i);
                    continue;
                }
            }
            QString clash;
            RenameResult r = attempt(f, current[i], plan[i], sys, &clash);
            r.oldName = plan[i].oldName;
            if (r.taken && holderOf(clash, i) >= 0) {
                waiting.append(i);
                lastTry[i] = r;
                continue;
            }
            progress = true;
            results[i] = r;
            if (r.outcome == RenameOutcome::Renamed) {
                current[i] = plan[i].newName;
                parked[i] = false;
            } else if (r.failed()) {
                unpark(i);
            }
            dealtWith();
        }
        pending = waiting;
        if (control.stopped()) {
            const QSet<qsizetype> stillThere = stillNeeded();
            pending.removeIf([&](qsizetype i) {
                if (stillThere.contains(i))
                    return false;
                stop(i);
                return true;
            });
        }
        if (progress || pending.isEmpty())
            continue;
        // Every waiting file waits for another: move one aside under a hidden name.
        // Once stopped, none is: the ones moved aside already get their old names back.
        qsizetype pick = -1;
        for (qsizetype i : pending)
            if (!parked[i] && !control.stopped()) {
                pick = i;
                break;
            }
        if (pick < 0) {
            for (qsizetype i : pending) {
                if (control.stopped() && !parked[i]) {
                    stop(i);
                    continue;
                }
                results[i] = lastTry[i];
                unpark(i);
                dealtWith();
            }
            break;
        }
        std::string hidden;
        int rc = EEXIST;
        for (int tries = 0; tries < 50 && rc == EEXIST; ++tries) {
            hidden = HiddenWorkName(native(plan[pick].newName));
            rc = RenameNoReplace(f.fd(), native(current[pick]), hidden, sys);
        }
        if (rc != 0) {
            results[pick] = failed(results[pick], errorText(rc));
            pending.removeAll(pick);
            dealtWith();
            continue;
        }
        f.remove(current[pick]);
        current[pick] = fromNative(hidden);
        f.add(current[pick]);
        parked[pick] = true;
    }
    return results;
}

QList<RenameResult> PreviewRenameInFolder(const QString& folder, const QList<PlannedRename>& plan)
{
    SimulatedRenameSystem simulated;
    return RenameInFolder(folder, plan, simulated);
}

namespace {
QString folderPath(const QString& root, const QString& folder)
{
    if (folder.isEmpty())
        return root;
    return (root.endsWith(u'/') ? root : root + u'/') + folder;
}

template <typename RunOne>
QList<RenameResult> renameByFolder(const QList<PlannedRename>& plan, RunOne runOne)
{
    QList<QString> order; // folders in the order they first appear
    QHash<QString, QList<qsizetype>> entries;
    for (qsizetype i = 0; i < plan.size(); ++i) {
        auto it = entries.find(plan[i].folder);
        if (it == entries.end()) {
            order.append(plan[i].folder);
            it = entries.insert(plan[i].folder, {});
        }
        it->append(i);
    }
    QList<RenameResult> results(plan.size());
    for (const QString& folder : order) {
        const QList<qsizetype>& indexes = entries[folder];
        QList<PlannedRename> part;
        for (qsizetype i : indexes)
            part.append(plan[i]);
        const QList<RenameResult> done = runOne(folder, part);
        for (qsizetype k = 0; k < indexes.size(); ++k) {
            results[indexes[k]] = done[k];
            results[indexes[k]].folder = folder;
        }
    }
    return results;
}
} // namespace

QList<RenameResult> RenameInFolders(const QString& root, const QList<PlannedRename>& plan, RenameSystem& sys,
                                    const BatchControl& control)
{
    int before = 0; // renames of the folders done so far
    BatchControl part = control;
    if (control.progress)
        part.progress = [&](int done) { control.finished(before + done); };
    return renameByFolder(plan, [&](const QString& folder, const QList<PlannedRename>& entries) {
        QList<RenameResult> results = RenameInFolder(folderPath(root, folder), entries, sys, part);
        before += RenamesIn(entries);
        return results;
    });
}

QList<RenameResult> PreviewRenameInFolders(const QString& root, const QList<PlannedRename>& plan)
{
    // Each folder gets a picture of its own: the simulation knows names, not folders.
    return renameByFolder(plan, [&](const QString& folder, const QList<PlannedRename>& part) {
        return PreviewRenameInFolder(folderPath(root, folder), part);
    });
}

RenameResult EditFilename(const QString& folder, const QString& fileName, const QString& text, RenameSystem& sys)
{
    if (!EditedNameAccepted(text)) {
        RenameResult r;
        r.oldName = fileName;
        r.newName = text;
        return failed(r, QString::fromLatin1(kEditedNameRefused));
    }
    // Blanks typed after the extension would leave a file the list no longer shows
    // (its name no longer ends in ".mp3"); blanks in front are part of the name.
    QString name = text;
    while (!name.isEmpty() && name.back().isSpace())
        name.chop(1);
    return renameOne(folder, {fileName, name}, sys);
}

TitleResult UseFilenameForTitle(const QString& folder, const QString& fileName)
{
    TitleResult result;
    // The title is text: bytes of the name that are not UTF-8 show as U+FFFD in it.
    result.title = DisplayText(TitleFromFileName(fileName));
    if (fileName.isEmpty() || fileName.contains(u'/')) {
        result.reason = QStringLiteral("\"%1\" is not a file of this folder").arg(fileName);
        return result;
    }
    const QString path = folder.endsWith(u'/') ? folder + fileName : folder + u'/' + fileName;
    clsID3 tag;
    tag.SetFileName(native(path));
    if (const Status& read = tag.ReadStatus(); !read) {
        result.reason = read.fileMissing() ? QStringLiteral("the file no longer exists")
                                           : QString::fromStdString(read.reason());
        return result;
    }
    tag.Title = result.title.toStdU16String();
    result.written = tag.UpdateID3Tags();
    if (!result.written)
        result.reason = QString::fromStdString(tag.LastError());
    return result;
}

TitleResult UseFilenameForTitle(const std::string& folder, const std::string& fileName)
{
    return UseFilenameForTitle(NameText(folder), NameText(fileName));
}

QStringList DescribeFailures(const QList<RenameResult>& results)
{
    QStringList lines;
    for (const RenameResult& r : results)
        if (r.failed())
            lines.append(DisplayText(r.folder.isEmpty() ? r.oldName : r.folder + u'/' + r.oldName) +
                         QStringLiteral(": ") + r.reason);
    return lines;
}

} // namespace brindle
