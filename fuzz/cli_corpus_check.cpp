// Runs `brindle-cli show --json` on every file of the folders given and checks that
// each run exits 0 and prints exactly one valid JSON object for its file: the
// command-line tool must cope with whatever the engine reads.
// Usage: cli_corpus_check BRINDLE-CLI FOLDER...
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Run {
    int status = -1;
    std::string out;
};

Run runShow(const std::string& cli, const std::string& file)
{
    Run r;
    int fds[2];
    if (pipe(fds) != 0)
        return r;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execl(cli.c_str(), cli.c_str(), "show", "--json", file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    char buf[65536];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        r.out.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid)
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

// Empty when the output is right for the file, else what is wrong.
std::string check(const Run& r, const std::string& file)
{
    if (r.status != 0)
        return "exit status " + std::to_string(r.status);
    if (r.out.empty() || r.out.back() != '\n' || r.out.find('\n') != r.out.size() - 1)
        return "expected exactly one line of output";
    nlohmann::json j;
    try {
        j = nlohmann::json::parse(r.out);
    } catch (const std::exception& e) {
        return std::string("invalid JSON: ") + e.what();
    }
    if (!j.is_object())
        return "not a JSON object";
    if (!j.contains("FileName") || !j["FileName"].is_string() || j["FileName"].get<std::string>() != file)
        return "FileName does not name the file";
    for (const char* key : {"Title", "Artist", "Album", "Comments", "Lyrics"})
        if (!j.contains(key) || !j[key].is_string())
            return std::string(key) + " is not a string";
    for (const char* key : {"ArtistURL", "CommercialInfo", "AttachedPictures"})
        if (!j.contains(key) || !j[key].is_array())
            return std::string(key) + " is not an array";
    for (const char* key : {"BitRate", "FrameSize", "Length"})
        if (!j.contains(key) || !j[key].is_number())
            return std::string(key) + " is not a number";
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    if (argc < 3) {
        std::fprintf(stderr, "usage: cli_corpus_check BRINDLE-CLI FOLDER...\n");
        return 2;
    }
    std::vector<std::string> files;
    for (int i = 2; i < argc; ++i) {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(argv[i], ec))
            if (e.is_regular_file())
                files.push_back(e.path().string());
        if (ec) {
            std::fprintf(stderr, "cli_corpus_check: cannot list %s: %s\n", argv[i], ec.message().c_str());
            return 2;
        }
    }
    std::sort(files.begin(), files.end());
    int passed = 0, failed = 0;
    for (const auto& file : files) {
        std::string problem = check(runShow(argv[1], file), file);
        if (problem.empty()) {
            ++passed;
        } else {
            ++failed;
            std::printf("FAIL %s: %s\n", file.c_str(), problem.c_str());
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
