// brindle-cli: the tag engine from the command line.
#include "Commands.h"
#include "ExtrasModule.h"
#include "tag/Parallel.h"
#include "PatternCommands.h"
#include "RecursiveList.h"
#include "Printable.h"
#include "Recover.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <map>

#ifndef BRINDLE_VERSION
#define BRINDLE_VERSION "0.0.0"
#endif

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

// names joined with ", " in lines of at most width characters, each indented.
std::string wrapped(const std::vector<std::string>& names, std::size_t width = 78)
{
    std::string text, line = "  ";
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string word = names[i] + (i + 1 < names.size() ? "," : "");
        if (line.size() > 2 && line.size() + 1 + word.size() > width) {
            text += line + "\n";
            line = "  ";
        }
        line += (line.size() > 2 ? " " : "") + word;
    }
    return text + line;
}

// set and strip: the options and files of the commands that write tags.
struct WriteCommand {
    CLI::App* command = nullptr;
    std::vector<std::string> files;
    bool force = false;
    unsigned jobs = brindle::DefaultJobs();
};

void addJobsOption(WriteCommand& c)
{
    c.command
        ->add_option("--jobs,-j", c.jobs,
                     "N: files written at once (default: two per processor, here " + std::to_string(c.jobs) + ")")
        ->check(CLI::Range(1u, 4096u));
}

struct SetOptions : WriteCommand {
    std::vector<std::string> sets, adds, clears;
};

void addSetCommand(CLI::App& app, SetOptions& o)
{
    o.command = app.add_subcommand("set", "Change tag fields of each FILE, applying the options in the order given.");
    o.command->add_option("--set", o.sets, "PROPERTY=VALUE: a text property or GenreID (names below)")
        ->allow_extra_args(false);
    o.command
        ->add_option("--add", o.adds,
                     "LIST=VALUE: add a URL to ArtistURL or CommercialInfo, or AttachedPictures=IMAGE[:TYPE] "
                     "(BMP, GIF, JPEG or PNG; TYPE 0 to 20, default 3 front cover)")
        ->allow_extra_args(false);
    o.command->add_option("--clear", o.clears, "LIST: empty ArtistURL, CommercialInfo or AttachedPictures")
        ->allow_extra_args(false);
    o.command->add_flag("--force", o.force, "Also write files whose names do not end in \".mp3\"");
    o.command->add_option("FILE", o.files, "MP3 files to write")->required();
    addJobsOption(o);
    o.command->footer("PROPERTY names for --set (letter case ignored):\n" + wrapped(brindle::cli::SetPropertyNames()) +
                      "\nLIST names for --add and --clear:\n" + wrapped(brindle::cli::ListPropertyNames()) +
                      "\n\nGenre=TEXT also sets GenreID to the genre's number. GenreID takes 0 to 147, 255 (none),\n"
                      "-1 (remix) or -2 (cover); TrackNumber, TracksTotal, DiscNumber and DiscsTotal take\n"
                      "digits, Year four digits; each may be empty.\n");
}

// The edits in command-line order, whatever their option; an empty problem when all
// are well formed.
std::vector<brindle::cli::Edit> collectEdits(const SetOptions& o, std::string& problem)
{
    using brindle::cli::Edit;
    std::vector<Edit> edits;
    std::map<std::string, std::size_t> used;
    for (CLI::Option* opt : o.command->parse_order()) {
        const std::string flag = opt->get_name();
        const std::size_t index = used[flag]++;
        if (flag == "--clear") {
            edits.push_back({Edit::Kind::Clear, o.clears[index], {}, {}, {}, 3});
            continue;
        }
        if (flag != "--set" && flag != "--add")
            continue;
        const std::string& text = flag == "--set" ? o.sets[index] : o.adds[index];
        std::string name, value;
        if (!splitAssignment(text, name, value)) {
            problem = flag + " needs NAME=VALUE, not \"" + brindle::cli::Printable(text) + "\"";
            return {};
        }
        edits.push_back({flag == "--set" ? Edit::Kind::Set : Edit::Kind::Add, name, value, {}, {}, 3});
    }
    if (edits.empty())
        problem = "set needs at least one --set, --add or --clear";
    return edits;
}

// A clearer word than the parser's for a missing or mistyped command.
bool badCommand(const CLI::App& app, int argc, char** argv)
{
    std::string first = argc > 1 ? argv[1] : "";
    if (!first.empty() && first[0] == '-')
        return false;
    std::string names;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        if (sub->get_name() == first)
            return false;
        names += (names.empty() ? "" : ", ") + sub->get_name();
    }
    const std::string what = first.empty() ? "a command is needed"
                                           : "unknown command \"" + brindle::cli::Printable(first) + "\"";
    std::cerr << "brindle-cli: " << what << "\nThe commands are: " << names
              << "\nRun \"brindle-cli --help\" or \"brindle-cli COMMAND --help\" for more.\n";
    return true;
}

// The files a command may act on; skipped is set when one was named and left out.
std::vector<std::string> inputs(const std::vector<std::string>& files, bool force, bool& skipped)
{
    return brindle::cli::CheckInputs(files, force, skipped, std::cerr);
}

int withSkipped(int status, bool skipped) { return status != 0 ? status : (skipped ? 1 : 0); }

int run(int argc, char** argv);

} // namespace

int main(int argc, char** argv)
{
    // Out of memory or a failure of the standard library: said, not an abort.
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        brindle::cli::Report(std::cerr, e.what());
    } catch (...) {
        brindle::cli::Report(std::cerr, "an unexpected error stopped the command");
    }
    return 1;
}

namespace {

int run(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);

    CLI::App app{"Brindle's command-line tool: read, list, edit and strip the tags of MP3 files.", "brindle-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "brindle-cli " BRINDLE_VERSION);
    app.footer("Commands take only regular files whose names end in \".mp3\" (any case); others are named\n"
               "and skipped (show, set and strip take them with --force). Exit status: 0 success, 1 a file\n"
               "was skipped, refused or failed, 2 a usage error (nothing was touched).\n");

    bool showJson = false, showForce = false;
    std::vector<std::string> showFiles;
    auto* show = app.add_subcommand("show", "Print every tag field and audio property of each FILE.");
    show->add_flag("--json", showJson, "One JSON object per file and line, keyed by property name");
    show->add_flag("--force", showForce, "Also read files whose names do not end in \".mp3\"");
    show->add_option("FILE", showFiles, "MP3 files to read")->required();

    bool listJson = false;
    std::string folder;
    auto* list = app.add_subcommand("list", "List the MP3 files of FOLDER as the window's file list shows them.");
    list->add_flag("--json", listJson, "A JSON array of rows keyed by the column titles");
    list->add_option("FOLDER", folder, "Folder to scan (subfolders only with --recursive)")->required();
    std::string sortColumn;
    bool descending = false;
    list->add_option("--sort", sortColumn,
                     "COLUMN: sort the rows as the window does, by column number (1 to 11) or title (\"Title\", "
                     "\"Duration\", ...); by default by file name, as the window starts");
    list->add_flag("--descending", descending, "Largest first");
    bool recursive = false;
    list->add_flag("--recursive", recursive,
                   "Also list the subfolders (hidden ones skipped), with a last column \"Folder\": the path "
                   "relative to FOLDER; by default sorted by folder, then by file name");

    SetOptions setOptions;
    addSetCommand(app, setOptions);

    std::string artFile, artFolder;
    auto* art = app.add_subcommand("art", "Write the pictures of FILE into a folder.");
    art->add_option("FILE", artFile, "MP3 file to read")->required();
    art->add_option("--extract", artFolder,
                    "DIR: write each picture as NN-<picture type>.<ext>, never replacing a file")
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
    for (auto [name, help] :
         {std::pair{"rename", "Rename each FILE after its title or by a pattern."},
          {"title-from-filename", "Write each FILE's name, without its extension, into its title."},
          {"clean-names", "Clean the names of the FILEs: blanks, underscores, %20 and letter case."},
          {"number-files", "Number the FILEs in the order given: \"01 - \", \"02 - \", ..."},
          {"remove-leading-numbers", "Remove leading track numbers from the names of the FILEs."}})
        fileTools.push_back(FileTool{name, help, nullptr, {}, false});
    bool fromTitle = false;
    std::string renamePattern, replacement = "-";
    const std::string placeholders = "PATTERN placeholders (letter case ignored; %% is a \"%\"):\n" +
                                     wrapped(brindle::cli::PatternPlaceholders()) + "\n";
    for (auto& tool : fileTools) {
        tool.command = app.add_subcommand(tool.name, tool.help);
        tool.command->add_option("FILE", tool.files, "MP3 files")->required();
        tool.command->add_flag("--dry-run", tool.dryRun,
                               "Print what the real run would do, refusals included, and change nothing");
        if (std::string_view(tool.name) == "rename") {
            auto* title = tool.command->add_flag("--from-title", fromTitle, "Use the title of each file's tag");
            const char* patternHelp = "PATTERN: name each file after its tag, e.g. \"%track% - %artist% - %title%\" "
                                      "(\".mp3\" is appended)";
            auto* pattern = tool.command->add_option("--pattern", renamePattern, patternHelp)->excludes(title);
            tool.command
                ->add_option("--replacement", replacement,
                             "TEXT: put in place of each \"/\" or control character of a tag value (default \"-\")")
                ->needs(pattern);
            tool.command->footer(placeholders);
        }
    }

    std::string readPattern;
    std::vector<std::string> readFiles;
    bool readDryRun = false;
    auto* tagsFromName = app.add_subcommand("tags-from-name",
                                            "Set tag fields of each FILE from its name by a pattern.");
    tagsFromName
        ->add_option("--pattern", readPattern,
                     "PATTERN: the shape of the names without \".mp3\", e.g. \"%track% - %artist% - %title%\"; "
                     "each placeholder takes the shortest text that lets the rest match")
        ->required();
    tagsFromName->add_flag("--dry-run", readDryRun, "Print the values the real run would write, and write nothing");
    tagsFromName->add_option("FILE", readFiles, "MP3 files")->required();
    tagsFromName->footer(placeholders);

    WriteCommand strip;
    strip.command = app.add_subcommand("strip", "Remove every tag (ID3v2, Lyrics3, ID3v1) from each FILE.");
    strip.command->add_flag("--force", strip.force, "Also strip files whose names do not end in \".mp3\"");
    strip.command->add_option("FILE", strip.files, "MP3 files to strip")->required();
    addJobsOption(strip);

    std::string recoverFolder;
    auto* recover = app.add_subcommand(
        "recover", "Finish or undo the saves of this program that a crash, kill or power loss interrupted.");
    recover->add_option("DIR", recoverFolder, "Only files in this folder and below");

    if (badCommand(app, argc, argv))
        return 2;
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    }

    if (*recover)
        return brindle::cli::Recover(recoverFolder, std::cout, std::cerr);
    // Interrupted saves of the files a command meets are dealt with before it reads them.
    std::vector<std::string> met = *show                 ? showFiles
                                   : *setOptions.command ? setOptions.files
                                   : *strip.command      ? strip.files
                                                         : std::vector<std::string>{};
    if (*art)
        met.push_back(artFile);
    for (const auto& tool : fileTools)
        if (*tool.command)
            met = tool.files;
    if (*tagsFromName)
        met = readFiles;
    brindle::cli::RecoverBeforeUse(met, std::cerr);

    bool skipped = false;
    if (*show) {
        const auto files = inputs(showFiles, showForce, skipped);
        return withSkipped(brindle::cli::Show(files, showJson, std::cout, std::cerr), skipped);
    }
    if (*list) {
        int column = 1;
        if (!sortColumn.empty() && (column = brindle::cli::ParseListColumn(sortColumn)) == 0) {
            std::cerr << "brindle-cli: --sort needs a column number from 1 to 11 or a column title, not \""
                      << brindle::cli::Printable(sortColumn) << "\"\n";
            return 2;
        }
        if (recursive)
            return brindle::cli::ListRecursive(folder, listJson, sortColumn.empty() ? 0 : column, descending, std::cout,
                                               std::cerr);
        return brindle::cli::List(folder, listJson, column, descending, std::cout, std::cerr);
    }
    if (*strip.command) {
        const auto files = inputs(strip.files, strip.force, skipped);
        return withSkipped(brindle::cli::Strip(files, std::cout, std::cerr, strip.jobs), skipped);
    }
    if (*art) {
        const auto files = inputs({artFile}, false, skipped);
        return files.empty() ? 1 : brindle::cli::ExtractArt(artFile, artFolder, std::cout, std::cerr);
    }
    if (*tagsFromName) {
        if (const std::string problem = brindle::cli::PatternProblem(readPattern, true); !problem.empty()) {
            brindle::cli::Report(std::cerr, problem);
            return 2;
        }
        const auto files = inputs(readFiles, false, skipped);
        return withSkipped(brindle::cli::TagsFromName(readPattern, files, readDryRun, std::cout, std::cerr), skipped);
    }
    for (const auto& tool : fileTools) {
        if (!*tool.command)
            continue;
        const bool byPattern = std::string_view(tool.name) == "rename" && !fromTitle;
        if (byPattern) {
            const std::string problem = renamePattern.empty() && tool.command->count("--pattern") == 0
                                            ? "rename needs --from-title or --pattern"
                                            : brindle::cli::PatternProblem(renamePattern, false, replacement);
            if (!problem.empty()) {
                brindle::cli::Report(std::cerr, problem);
                return 2;
            }
        }
        const auto files = inputs(tool.files, false, skipped);
        if (files.empty())
            return 1;
        std::string error;
        auto* module = brindle::cli::ExtrasModule::get(error);
        if (!module) {
            brindle::cli::Report(std::cerr, error);
            return 1;
        }
        if (byPattern)
            return withSkipped(
                module->patternRename(renamePattern, replacement, files, tool.dryRun, std::cout, std::cerr), skipped);
        return withSkipped(module->fileTool(tool.name, files, tool.dryRun, std::cout, std::cerr), skipped);
    }

    std::string problem;
    std::vector<brindle::cli::Edit> edits = collectEdits(setOptions, problem);
    if (problem.empty())
        problem = brindle::cli::PrepareEdits(edits);
    if (!problem.empty()) {
        brindle::cli::Report(std::cerr, problem);
        return 2;
    }
    const auto files = inputs(setOptions.files, setOptions.force, skipped);
    return withSkipped(brindle::cli::Set(files, edits, std::cout, std::cerr, setOptions.jobs), skipped);
}

} // namespace
