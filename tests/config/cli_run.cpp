#include "cli_run.h"

#include "netbed/child_process.h"

#include <sys/wait.h>

namespace kestrix::test {

namespace {

std::string quoted(const std::string& word) {
    std::string text = "'";
    for (char character : word)
        text += character == '\'' ? std::string("'\\''") : std::string(1, character);
    return text + "'";
}

} // namespace

std::string cliCommandLine(const std::filesystem::path& directory, const std::vector<std::string>& words) {
    std::string line = "cd " + quoted(directory.string()) + " && " + KESTRIX_CLI;
    for (const std::string& word : words)
        line += " " + quoted(word);
    return line;
}

CliRun runCli(const ScratchDirectory& directory, const std::vector<std::string>& words) {
    const CommandResult result = runCommand({"sh", "-c", cliCommandLine(directory.path(), words)});
    return {WIFEXITED(result.waitStatus) ? WEXITSTATUS(result.waitStatus) : -1, result.output};
}

} // namespace kestrix::test
