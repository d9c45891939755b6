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
#include "mainwindow/toolbox_lang.h"
#include "mainwindow/trace_file.h"

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kestrix;
using namespace kestrix::cli;

namespace {

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

} // namespace

int main(int argc, char** argv) {
    const std::vector<Subcommand> subcommands = allSubcommands();
    const CommandLine line = readCommandLine(std::vector<std::string>(argv + 1, argv + argc), subcommands);
    switch (line.action) {
    case CommandLine::Action::Failure:
        return fail(line.failure);
    case CommandLine::Action::ListUsage:
        usage(stdout);
        return kExitSuccess;
    case CommandLine::Action::UsageError:
        usage(stderr);
        return kExitUsage;
    case CommandLine::Action::ShowHelp:
        std::printf("usage: kestrix-cli %s\n%s", line.subcommand->usage, line.subcommand->help);
        return kExitSuccess;
    case CommandLine::Action::Run:
        break;
    }
    const Subcommand* subcommand = line.subcommand;
    const Invocation& invocation = line.invocation;

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
