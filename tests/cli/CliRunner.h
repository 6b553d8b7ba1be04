#pragma once
// Runs the built brindle-cli with arguments and collects its exit status and output.

#include <string>
#include <vector>

namespace brindle::test {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

CliResult RunCli(const std::vector<std::string>& args);

} // namespace brindle::test
