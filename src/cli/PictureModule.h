#pragma once
// The picture and file-name commands need Qt, which costs tens of milliseconds to
// load. They live in a module next to brindle-cli that is loaded only when a
// command touches images, so that show, list, set and strip start fast.

#include <iosfwd>
#include <string>
#include <vector>

namespace brindle::cli {

class PictureModule {
public:
    // Loads the module on first use; false (with a reason) when it cannot be loaded.
    static PictureModule* get(std::string& error);

    // The picture entry for image bytes in a tag of the given revision; false with a
    // reason when the bytes are not a decodable image.
    bool buildEntry(const std::string& image, int pictureType, int revision, std::string& entry,
                    std::string& error) const;
    // "NN-<picture type name>.<ext>" for entry number index, and its image bytes.
    bool describeEntry(const std::string& entry, int revision, int index, std::string& fileName,
                       std::string& image) const;
    // Runs one of the file-name tools over files; the exit status.
    int fileTool(const std::string& tool, const std::vector<std::string>& files, bool dryRun, std::ostream& out,
                 std::ostream& err) const;

private:
    using BuildFn = int (*)(const std::string*, int, int, std::string*, std::string*);
    using DescribeFn = int (*)(const std::string*, int, int, std::string*, std::string*);
    using FileToolFn = int (*)(const std::string*, const std::vector<std::string>*, bool, std::ostream*, std::ostream*);
    BuildFn build_ = nullptr;
    DescribeFn describe_ = nullptr;
    FileToolFn fileTool_ = nullptr;
};

} // namespace brindle::cli

// The module's entry points (C linkage so they can be found by name).
extern "C" {
int brindle_cli_build_picture_entry(const std::string* image, int pictureType, int revision, std::string* entry,
                                    std::string* error);
int brindle_cli_describe_picture_entry(const std::string* entry, int revision, int index, std::string* fileName,
                                       std::string* image);
int brindle_cli_file_tool(const std::string* tool, const std::vector<std::string>* files, bool dryRun,
                          std::ostream* out, std::ostream* err);
}
