#include "ExtrasModule.h"

#include <dlfcn.h>
#include <filesystem>

#ifndef BRINDLE_EXTRAS_DIR
#define BRINDLE_EXTRAS_DIR "../lib/brindle"
#endif

namespace brindle::cli {

namespace {

constexpr const char* kModuleName = "brindle-cli-extras.so";

// The installed module sits in the library folder, BRINDLE_EXTRAS_DIR from the
// program's folder; in a build tree it sits beside the program.
void* openModule(std::string& tried)
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path folder = self.parent_path();
    for (const auto& path : {folder / BRINDLE_EXTRAS_DIR / kModuleName, folder / kModuleName}) {
        if (!std::filesystem::exists(path, ec))
            continue;
        if (void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
            return handle;
        const char* why = ::dlerror();
        tried = why ? why : path.string();
        return nullptr;
    }
    tried = (folder / BRINDLE_EXTRAS_DIR / kModuleName).lexically_normal().string() + " is missing";
    return nullptr;
}

} // namespace

ExtrasModule* ExtrasModule::get(std::string& error)
{
    static ExtrasModule module;
    static std::string loadError;
    static bool tried = false;
    if (!tried) {
        tried = true;
        std::string why;
        void* handle = openModule(why);
        if (!handle) {
            loadError = std::string("this command needs ") + kModuleName + ", which could not be loaded (" + why + ")";
        } else {
            module.build_ = reinterpret_cast<BuildFn>(::dlsym(handle, "brindle_cli_build_picture_entry"));
            module.describe_ = reinterpret_cast<DescribeFn>(::dlsym(handle, "brindle_cli_describe_picture_entry"));
            module.fileTool_ = reinterpret_cast<FileToolFn>(::dlsym(handle, "brindle_cli_file_tool"));
            module.patternRename_ = reinterpret_cast<PatternRenameFn>(::dlsym(handle, "brindle_cli_pattern_rename"));
            if (!module.build_ || !module.describe_ || !module.fileTool_ || !module.patternRename_)
                loadError = std::string(kModuleName) + " is from another version of brindle-cli";
        }
    }
    if (!loadError.empty()) {
        error = loadError;
        return nullptr;
    }
    return &module;
}

bool ExtrasModule::buildEntry(const std::string& imagePath, const std::string& image, int pictureType, int revision,
                              std::string& entry, std::string& error) const
{
    return build_(&imagePath, &image, pictureType, revision, &entry, &error) == 0;
}

bool ExtrasModule::describeEntry(const std::string& entry, int revision, int index, std::string& fileName,
                                 std::string& image) const
{
    return describe_(&entry, revision, index, &fileName, &image) == 0;
}

int ExtrasModule::fileTool(const std::string& tool, const std::vector<std::string>& files, bool dryRun,
                           std::ostream& out, std::ostream& err) const
{
    return fileTool_(&tool, &files, dryRun, &out, &err);
}

int ExtrasModule::patternRename(const std::string& pattern, const std::string& replacement,
                                const std::vector<std::string>& files, bool dryRun, std::ostream& out,
                                std::ostream& err) const
{
    return patternRename_(&pattern, &replacement, &files, dryRun, &out, &err);
}

} // namespace brindle::cli
