// Reading kestrix-cli's command line: the options before the subcommand and
// which subcommand the words name.
#include "cli_common.h"

#include <algorithm>
#include <cstdlib>
#include <span>
#include <string_view>

namespace kestrix::cli {

namespace {

// The subcommand the words begin with, and how many words its name takes.
const Subcommand* findSubcommand(const std::vector<Subcommand>& subcommands,
                                 std::span<const std::string> words, std::size_t& nameWords) {
    for (const Subcommand& subcommand : subcommands) {
        if (words.empty() || words[0] != std::string_view(subcommand.group))
            continue;
        if (subcommand.name == nullptr) {
            nameWords = 1;
            return &subcommand;
        }
        if (words.size() >= 2 && words[1] == std::string_view(subcommand.name)) {
            nameWords = 2;
            return &subcommand;
        }
    }
    return nullptr;
}

// Reads the number after an option; false when it is not minimum..maximum.
bool optionNumber(const std::string& text, long minimum, long maximum, long& value) {
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && value >= minimum && value <= maximum;
}

} // namespace

std::vector<Subcommand> allSubcommands() {
    std::vector<Subcommand> result;
    for (auto* group : {terminalSubcommands, listSubcommands, fileSubcommands, configSubcommands})
        for (Subcommand& subcommand : group())
            result.push_back(subcommand);
    return result;
}

CommandLine readCommandLine(const std::vector<std::string>& allWords,
                            const std::vector<Subcommand>& subcommands) {
    CommandLine line;
    std::span<const std::string> words(allWords);
    Invocation& invocation = line.invocation;
    while (words.size() >= 2) {
        long value = 0;
        if (words[0] == "-a") {
            invocation.adding = AddingMode::Alternative;
            words = words.subspan(1);
            continue;
        }
        if (words[0] == "--port") {
            if (!optionNumber(words[1], 1, 65535, value)) {
                line.action = CommandLine::Action::Failure;
                line.failure = "the TFTP port must be 1 to 65535";
                return line;
            }
            invocation.tftpPort = static_cast<std::uint16_t>(value);
        } else if (words[0] == "--group") {
            if (!optionNumber(words[1], 0, 65535, value)) {
                line.action = CommandLine::Action::Failure;
                line.failure = "the maintenance group must be 0 to 65535";
                return line;
            }
            invocation.maintenanceGroup = static_cast<std::uint16_t>(value);
            invocation.groupGiven = true;
        } else {
            break;
        }
        words = words.subspan(2);
    }
    if (!words.empty() && (words[0] == "--help" || words[0] == "-h")) {
        line.action = CommandLine::Action::ListUsage;
        return line;
    }
    std::size_t nameWords = 0;
    line.subcommand = findSubcommand(subcommands, words, nameWords);
    if (line.subcommand == nullptr) {
        line.action = CommandLine::Action::UsageError;
        return line;
    }
    invocation.usage = line.subcommand->usage;
    invocation.arguments.assign(words.begin() + static_cast<std::ptrdiff_t>(nameWords), words.end());
    const bool help = std::find(invocation.arguments.begin(), invocation.arguments.end(), "--help") !=
                      invocation.arguments.end();
    line.action = help ? CommandLine::Action::ShowHelp : CommandLine::Action::Run;
    return line;
}

} // namespace kestrix::cli
