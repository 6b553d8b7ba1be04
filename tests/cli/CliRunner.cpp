#include "CliRunner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace brindle::test {

namespace {
std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
} // namespace

CliResult RunCli(const std::vector<std::string>& args)
{
    char outPath[] = "/tmp/brindle-cli-out-XXXXXX";
    char errPath[] = "/tmp/brindle-cli-err-XXXXXX";
    int outFd = ::mkstemp(outPath);
    int errFd = ::mkstemp(errPath);
    std::vector<std::string> argv{BRINDLE_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargs;
    for (auto& a : argv)
        cargs.push_back(a.data());
    cargs.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    CliResult result;
    pid_t pid = -1;
    if (posix_spawn(&pid, cargs[0], &actions, nullptr, cargs.data(), environ) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(outFd);
    ::close(errFd);
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    ::unlink(outPath);
    ::unlink(errPath);
    return result;
}

} // namespace brindle::test
