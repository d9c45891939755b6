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
#include "mainwindow/program_settings.h"
#include "mainwindow/start_directory.h"
#include "mainwindow/trace_file.h"
#include "messages/toolbox_lang.h"

#include <algorithm>
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

// What the program does at start-up before a tool subcommand: the trace file
// and the settings file "Kestrix.ini" of the current directory (the TFTP port
// range), their warnings on standard error. False when the settings file is
// malformed (its text has been shown).
bool startTool(const CToolBoxLang& language) {
    const TraceFileOutcome traceOutcome = openTraceFile(startDirectory(), language);
    if (traceOutcome.state == TraceFileState::NotWritable)
        std::fprintf(stderr, "kestrix-cli: %s\n", traceOutcome.warning.c_str());
    ConsoleProgressLine progress;
    ConsoleMessageBoxes messageBoxes(progress);
    ProgramSettings settings;
    return GetIniFile(kSettingsFileName, language, messageBoxes, settings) == SettingsResult::Read;
}

void usage(std::FILE* out) {
    std::fprintf(out, "usage: kestrix-cli [--port TFTP-PORT] [--group N] [-a] SUBCOMMAND ...\n");
    for (const Subcommand& subcommand : allSubcommands())
        std::fprintf(out, "  kestrix-cli %s\n", subcommand.usage);
    std::fprintf(out, "\"kestrix-cli SUBCOMMAND --help\" explains one subcommand.\n");
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

// Reads the number after an option; false (with the message) when it is not 1..maximum.
bool optionNumber(const char* text, long minimum, long maximum, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return *text != '\0' && *end == '\0' && value >= minimum && value <= maximum;
}

} // namespace

int main(int argc, char** argv) {
    std::span<char*> words(argv + 1, static_cast<std::size_t>(argc - 1));
    Invocation invocation;
    while (words.size() >= 2) {
        long value = 0;
        if (words[0] == std::string_view("-a")) {
            invocation.adding = AddingMode::Alternative;
            words = words.subspan(1);
            continue;
        }
        if (words[0] == std::string_view("--port")) {
            if (!optionNumber(words[1], 1, 65535, value))
                return fail("the TFTP port must be 1 to 65535");
            invocation.tftpPort = static_cast<std::uint16_t>(value);
        } else if (words[0] == std::string_view("--group")) {
            if (!optionNumber(words[1], 0, 65535, value))
                return fail("the maintenance group must be 0 to 65535");
            invocation.maintenanceGroup = static_cast<std::uint16_t>(value);
            invocation.groupGiven = true;
        } else {
            break;
        }
        words = words.subspan(2);
    }
    if (!words.empty() && (words[0] == std::string_view("--help") || words[0] == std::string_view("-h"))) {
        usage(stdout);
        return kExitSuccess;
    }
    const std::vector<Subcommand> subcommands = allSubcommands();
    std::size_t nameWords = 0;
    const Subcommand* subcommand = findSubcommand(subcommands, words, nameWords);
    if (subcommand == nullptr) {
        usage(stderr);
        return kExitUsage;
    }
    invocation.usage = subcommand->usage;
    for (char* word : words.subspan(nameWords))
        invocation.arguments.emplace_back(word);
    if (std::find(invocation.arguments.begin(), invocation.arguments.end(), "--help") !=
        invocation.arguments.end()) {
        std::printf("usage: kestrix-cli %s\n%s", subcommand->usage, subcommand->help);
        return kExitSuccess;
    }

    CToolBoxLang language(localeIdFromEnvironment());
    if (!initStartDirectory())
        return fail("the current directory cannot be read");
    int result = kExitFailure;
    try {
        if (subcommand->startup == Startup::Tool && !startTool(language)) {
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
