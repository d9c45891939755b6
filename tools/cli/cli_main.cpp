// kestrix-cli: terminal maintenance from the command line, one subcommand per
// call. "kestrix-cli --help" lists the subcommands, "kestrix-cli SUBCOMMAND
// --help" explains one.
//
// TERMINAL is what a line of a terminal list holds: an address, a DNS name,
// or "SN;IP;DNS" (the serial number alone as "SN;;"). --group gives the
// maintenance group for the authenticated requests (0 without it); -a sets
// the alternative adding mode of the terminal list. The local
// TFTP port range comes from "Kestrix.ini" in the current directory or, for
// the installed program started from a folder without one, in the window's
// per-user folder; with a file "KestrixTrace.txt" in that same folder the run
// is traced into it. Everything else (list files, the firmware depot) is
// taken from the current directory.
//
// Exit codes: 0 success, 1 the work failed or found nothing, 2 usage error.
#include "cli_common.h"

#include "console_view.h"
#include "mainwindow/program_interrupt.h"
#include "mainwindow/program_settings.h"
#include "mainwindow/start_directory.h"
#include "messages/toolbox_lang.h"
#include "mainwindow/trace_file.h"

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kestrix;
using namespace kestrix::cli;

namespace {

// What the program does at start-up before a subcommand that does not start
// the main window's logic: the trace file and, for one that talks to
// terminals, the settings file "Kestrix.ini" (the
// TFTP port range), their warnings on standard error. False when the settings
// file is malformed (its text has been shown).
bool startTool(const CToolBoxLang& language, Startup startup) {
    const TraceFileOutcome traceOutcome = openTraceFile(settingsDirectory(), language);
    if (traceOutcome.state == TraceFileState::NotWritable)
        std::fprintf(stderr, "kestrix-cli: %s\n", traceOutcome.warning.c_str());
    if (startup == Startup::Offline)
        return true;
    ConsoleProgressLine progress;
    ConsoleMessageBoxes messageBoxes(progress);
    ProgramSettings settings;
    return GetIniFile(settingsFileName(), language, messageBoxes, settings) == SettingsResult::Read;
}

// The usage of every subcommand, or of a group's subcommands only.
void usage(std::FILE* out, const std::string& group = std::string()) {
    std::fprintf(out, "usage: kestrix-cli [--port TFTP-PORT] [--group N] [-a] SUBCOMMAND ...\n");
    for (const Subcommand& subcommand : allSubcommands())
        if (group.empty() || group == subcommand.group)
            std::fprintf(out, "  kestrix-cli %s\n", subcommand.usage);
    std::fprintf(out,
                 "Options before the subcommand:\n"
                 "  --port TFTP-PORT  the port of the terminals' TFTP servers, 1 to 65535 (69 without it)\n"
                 "  --group N         the maintenance group of authenticated requests, 0 to 65535\n"
                 "  -a                the alternative adding mode of the terminal list\n"
                 "\"kestrix-cli SUBCOMMAND --help\" explains one subcommand.\n");
}

} // namespace

int main(int argc, char** argv) {
    handleProgramInterrupts();
    const std::vector<Subcommand> subcommands = allSubcommands();
    const CommandLine line = readCommandLine(std::vector<std::string>(argv + 1, argv + argc), subcommands);
    switch (line.action) {
    case CommandLine::Action::Failure:
        std::fprintf(stderr, "kestrix-cli: %s\n", line.failure.c_str());
        std::fprintf(stderr, "usage: kestrix-cli [--port TFTP-PORT] [--group N] [-a] SUBCOMMAND ... "
                             "(kestrix-cli --help lists them)\n");
        return kExitUsage;
    case CommandLine::Action::ListUsage:
        usage(stdout, line.usageGroup);
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
    setStartUse(StartUse::CommandLine);
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
