#pragma once
// The apply pass: the editor's ticked values written into a list of files. It works
// on file paths alone, never on the list's rows or widgets, so a refresh or re-sort of
// the list cannot send a value to another file. Files are written several at once;
// track numbers and failure lines still follow the order given.

#include "EditorFields.h"

#include "tag/Parallel.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace brindle {

class FileOps;
class MultiFrameData;
class clsID3;

struct BatchFile {
    QByteArray path; // as the file system spells it
    QString shown;   // the name the user sees, for messages
};

struct BatchValues {
    std::vector<std::pair<const FieldSpec*, std::u16string>> fields; // ticked, with their text
    std::u16string discsTotal;
    QStringList commercialUrls, artistUrls;
    bool trackByText = false;
    bool autoNumber = false;        // the track number counts the files in order, from 1
    bool titleFromFileName = false; // each file's title made from its own name
    // The album-art page's pictures in the form of a tag revision. Unset: each file
    // keeps its own pictures. Called from the batch's threads at once: it only reads.
    std::function<std::shared_ptr<MultiFrameData>(int revision)> pictures;
    // Values of each file's own (tags from its name), set after the others. Called on
    // the batch's thread.
    std::function<void(clsID3& tag, const BatchFile& file)> perFile;

    bool writesNothing() const { return fields.empty() && !autoNumber && !titleFromFileName && !pictures && !perFile; }
};

class ApplyBatch {
public:
    ApplyBatch(FileOps& files, BatchValues values);
    // Files written at once; 0 for one per processor.
    unsigned jobs = 0;
    // Writes every file; one line per file that could not be written, with the reason,
    // in the order of files. Once control's stop is set the files in progress are
    // finished and the rest are left untouched; the files written are always the first
    // filesDone() of the list.
    QStringList run(const std::vector<BatchFile>& files, const BatchControl& control = {});
    int filesDone() const { return done_; }

private:
    // One file, with its track number when the files are numbered.
    QStringList writeOne(clsID3& tag, const BatchFile& file, int number) const;

    FileOps& files_;
    BatchValues values_;
    int done_ = 0;
};

} // namespace brindle
