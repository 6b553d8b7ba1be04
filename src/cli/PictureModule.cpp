#include "PictureModule.h"

#include <dlfcn.h>
#include <filesystem>

namespace brindle::cli {

PictureModule* PictureModule::get(std::string& error)
{
    static PictureModule module;
    static std::string loadError;
    static bool tried = false;
    if (!tried) {
        tried = true;
        std::error_code ec;
        std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
        std::filesystem::path path = self.parent_path() / "brindle-cli-extras.so";
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = ::dlerror();
            loadError = "this command needs brindle-cli-extras.so, which could not be loaded (" + std::string(why ? why : path.string()) + ")";
        } else {
            module.build_ = reinterpret_cast<BuildFn>(::dlsym(handle, "brindle_cli_build_picture_entry"));
            module.describe_ = reinterpret_cast<DescribeFn>(::dlsym(handle, "brindle_cli_describe_picture_entry"));
            module.fileTool_ = reinterpret_cast<FileToolFn>(::dlsym(handle, "brindle_cli_file_tool"));
            if (!module.build_ || !module.describe_ || !module.fileTool_)
                loadError = "brindle-cli-extras.so is incomplete: " + path.string();
        }
    }
    if (!loadError.empty()) {
        error = loadError;
        return nullptr;
    }
    return &module;
}

bool PictureModule::buildEntry(const std::string& image, int pictureType, int revision, std::string& entry,
                               std::string& error) const
{
    return build_(&image, pictureType, revision, &entry, &error) == 0;
}

bool PictureModule::describeEntry(const std::string& entry, int revision, int index, std::string& fileName,
                                  std::string& image) const
{
    return describe_(&entry, revision, index, &fileName, &image) == 0;
}

int PictureModule::fileTool(const std::string& tool, const std::vector<std::string>& files, bool dryRun,
                            std::ostream& out, std::ostream& err) const
{
    return fileTool_(&tool, &files, dryRun, &out, &err);
}

} // namespace brindle::cli
