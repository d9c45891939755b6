#pragma once

// kestrix-cli run to its end as a technician runs it, for the tests of the
// command-line tools (KESTRIX_CLI names the program).
#include "netbed/child_process.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrix::test {

struct CliRun {
    int exitCode = -1;  // -1: ended by a signal
    std::string output; // standard output
    std::string errors; // standard error
};

// Runs "kestrix-cli WORDS" (read by the shell) from directory; before the
// program stands prefix, e.g. "ip netns exec NS" or "LANG=de_DE.UTF-8".
// Standard error goes through a file outside directory.
inline CliRun runCli(const std::filesystem::path& directory, const std::string& words,
                     const std::string& prefix = "") {
    const std::filesystem::path errors =
        std::filesystem::temp_directory_path() / ("kestrix-cli-errors-" + std::to_string(::getpid()));
    const CommandResult result = runCommand({"sh", "-c", "cd '" + directory.string() + "' && " + prefix +
                                                             " " KESTRIX_CLI " " + words + " 2>'" +
                                                             errors.string() + "'"});
    std::ifstream file(errors, std::ios::binary);
    CliRun run{WIFEXITED(result.waitStatus) ? WEXITSTATUS(result.waitStatus) : -1, result.output,
               std::string(std::istreambuf_iterator<char>(file), {})};
    std::filesystem::remove(errors);
    return run;
}

} // namespace kestrix::test
