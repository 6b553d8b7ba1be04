#pragma once
// The apply pass: the editor's ticked values written into a list of files, in the
// order given. It works on file paths alone, never on the list's rows or widgets, so
// a refresh or re-sort of the list cannot send a value to another file.

#include "EditorFields.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
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
    // keeps its own pictures.
    std::function<std::shared_ptr<MultiFrameData>(int revision)> pictures;
    // Values of each file's own (tags from its name), set after the others. Called on
    // the batch's thread.
    std::function<void(clsID3& tag, const BatchFile& file)> perFile;

    bool writesNothing() const
    {
        return fields.empty() && !autoNumber && !titleFromFileName && !pictures && !perFile;
    }
};

class ApplyBatch {
public:
    ApplyBatch(FileOps& files, BatchValues values);
    // Run around each file's write; afterWrite gets the number of files done so far.
    std::function<void()> beforeWrite;
    std::function<void(int)> afterWrite;
    // Checked before each file: once set, the file in progress is finished and the rest
    // are left untouched.
    const std::atomic<bool>* stop = nullptr;
    int filesDone() const { return done_; }
    // Writes every file; one line per file that could not be written, with the reason.
    QStringList run(const std::vector<BatchFile>& files);

private:
    FileOps& files_;
    BatchValues values_;
    int done_ = 0;
};

} // namespace brindle
