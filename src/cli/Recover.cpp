#include "Recover.h"

#include "Printable.h"

#include "tag/FileSystem.h"
#include "tag/SafeRewrite.h"
#include "tag/TextCodec.h"

#include <algorithm>
#include <ostream>
#include <sys/stat.h>
#include <utility>

namespace brindle::cli {

void RecoverBeforeUse(const std::vector<std::string>& files, std::ostream& err)
{
    FileSystem& fs = FileSystem::posix();
    const std::vector<PendingSave> pending = ListPendingSaves(fs);
    if (pending.empty())
        return;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> met;
    for (const std::string& file : files) {
        struct stat st {};
        if (::stat(file.c_str(), &st) == 0)
            met.emplace_back(st.st_dev, st.st_ino);
    }
    for (const PendingSave& save : pending) {
        if (std::find(met.begin(), met.end(), std::pair{save.device, save.inode}) == met.end())
            continue;
        std::string note;
        RecoverPendingSave(fs, save, note);
        if (!note.empty())
            Report(err, note);
    }
}

int Recover(const std::string& folder, std::ostream& out, std::ostream& err)
{
    FileSystem& fs = FileSystem::posix();
    int kept = 0, told = 0;
    for (const PendingSave& save : ListPendingSaves(fs)) {
        std::string note;
        const Recovery result = RecoverPendingSave(fs, save, note, folder);
        if (result == Recovery::Kept)
            ++kept;
        if (!note.empty()) {
            if (result == Recovery::Kept)
                Report(err, note);
            else
                out << Printable(note) << "\n";
            ++told;
        }
    }
    if (told == 0)
        out << "no interrupted saves to recover\n";
    return kept > 0 ? 1 : 0;
}

} // namespace brindle::cli
