#pragma once

// kestrix-cli as the tests run it: in a directory of the test's, so that no
// trace or settings file of the caller is read.
#include "block_files.h"

#include <string>
#include <vector>

namespace kestrix::test {

struct CliRun {
    int exitCode = -1;  // -1 when it did not end by exit
    std::string output; // standard output and standard error
};

// The shell command line that runs kestrix-cli with the words in the directory.
std::string cliCommandLine(const std::filesystem::path& directory, const std::vector<std::string>& words);

CliRun runCli(const ScratchDirectory& directory, const std::vector<std::string>& words);

} // namespace kestrix::test
