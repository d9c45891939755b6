#pragma once

// What every subcommand of kestrix-cli shares: the invocation, the failure
// line on standard error and the exit codes.
#include "mainwindow/list_presentation.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {
class CToolBoxLang;
class T7000ip;
class Terminal;
struct TerminalRow;
}

namespace kestrix::cli {

// Exit codes of every subcommand.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1; // the work failed (or found nothing)
inline constexpr int kExitUsage = 2;   // the command line was wrong
inline constexpr int kExitInterrupted = 130; // Ctrl-C taken as Cancel (128 + SIGINT)

// What a subcommand works with: its own words (options included) after the
// subcommand's name, and the options that stand before the subcommand.
struct Invocation {
    std::vector<std::string> arguments;
    std::uint16_t tftpPort = 69;        // --port
    std::uint16_t maintenanceGroup = 0; // --group
    bool groupGiven = false;
    // -a: the alternative adding mode of the terminal list
    AddingMode adding = AddingMode::Normal;
    std::string usage; // the subcommand's usage line, for its own usage errors
};

// A word of the user's as messages repeat it: at most 100 characters, a
// longer one cut with "..." behind.
std::string echoed(std::string_view word);

// Reads the number after an option: false when it is no whole number from minimum to maximum.
bool optionNumber(const std::string& text, long minimum, long maximum, long& value);

// Writes "kestrix-cli: TEXT" to standard error and answers kExitFailure.
int fail(const std::string& text);
// Writes "kestrix-cli: TEXT" and the usage line to standard error and answers kExitUsage.
int usageError(const Invocation& invocation, const std::string& text);

// The address as the TFTP client takes it (IPv4 in its mapped form, a scope
// kept), or nothing when the text is no IPv4 or IPv6 address.
bool tftpServerAddress(const std::string& text, std::string& address);

// What kestrix-cli does before a subcommand runs.
enum class Startup {
    Tool,       // opens the trace file and reads the settings file (TFTP port range)
    Offline,    // opens the trace file only: works on local files, a broken settings file does not matter
    MainDialog, // nothing: the subcommand starts the main window's logic, which does both
};

// Prints terminal list rows as a table on standard output: a head line with
// the names of the sort orders in the user's language, then one line per
// terminal in list order (what search, add, read and setip print).
void printRows(const std::vector<TerminalRow>& rows, const CToolBoxLang& language);

// Locates TERMINAL (an address, a DNS name, "SN;IP;DNS" or "SN;;") with the
// maintenance group of the invocation and runs body with its record; the
// failure to find it is reported as "terminal TEXT: reason" (exit code 1).
// Starts the engine and ends it again.
int withTerminal(const Invocation& invocation, const std::string& text,
                 const std::function<int(Terminal&)>& body);

// The message table in the language of the environment.
const CToolBoxLang& commandLineLanguage();
// What withTerminal does in its own steps, for a subcommand that works on
// several terminals: startEngine enumerates the LAN interfaces and starts the
// engine with the invocation's maintenance group (nullptr when the PC has no
// LAN interface; that has been reported), T7000ip::releaseT7000ip() ends it.
// locateTerminal locates one terminal, or answers nothing with the reason in
// the user's language; several threads may locate at once.
T7000ip* startEngine(const Invocation& invocation);
std::unique_ptr<Terminal> locateTerminal(T7000ip& engine, const Invocation& invocation, const std::string& text,
                                         std::string& reason);

// Whether a subcommand has a --group of its own after its name (setip: the
// group typed into the dialog) besides the one before it (the group in force).
enum class OwnGroupOption { No, Yes };

// One subcommand: "group name" (name may be null for one word), its usage
// line and help text, and the function that runs it.
struct Subcommand {
    const char* group;
    const char* name;
    const char* usage; // after "kestrix-cli "
    const char* help;  // what --help prints below the usage line
    int (*run)(const Invocation&);
    Startup startup = Startup::Tool;
    OwnGroupOption ownGroup = OwnGroupOption::No;
};

// The subcommands of each source file.
std::vector<Subcommand> fileSubcommands();     // file get, file put
std::vector<Subcommand> terminalSubcommands(); // info
std::vector<Subcommand> configSubcommands();   // config fetch, info, convert
std::vector<Subcommand> setupSubcommands();    // config show, set, put
std::vector<Subcommand> backupSubcommands();   // config backup, diff
std::vector<Subcommand> listSubcommands();     // search, add, read
std::vector<Subcommand> actionSubcommands();   // reset, setip
std::vector<Subcommand> tclSubcommands();      // tcl
std::vector<Subcommand> firmwareSubcommands(); // firmware list, update
std::vector<Subcommand> keyboardSubcommands(); // keyboard get, put, convert, show
std::vector<Subcommand> lbusSubcommands();     // lbus

// All of them, in the order the usage lists them.
std::vector<Subcommand> allSubcommands();

// What a command line asks for.
struct CommandLine {
    enum class Action {
        Run,        // the subcommand, with the invocation
        ListUsage,  // "--help" or "-h" first, or after a group's name: the usage of every subcommand
                    // (of the group only when usageGroup is set)
        ShowHelp,   // "--help" among the subcommand's words: its usage line and help
        UsageError, // no subcommand: the usage of every subcommand, on standard error
        Failure,    // a wrong option value, an option after the subcommand that belongs before it, a group
                    // name without its subcommand or an unknown subcommand: failure tells which (exit code 2)
    };
    Action action = Action::UsageError;
    const Subcommand* subcommand = nullptr; // Run and ShowHelp: one of the given subcommands
    Invocation invocation;                  // Run: options, arguments and usage line
    std::string failure;
    std::string usageGroup; // ListUsage after a group's name ("config --help")
};

// Reads the words after the program's name: the options before the
// subcommand (-a, --port N, --group N), the subcommand's name and its words.
// Runs nothing and prints nothing.
CommandLine readCommandLine(const std::vector<std::string>& words,
                            const std::vector<Subcommand>& subcommands);

} // namespace kestrix::cli
