// brindle-cli: the tag engine from the command line.
#include "Commands.h"
#include "PictureModule.h"
#include "Parallel.h"
#include "Recover.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <map>

namespace {

// "NAME=VALUE" split at the first "="; false when there is none.
bool splitAssignment(const std::string& text, std::string& name, std::string& value)
{
    auto eq = text.find('=');
    if (eq == std::string::npos || eq == 0)
        return false;
    name = text.substr(0, eq);
    value = text.substr(eq + 1);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    using brindle::cli::Edit;
    std::ios::sync_with_stdio(false);

    CLI::App app{"Brindle's command-line tool: read, list, edit and strip the tags of MP3 files.", "brindle-cli"};
    app.require_subcommand(1);

    bool showJson = false;
    std::vector<std::string> showFiles;
    auto* show = app.add_subcommand("show", "Print every tag field and audio property of each FILE.");
    show->add_flag("--json", showJson, "One JSON object per file and line, keyed by property name");
    show->add_option("FILE", showFiles, "MP3 files to read")->required();

    bool listJson = false;
    std::string folder;
    auto* list = app.add_subcommand("list", "List the MP3 files of FOLDER as the window's file list shows them.");
    list->add_flag("--json", listJson, "A JSON array of rows keyed by the column titles");
    list->add_option("FOLDER", folder, "Folder to scan (subfolders are not entered)")->required();
    std::string sortColumn;
    bool descending = false;
    list->add_option("--sort", sortColumn,
                     "COLUMN: sort the rows as the window does, by column number (1 to 11) or title (\"Title\", "
                     "\"Duration\", ...)");
    list->add_flag("--descending", descending, "With --sort: largest first");

    std::vector<std::string> sets, adds, clears, setFiles;
    auto* set = app.add_subcommand("set", "Change tag fields of each FILE, applying the options in the order given.");
    set->add_option("--set", sets, "PROPERTY=VALUE: a text property (Title, Artist, ...) or GenreID")->allow_extra_args(false);
    auto* addOption = set->add_option("--add", adds,
                    "LIST=VALUE: add a URL to ArtistURL or CommercialInfo, or AttachedPictures=IMAGE[:TYPE] "
                    "(BMP, GIF, JPEG or PNG; TYPE 0 to 20, default 3 front cover)");
    addOption->allow_extra_args(false);
    set->add_option("--clear", clears, "LIST: empty ArtistURL, CommercialInfo or AttachedPictures")
        ->allow_extra_args(false);
    set->add_option("FILE", setFiles, "MP3 files to write")->required();
    unsigned jobs = brindle::cli::DefaultJobs();
    const std::string jobsHelp = "N: files written at once (default: one per processor, here " + std::to_string(jobs) + ")";
    set->add_option("--jobs,-j", jobs, jobsHelp)->check(CLI::Range(1u, 4096u));

    std::string artFile, artFolder;
    auto* art = app.add_subcommand("art", "Write the pictures of FILE into a folder.");
    art->add_option("FILE", artFile, "MP3 file to read")->required();
    art->add_option("--extract", artFolder, "DIR: write each picture as NN-<picture type>.<ext>, never replacing a file")
        ->required();

    // File-name tools: the same code as the window's, with --dry-run to look first.
    struct FileTool {
        const char* name;
        const char* help;
        CLI::App* command = nullptr;
        std::vector<std::string> files;
        bool dryRun = false;
    };
    std::vector<FileTool> fileTools;
    for (auto [name, help] : {std::pair{"rename", "Rename each FILE after its title (needs --from-title)."},
                              {"title-from-filename", "Write each FILE's name, without its extension, into its title."},
                              {"clean-names", "Clean the names of the FILEs: blanks, underscores, %20 and letter case."},
                              {"number-files", "Number the FILEs in the order given: \"01 - \", \"02 - \", ..."},
                              {"remove-leading-numbers", "Remove leading track numbers from the names of the FILEs."}})
        fileTools.push_back(FileTool{name, help, nullptr, {}, false});
    bool fromTitle = false;
    for (auto& tool : fileTools) {
        tool.command = app.add_subcommand(tool.name, tool.help);
        tool.command->add_option("FILE", tool.files, "MP3 files")->required();
        tool.command->add_flag("--dry-run", tool.dryRun, "Print \"old -> new\" for each file and change nothing");
        if (std::string_view(tool.name) == "rename")
            tool.command->add_flag("--from-title", fromTitle, "Use the title of each file's tag")->required();
    }

    std::vector<std::string> stripFiles;
    auto* strip = app.add_subcommand("strip", "Remove every tag (ID3v2, Lyrics3, ID3v1) from each FILE.");
    strip->add_option("FILE", stripFiles, "MP3 files to strip")->required();
    strip->add_option("--jobs,-j", jobs, jobsHelp)->check(CLI::Range(1u, 4096u));

    std::string recoverFolder;
    auto* recover = app.add_subcommand(
        "recover", "Finish or undo the saves of this program that a crash, kill or power loss interrupted.");
    recover->add_option("DIR", recoverFolder, "Only files in this folder and below");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    }

    if (*recover)
        return brindle::cli::Recover(recoverFolder, std::cout, std::cerr);
    // Interrupted saves of the files a command meets are dealt with before it reads them.
    std::vector<std::string> met = *show ? showFiles : *set ? setFiles : *strip ? stripFiles : std::vector<std::string>{};
    if (*art)
        met.push_back(artFile);
    for (const auto& tool : fileTools)
        if (*tool.command)
            met = tool.files;
    brindle::cli::RecoverBeforeUse(met, std::cerr);
    if (*show)
        return brindle::cli::Show(showFiles, showJson, std::cout, std::cerr);
    if (*list) {
        int column = 0;
        if (!sortColumn.empty() && (column = brindle::cli::ParseListColumn(sortColumn)) == 0) {
            std::cerr << "brindle-cli: --sort needs a column number from 1 to 11 or a column title, not \"" << sortColumn
                      << "\"\n";
            return 2;
        }
        return brindle::cli::List(folder, listJson, column, descending, std::cout, std::cerr);
    }
    if (*strip)
        return brindle::cli::Strip(stripFiles, std::cout, std::cerr, jobs);
    if (*art)
        return brindle::cli::ExtractArt(artFile, artFolder, std::cout, std::cerr);
    for (const auto& tool : fileTools) {
        if (!*tool.command)
            continue;
        std::string error;
        auto* module = brindle::cli::PictureModule::get(error);
        if (!module) {
            std::cerr << "brindle-cli: " << error << "\n";
            return 1;
        }
        return module->fileTool(tool.name, tool.files, tool.dryRun, std::cout, std::cerr);
    }

    // The edits in command-line order, whatever their option.
    std::vector<Edit> edits;
    std::map<std::string, std::size_t> used;
    for (CLI::Option* opt : set->parse_order()) {
        std::string flag = opt->get_name();
        std::size_t index = used[flag]++;
        std::string name, value;
        if (flag == "--clear") {
            edits.push_back({Edit::Kind::Clear, clears[index], {}, {}, 3});
            continue;
        }
        if (flag != "--set" && flag != "--add")
            continue;
        const std::string& text = flag == "--set" ? sets[index] : adds[index];
        if (!splitAssignment(text, name, value)) {
            std::cerr << "brindle-cli: " << flag << " needs NAME=VALUE, not \"" << text << "\"\n";
            return 2;
        }
        edits.push_back({flag == "--set" ? Edit::Kind::Set : Edit::Kind::Add, name, value, {}, 3});
    }
    if (std::string problem = brindle::cli::PrepareEdits(edits); !problem.empty()) {
        std::cerr << "brindle-cli: " << problem << "\n";
        return 2;
    }
    return brindle::cli::Set(setFiles, edits, std::cout, std::cerr, jobs);
}
