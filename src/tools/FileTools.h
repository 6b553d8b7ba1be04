#pragma once
// The renaming and cleaning tools, one file at a time or as a planned batch, on real
// files. The window and brindle-cli both call these, so both get the same rules:
// no rename replaces a file, moves it out of its folder, hides it or changes its mode,
// and every file that keeps its name for a reason says why. Names and folders are
// name text (NameText): made from the bytes the file system gave, never from a
// conversion that replaces what is not UTF-8.

#include "FileNameRules.h"
#include "SafeRename.h"

#include "tag/Parallel.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <string>
#include <utility>

namespace brindle {

enum class RenameOutcome {
    Renamed,   // the file now has newName
    Unchanged, // nothing to do: the tool leaves this name alone, or it is already right
    Failed,    // the file keeps oldName (or, rarely, hiddenName); see reason
    Stopped,   // the batch was stopped before this file: it keeps oldName
};

struct PlannedRename {
    QString oldName;
    QString newName; // empty: the tool has nothing to change for this file
    // The file's folder relative to the one a batch is given ("" for that folder
    // itself, else "a/b"); only RenameInFolders reads it.
    QString folder = {};
};

struct RenameResult {
    QString oldName;
    QString newName;
    RenameOutcome outcome = RenameOutcome::Unchanged;
    QString reason;      // for the user, when Failed
    bool taken = false;  // Failed because another file has, or is to get, newName
    QString hiddenName;  // set only if a failed rename could not be undone: the file's name now
    QString folder = {}; // as in the plan

    bool failed() const { return outcome == RenameOutcome::Failed; }
    // The name the file has after the operation.
    QString currentName() const;
};

// --- plans: what each tool would call each file (no file is touched)
PlannedRename PlanTitleForFilename(const QString& fileName, const QString& title); // empty title: nothing
PlannedRename PlanCleanFilename(const QString& fileName);
PlannedRename PlanRemoveLeadingNumbers(const QString& fileName);
PlannedRename PlanAutoNumber(const QString& fileName, int number);

// --- carrying plans out
// Renames a batch planned in full first. A new name equal, ignoring letter case, to
// another file's name counts as taken; a change of letter case alone goes through a
// hidden intermediate name where the file system sees the new name as the file
// itself. Of two files given the same name only the first is renamed; a file whose new name is held by another file of the batch that
// is itself being renamed waits for it (a ring of such files goes through hidden
// names). Results come in the order of the plan.
// With control.stop set the batch stops between two renames, at a point where every
// file has either its old or its new name: a file moved aside for a ring is first
// given its new name, with the renames its ring needs and no other. Files not
// reached are Stopped. control.progress counts the files with a new name that are
// dealt with (renamed or failed).
QList<RenameResult> RenameInFolder(const QString& folder, const QList<PlannedRename>& plan,
                                   RenameSystem& sys = RenameSystem::posix(), const BatchControl& control = {});
// The number of files of a plan that are to get a new name.
int RenamesIn(const QList<PlannedRename>& plan);

// What RenameInFolder(folder, plan) would do, worked out by the same code on a picture
// of the folder in memory: no file is touched.
QList<RenameResult> PreviewRenameInFolder(const QString& folder, const QList<PlannedRename>& plan);

// RenameInFolder for files of a folder tree: the entries are grouped by their folder
// (PlannedRename::folder, below root) and each folder's batch is planned whole, so a
// file is only ever renamed within its own folder. Results come in the order of the plan.
// Stopped, it ends between two renames as RenameInFolder does; the folders not
// reached come back Stopped. Progress counts across the folders.
QList<RenameResult> RenameInFolders(const QString& root, const QList<PlannedRename>& plan,
                                    RenameSystem& sys = RenameSystem::posix(), const BatchControl& control = {});
QList<RenameResult> PreviewRenameInFolders(const QString& root, const QList<PlannedRename>& plan);

// --- one file
// The in-place edit: refused with kEditedNameRefused unless EditedNameAccepted(text);
// the text is used as typed, blanks included.
RenameResult EditFilename(const QString& folder, const QString& fileName, const QString& text,
                          RenameSystem& sys = RenameSystem::posix());

struct TitleResult {
    bool written = false;
    QString title;
    QString reason; // when not written
};
// Writes the file's name (without ".mp3") into its title tag and nothing else; a file
// that cannot be read is not written. Bytes of the name that are not UTF-8 show as
// U+FFFD in the title.
TitleResult UseFilenameForTitle(const QString& folder, const QString& fileName);
// The same for a folder and name as the file system gave them.
TitleResult UseFilenameForTitle(const std::string& folder, const std::string& fileName);

// One line per failed file: its name (after its folder, for a file of a subfolder),
// ": " and the reason.
QStringList DescribeFailures(const QList<RenameResult>& results);

} // namespace brindle
