// Reading kestrix-cli's command line: the options before the subcommand and
// which subcommand the words name.
#include "cli_common.h"

#include <algorithm>
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

// The names of a group's subcommands ("get or put"), empty when no
// subcommand has that group name.
std::string namesOfGroup(const std::vector<Subcommand>& subcommands, std::string_view group) {
    std::vector<std::string> names;
    for (const Subcommand& subcommand : subcommands)
        if (group == subcommand.group && subcommand.name != nullptr)
            names.emplace_back(subcommand.name);
    std::string text;
    for (std::size_t index = 0; index < names.size(); ++index)
        text += (index == 0 ? "" : index + 1 == names.size() ? " or " : ", ") + names[index];
    return text;
}

CommandLine failure(std::string text) {
    CommandLine line;
    line.action = CommandLine::Action::Failure;
    line.failure = std::move(text);
    return line;
}

} // namespace

std::vector<Subcommand> allSubcommands() {
    std::vector<Subcommand> result;
    for (auto* group :
         {terminalSubcommands, listSubcommands, actionSubcommands, firmwareSubcommands, keyboardSubcommands,
          tclSubcommands, fileSubcommands, configSubcommands, setupSubcommands})
        for (Subcommand& subcommand : group())
            result.push_back(subcommand);
    return result;
}

CommandLine readCommandLine(const std::vector<std::string>& allWords,
                            const std::vector<Subcommand>& subcommands) {
    CommandLine line;
    std::span<const std::string> words(allWords);
    Invocation& invocation = line.invocation;
    while (!words.empty()) {
        const std::string& option = words[0];
        if (option == "-a") {
            invocation.adding = AddingMode::Alternative;
            words = words.subspan(1);
            continue;
        }
        if (option != "--port" && option != "--group")
            break;
        if (words.size() < 2)
            return failure(option + " needs a number");
        long value = 0;
        if (option == "--port") {
            if (!optionNumber(words[1], 1, 65535, value))
                return failure("--port: the TFTP port must be a number from 1 to 65535, not '" + echoed(words[1]) +
                               "'");
            invocation.tftpPort = static_cast<std::uint16_t>(value);
        } else {
            if (!optionNumber(words[1], 0, 65535, value))
                return failure("--group: the maintenance group must be a number from 0 to 65535, not '" +
                               echoed(words[1]) + "'");
            invocation.maintenanceGroup = static_cast<std::uint16_t>(value);
            invocation.groupGiven = true;
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
        if (words.empty()) {
            line.action = CommandLine::Action::UsageError;
            return line;
        }
        const std::string group = namesOfGroup(subcommands, words[0]);
        if (!group.empty() && words.size() > 1 && (words[1] == "--help" || words[1] == "-h")) {
            line.action = CommandLine::Action::ListUsage;
            line.usageGroup = words[0];
            return line;
        }
        if (!group.empty())
            return failure(words[0] + " needs a subcommand: " + group +
                           (words.size() > 1 ? " (not '" + echoed(words[1]) + "')" : std::string()));
        return failure("unknown subcommand '" + echoed(words[0]) + "'");
    }
    invocation.usage = line.subcommand->usage;
    invocation.arguments.assign(words.begin() + static_cast<std::ptrdiff_t>(nameWords), words.end());
    const bool help = std::find(invocation.arguments.begin(), invocation.arguments.end(), "--help") !=
                      invocation.arguments.end();
    if (help) {
        line.action = CommandLine::Action::ShowHelp;
        return line;
    }
    // An option of the whole command line after the subcommand says where it belongs.
    const bool ownGroup = line.subcommand->ownGroup == OwnGroupOption::Yes;
    for (const std::string& word : invocation.arguments)
        if (word == "--port" || (word == "--group" && !ownGroup) || word == "-a")
            return failure(word + " belongs before the subcommand: kestrix-cli " + word +
                           (word == "-a" ? "" : " N") + " " + words[0] + " ...");
    line.action = CommandLine::Action::Run;
    return line;
}

} // namespace kestrix::cli
