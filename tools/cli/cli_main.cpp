// kestrix-cli: terminal maintenance from the command line, one subcommand per
// call. "kestrix-cli --help" lists the subcommands, "kestrix-cli SUBCOMMAND
// --help" explains one.
//
// TERMINAL is what a line of a terminal list holds: an address, a DNS name,
// or "SN;IP;DNS" (the serial number alone as "SN;;"). --group gives the
// maintenance group for the authenticated requests (0 without it); -a sets
// the alternative adding mode of the terminal list. The local
// TFTP port range comes from "Kestrix.ini" in the current directory. With a
// file "KestrixTrace.txt" in the current directory the run is traced into it.
//
// Exit codes: 0 success, 1 the work failed or found nothing, 2 usage error.
#include "cli_common.h"

#include "console_view.h"
#include "mainwindow/program_interrupt.h"
#include "mainwindow/program_settings.h"
#include "mainwindow/start_directory.h"
#include "mainwindow/trace_file.h"
#include "messages/toolbox_lang.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

using namespace kestrix;
using namespace kestrix::cli;

namespace {

std::vector<Subcommand> allSubcommands() {
    std::vector<Subcommand> result;
    for (auto* group : {terminalSubcommands, listSubcommands, fileSubcommands, configSubcommands})
        for (Subcommand& subcommand : group())
            result.push_back(subcommand);
    return result;
}

// What the program does at start-up before a subcommand that does not start
// the main window's logic: the trace file and, for one that talks to
// terminals, the settings file "Kestrix.ini" of the current directory (the
// TFTP port range), their warnings on standard error. False when the settings
// file is malformed (its text has been shown).
bool startTool(const CToolBoxLang& language, Startup startup) {
    const TraceFileOutcome traceOutcome = openTraceFile(startDirectory(), language);
    if (traceOutcome.state == TraceFileState::NotWritable)
        std::fprintf(stderr, "kestrix-cli: %s\n", traceOutcome.warning.c_str());
    if (startup == Startup::Offline)
        return true;
    ConsoleProgressLine progress;
    ConsoleMessageBoxes messageBoxes(progress);
    ProgramSettings settings;
    return GetIniFile(kSettingsFileName, language, messageBoxes, settings) == SettingsResult::Read;
}

void usage(std::FILE* out) {
    std::fprintf(out, "usage: kestrix-cli [--port TFTP-PORT] [--group N] [-a] SUBCOMMAND ...\n");
    for (const Subcommand& subcommand : allSubcommands())
        std::fprintf(out, "  kestrix-cli %s\n", subcommand.usage);
    std::fprintf(out,
                 "Options before the subcommand:\n"
                 "  --port TFTP-PORT  the port of the terminals' TFTP servers, 1 to 65535 (69 without it)\n"
                 "  --group N         the maintenance group of authenticated requests, 0 to 65535\n"
                 "  -a                the alternative adding mode of the terminal list\n"
                 "\"kestrix-cli SUBCOMMAND --help\" explains one subcommand.\n");
}

// The subcommand the words begin with, and how many words its name takes.
const Subcommand* findSubcommand(const std::vector<Subcommand>& subcommands, std::span<char*> words,
                                 std::size_t& nameWords) {
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

// A usage error of the whole command line: the reason and the short usage.
int commandLineError(const std::string& text) {
    std::fprintf(stderr, "kestrix-cli: %s\n", text.c_str());
    std::fprintf(stderr, "usage: kestrix-cli [--port TFTP-PORT] [--group N] [-a] SUBCOMMAND ... "
                         "(kestrix-cli --help lists them)\n");
    return kExitUsage;
}

// Reads the number after an option: false when it is no whole number from minimum to maximum.
bool optionNumber(const char* text, long minimum, long maximum, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return *text != '\0' && *end == '\0' && errno == 0 && value >= minimum && value <= maximum;
}

// The options before the subcommand; words is left at the subcommand. An exit
// code when the options are wrong (the reason shown).
std::optional<int> readGlobalOptions(std::span<char*>& words, Invocation& invocation) {
    while (!words.empty()) {
        const std::string_view option = words[0];
        if (option == "-a") {
            invocation.adding = AddingMode::Alternative;
            words = words.subspan(1);
            continue;
        }
        if (option != "--port" && option != "--group")
            return std::nullopt;
        if (words.size() < 2)
            return commandLineError(std::string(option) + " needs a number");
        long value = 0;
        if (option == "--port") {
            if (!optionNumber(words[1], 1, 65535, value))
                return commandLineError("--port: the TFTP port must be a number from 1 to 65535, not '" +
                                        echoed(words[1]) + "'");
            invocation.tftpPort = static_cast<std::uint16_t>(value);
        } else {
            if (!optionNumber(words[1], 0, 65535, value))
                return commandLineError("--group: the maintenance group must be a number from 0 to 65535, not '" +
                                        echoed(words[1]) + "'");
            invocation.maintenanceGroup = static_cast<std::uint16_t>(value);
            invocation.groupGiven = true;
        }
        words = words.subspan(2);
    }
    return std::nullopt;
}

// An option of the whole command line given after the subcommand: a usage
// error that says where it belongs (exit code 2), or nothing.
std::optional<int> misplacedGlobalOption(const Invocation& invocation) {
    for (const std::string& word : invocation.arguments)
        if (word == "--port" || word == "--group" || word == "-a")
            return usageError(invocation, word + " belongs before the subcommand: kestrix-cli " + word +
                                              (word == "-a" ? "" : " N") + " SUBCOMMAND ...");
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    handleProgramInterrupts();
    std::span<char*> words(argv + 1, static_cast<std::size_t>(argc - 1));
    Invocation invocation;
    if (const std::optional<int> exitCode = readGlobalOptions(words, invocation))
        return *exitCode;
    if (!words.empty() && (words[0] == std::string_view("--help") || words[0] == std::string_view("-h"))) {
        usage(stdout);
        return kExitSuccess;
    }
    if (words.empty()) {
        usage(stderr);
        return kExitUsage;
    }
    const std::vector<Subcommand> subcommands = allSubcommands();
    std::size_t nameWords = 0;
    const Subcommand* subcommand = findSubcommand(subcommands, words, nameWords);
    if (subcommand == nullptr) {
        const std::string group = namesOfGroup(subcommands, words[0]);
        if (!group.empty())
            return commandLineError(std::string(words[0]) + " needs a subcommand: " + group +
                                    (words.size() > 1 ? " (not '" + echoed(words[1]) + "')" : std::string()));
        return commandLineError("unknown subcommand '" + echoed(words[0]) + "'");
    }
    invocation.usage = subcommand->usage;
    for (char* word : words.subspan(nameWords))
        invocation.arguments.emplace_back(word);
    if (std::find(invocation.arguments.begin(), invocation.arguments.end(), "--help") !=
        invocation.arguments.end()) {
        std::printf("usage: kestrix-cli %s\n%s", subcommand->usage, subcommand->help);
        return kExitSuccess;
    }
    if (const std::optional<int> exitCode = misplacedGlobalOption(invocation))
        return *exitCode;

    CToolBoxLang language(localeIdFromEnvironment());
    if (!initStartDirectory())
        return fail("the current directory cannot be read");
    int result = kExitFailure;
    try {
        if (subcommand->startup != Startup::MainDialog && !startTool(language, subcommand->startup)) {
            closeTraceFile();
            return kExitFailure;
        }
        result = subcommand->run(invocation);
    } catch (const std::exception& error) {
        result = fail(error.what());
    }
    closeTraceFile();
    return result;
}
