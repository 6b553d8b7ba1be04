#pragma once
// The commands that need Qt (the image codecs for pictures, and the file-name tools)
// cost tens of milliseconds to load. They live in brindle-cli-extras.so, a module in
// the library folder that is loaded only when a command needs it, so that show, list,
// set and strip start fast.

#include <iosfwd>
#include <string>
#include <vector>

namespace brindle::cli {

class ExtrasModule {
public:
    // Loads the module on first use; nullptr (with a reason) when it cannot be loaded.
    static ExtrasModule* get(std::string& error);

    // The picture entry for the bytes of the image file imagePath in a tag of the given
    // revision, taken as the window takes an image file; false with a reason when the
    // bytes are not an image.
    bool buildEntry(const std::string& imagePath, const std::string& image, int pictureType, int revision,
                    std::string& entry, std::string& error) const;
    // "NN-<picture type name>.<ext>" for entry number index, and its image bytes.
    bool describeEntry(const std::string& entry, int revision, int index, std::string& fileName,
                       std::string& image) const;
    // Runs one of the file-name tools over files (already checked to be MP3 files); the
    // exit status. A dry run reports exactly what the real run would do.
    int fileTool(const std::string& tool, const std::vector<std::string>& files, bool dryRun, std::ostream& out,
                 std::ostream& err) const;

    // rename --pattern over files (already checked to be MP3 files); the exit status.
    int patternRename(const std::string& pattern, const std::string& replacement, const std::vector<std::string>& files,
                      bool dryRun, std::ostream& out, std::ostream& err) const;

private:
    using BuildFn = int (*)(const std::string*, const std::string*, int, int, std::string*, std::string*);
    using DescribeFn = int (*)(const std::string*, int, int, std::string*, std::string*);
    using FileToolFn = int (*)(const std::string*, const std::vector<std::string>*, bool, std::ostream*, std::ostream*);
    BuildFn build_ = nullptr;
    DescribeFn describe_ = nullptr;
    FileToolFn fileTool_ = nullptr;
    using PatternRenameFn = int (*)(const std::string*, const std::string*, const std::vector<std::string>*, bool,
                                    std::ostream*, std::ostream*);
    PatternRenameFn patternRename_ = nullptr;
};

} // namespace brindle::cli

// The module's entry points (C linkage so they can be found by name).
extern "C" {
int brindle_cli_build_picture_entry(const std::string* imagePath, const std::string* image, int pictureType,
                                    int revision, std::string* entry, std::string* error);
int brindle_cli_describe_picture_entry(const std::string* entry, int revision, int index, std::string* fileName,
                                       std::string* image);
int brindle_cli_file_tool(const std::string* tool, const std::vector<std::string>* files, bool dryRun,
                          std::ostream* out, std::ostream* err);
int brindle_cli_pattern_rename(const std::string* pattern, const std::string* replacement,
                               const std::vector<std::string>* files, bool dryRun, std::ostream* out,
                               std::ostream* err);
}
