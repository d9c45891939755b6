// kestrix-cli firmware list|update: the firmware depot and the window's
// Firmware button from the command line. "update" starts the main window's
// logic with a console view and plays the user of the window: it lists and
// selects the terminals, presses the Firmware button, chooses versions,
// language and options in the dialog by name and presses Start, so the checks
// and the whole update procedure are the window's own. The current directory
// stands for the program directory.
#include "cli_arguments.h"
#include "cli_common.h"
#include "console_firmware_view.h"
#include "console_view.h"

#include "firmware/firm_upd.h"
#include "firmware/firmware_depot.h"
#include "firmware/firmware_update.h"
#include "firmware/monitor_decision.h"
#include "mainwindow/main_dialog.h"
#include "mainwindow/start_directory.h"
#include "messages/toolbox_lang.h"
#include "platform/file_replacement.h"
#include "platform/interrupt.h"
#include "platform/record_text.h"
#include "terminal/terminal.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace kestrix::cli {
namespace {

// The most terminals one run updates at once.
constexpr long kMostSlots = 64;

enum class FirmwareCommand { List, Update };

struct FirmwareArguments {
    std::vector<std::string> terminals;
    std::optional<std::string> depotRoot;
    std::optional<std::string> tclVersion;
    std::optional<std::string> serverVersion;
    std::optional<std::string> language;
    UpdateOptions options;
    int parallel = SchedFirmUpd::kDialogSlots;
    std::optional<std::string> report;
};

std::string readFirmwareArguments(const std::vector<std::string>& words, FirmwareCommand command,
                                  FirmwareArguments& arguments) {
    WordReader reader(words);
    const bool update = command == FirmwareCommand::Update;
    while (!reader.done()) {
        const std::string& word = reader.next();
        std::optional<std::string>* value = word == "--depot"              ? &arguments.depotRoot
                                            : word == "--tcl"              ? &arguments.tclVersion
                                            : word == "--server"           ? &arguments.serverVersion
                                            : word == "--language"         ? &arguments.language
                                            : update && word == "--report" ? &arguments.report
                                                                           : nullptr;
        if (value != nullptr) {
            *value = reader.value();
            if (!*value || (*value)->empty())
                return word + " needs a value";
        } else if (word == "--replace-pcmcia") {
            arguments.options.pcmcia = PcmciaReplacement::Always;
        } else if (update && word == "--replace-monitor") {
            arguments.options.monitor = MonitorReplacement::Always;
        } else if (update && word == "--parallel") {
            long count = 0;
            const std::optional<std::string> text = reader.value();
            if (!text || !optionNumber(*text, 1, kMostSlots, count))
                return "--parallel takes a number from 1 to " + std::to_string(kMostSlots);
            arguments.parallel = static_cast<int>(count);
        } else if (!word.empty() && word[0] == '-') {
            return "unknown option " + word;
        } else {
            arguments.terminals.push_back(word);
        }
    }
    if (update && arguments.terminals.empty())
        return "firmware update needs at least one TERMINAL";
    return {};
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : ", ") + word;
    return text;
}

const char* depotWord(FirmwareDepotKind depot) {
    return depot == FirmwareDepotKind::TCL ? "TCL" : "server";
}

// Selects the versions and the language named on the command line in the
// depots whose lists are filled (a depot that no terminal needs is not
// listed, and its option is not looked at). The usage error, empty when every
// name was found.
std::string chooseByName(FirmwareDepot& depot, const FirmwareArguments& arguments) {
    for (const FirmwareDepotKind kind : {FirmwareDepotKind::TCL, FirmwareDepotKind::Server}) {
        const std::vector<std::string> versions = depot.versions(kind);
        if (versions == std::vector<std::string>{"---"})
            continue;
        const std::optional<std::string>& version =
            kind == FirmwareDepotKind::TCL ? arguments.tclVersion : arguments.serverVersion;
        if (version && !depot.selectVersionNamed(kind, *version))
            return std::string(kind == FirmwareDepotKind::TCL ? "--tcl " : "--server ") + echoed(*version) +
                   ": the " + depotWord(kind) + " depot holds " + joined(versions);
        if (arguments.language && !depot.selectLanguageNamed(kind, *arguments.language))
            return "--language " + echoed(*arguments.language) + ": the " + depotWord(kind) + " version " +
                   depot.selectedVersion(kind) + " has " + joined(depot.languages(kind));
    }
    depot.setOptions(arguments.options);
    return {};
}

// --- firmware list ---

void printDepotChoice(const FirmwareDepot& depot) {
    for (const FirmwareDepotKind kind : {FirmwareDepotKind::TCL, FirmwareDepotKind::Server}) {
        const char* name = kind == FirmwareDepotKind::TCL ? "TCL" : "Server";
        std::printf("%s versions:  %s (chosen %s)\n", name, joined(depot.versions(kind)).c_str(),
                    depot.selectedVersion(kind).c_str());
        std::printf("%s languages: %s (chosen %s)\n", name, joined(depot.languages(kind)).c_str(),
                    depot.selectedLanguage(kind).c_str());
    }
}

void printUpdateFiles(const Terminal& terminal, const FirmwareDepot& depot, const UpdateFileList& list) {
    const FirmwareDepotKind kind = depotKindOf(terminal);
    std::printf("\n%s %s (%s), %s version %s:\n", terminal.ProductName.c_str(), terminal.SerialNumber.c_str(),
                runningFirmwareText(terminal).c_str(), depotWord(kind), depot.selectedVersion(kind).c_str());
    // The update drops these first files when the terminal keeps its monitor.
    const std::size_t monitorFiles = monitorVersionDecides(terminal.PlatformGroup)
                                         ? static_cast<std::size_t>(monitorFileCount(terminal.PlatformGroup))
                                         : 0;
    for (std::size_t index = 0; index < list.files.size(); ++index) {
        const char* note = index < monitorFiles ? "  (sent only when the monitor is replaced)"
                           : list.defaultProgram == index
                               ? "  (sent only when the terminal exchanges its default program)"
                               : "";
        std::printf("  %s%s\n", list.files[index].c_str(), note);
    }
    std::printf("  minimum monitor %s, monitor file %s, configuration version %s\n",
                list.MinMonitorVersion.c_str(), list.FileMonitorVersion.c_str(), list.ConfigVersion.c_str());
}

int firmwareList(const Invocation& invocation) {
    FirmwareArguments arguments;
    if (const std::string error =
            readFirmwareArguments(invocation.arguments, FirmwareCommand::List, arguments);
        !error.empty())
        return usageError(invocation, error);
    const CToolBoxLang language(localeIdFromEnvironment());
    ConsoleProgressLine progress;
    ConsoleMessageBoxes boxes(progress);
    ConsoleFirmwareView lines;
    FirmwareDepot depot(arguments.depotRoot ? DepotPaths::withRoot(startDirectory(), *arguments.depotRoot)
                                            : DepotPaths::below(startDirectory()),
                        language, boxes, lines);
    const std::vector<FirmwareDepotKind> both = {FirmwareDepotKind::TCL, FirmwareDepotKind::Server};
    const DepotFill fill = depot.fillVersionLists(both);
    if (const std::string error = chooseByName(depot, arguments); !error.empty())
        return usageError(invocation, error);
    printDepotChoice(depot);
    std::fflush(stdout);
    int result = fill == DepotFill::Filled ? kExitSuccess : kExitFailure;
    for (const std::string& text : arguments.terminals) {
        const int composed = withTerminal(invocation, text, [&](Terminal& terminal) {
            lines.setSlotSerialNumber(0, terminal.SerialNumber);
            const std::optional<UpdateFileList> list = depot.GetUpdateFiles(terminal, 0);
            if (!list)
                return kExitFailure; // why has been shown
            printUpdateFiles(terminal, depot, *list);
            std::fflush(stdout);
            return kExitSuccess;
        });
        if (composed != kExitSuccess)
            result = kExitFailure;
    }
    return result;
}

// --- firmware update ---

// One line of the summary.
struct SummaryRow {
    FirmwareOutcome outcome;
    bool started = true;
};

std::string reportText(const std::vector<SummaryRow>& rows) {
    std::string text = "[";
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const FirmwareOutcome& outcome = rows[index].outcome;
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", outcome.seconds);
        text += std::string(index == 0 ? "\n" : ",\n") + "  {\"serial\": " + jsonString(outcome.serialNumber) +
                ", \"product\": " + jsonString(outcome.productName) +
                ", \"old_version\": " + jsonString(outcome.oldVersion) +
                ", \"new_version\": " + jsonString(outcome.newVersion) +
                ", \"result\": " + (outcome.result == UpdateResult::Succeeded ? "\"ok\"" : "\"failed\"") +
                ", \"seconds\": " + seconds + ", \"last_message\": " + jsonString(outcome.lastMessage) + "}";
    }
    return text + "\n]\n";
}

void printSummary(const std::vector<SummaryRow>& rows) {
    const std::vector<std::string> head = {"serial",      "product", "old version",
                                           "new version", "result",  "seconds"};
    std::vector<std::vector<std::string>> table = {head};
    for (const SummaryRow& row : rows) {
        const FirmwareOutcome& outcome = row.outcome;
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", outcome.seconds);
        table.push_back({outcome.serialNumber, outcome.productName, outcome.oldVersion,
                         outcome.newVersion.empty() ? "-" : outcome.newVersion,
                         !row.started                                ? "not started"
                         : outcome.result == UpdateResult::Succeeded ? "ok"
                                                                     : "failed",
                         seconds});
    }
    std::vector<std::size_t> widths(head.size(), 0);
    for (const auto& line : table)
        for (std::size_t column = 0; column < line.size(); ++column)
            widths[column] = std::max(widths[column], line[column].size());
    for (const auto& line : table) {
        std::string text;
        for (std::size_t column = 0; column < line.size(); ++column)
            text += column + 1 == line.size()
                        ? line[column]
                        : line[column] + std::string(widths[column] + 2 - line[column].size(), ' ');
        std::printf("%s\n", text.c_str());
    }
    std::fflush(stdout);
}

// The outcomes of the started terminals in the order they ended, then the
// selected terminals that never started (the run was cancelled first).
std::vector<SummaryRow> summaryRows(CToolBoxDlg& window, const FirmwareUpdate& dialog, std::size_t selected) {
    std::vector<SummaryRow> rows;
    std::vector<bool> reported(selected, false);
    for (const FirmwareOutcome& outcome : dialog.outcomes()) {
        rows.push_back({outcome});
        if (outcome.listIndex < selected)
            reported[outcome.listIndex] = true;
    }
    for (std::size_t index = 0; index < selected; ++index) {
        if (reported[index])
            continue;
        const Terminal& terminal = window.terminalList().at(index);
        FirmwareOutcome outcome;
        outcome.listIndex = index;
        outcome.serialNumber = terminal.SerialNumber;
        outcome.productName = terminal.ProductName;
        outcome.oldVersion = runningFirmwareText(terminal);
        outcome.lastMessage = "not started: the run was cancelled";
        rows.push_back({outcome, false});
    }
    return rows;
}

// Lists every terminal through the add field and selects them all; false
// when one was not found (shown).
bool listAndSelect(ConsoleWindow& window, const Invocation& invocation,
                   const std::vector<std::string>& terminals) {
    if (!window.start(invocation))
        return false;
    for (const std::string& text : terminals) {
        const std::size_t before = window.dialog.terminalList().size();
        window.messageBoxes.setSubject(text);
        window.dialog.OnAddIPAddr(text);
        if (window.dialog.terminalList().size() == before) {
            window.messageBoxes.setSubject({});
            fail("terminal " + echoed(text) + " was not listed (not found, or named twice); nothing updated");
            return false;
        }
    }
    window.messageBoxes.setSubject({});
    std::vector<std::size_t> all(window.dialog.terminalList().size());
    for (std::size_t index = 0; index < all.size(); ++index)
        all[index] = index;
    window.dialog.OnSelectionChange(all);
    return true;
}

// Runs the started update to its end: an interrupt cancels it (running
// terminals finish, no further one starts). Answers whether it was cancelled.
bool awaitRun(FirmwareUpdate& dialog, ConsoleFirmwareView& lines) {
    bool cancelled = false;
    while (lines.waitForEvent() == RunEvent::Interrupted) {
        cancelled = true;
        std::fprintf(stderr, "kestrix-cli: interrupted: no further terminal starts; the running updates "
                             "finish (interrupt again to end at once)\n");
        dialog.OnCancel();
    }
    dialog.OnSchedFirmUpdEnd();
    return cancelled;
}

int firmwareUpdate(const Invocation& invocation) {
    FirmwareArguments arguments;
    if (const std::string error =
            readFirmwareArguments(invocation.arguments, FirmwareCommand::Update, arguments);
        !error.empty())
        return usageError(invocation, error);
    // A report that could not be written is known before any terminal is touched.
    if (arguments.report)
        if (const std::string refusal = checkReplaceableTarget(*arguments.report); !refusal.empty())
            return fail(refusal);

    ConsoleWindow window(invocation);
    if (!listAndSelect(window, invocation, arguments.terminals))
        return kExitFailure;
    window.progress.clear(); // the progress lines follow at the left margin
    const std::size_t selected = window.dialog.terminalList().size();
    ConsoleFirmwareView lines;
    std::vector<std::string> serialNumbers;
    for (std::size_t index = 0; index < selected; ++index)
        serialNumbers.push_back(window.dialog.terminalList().at(index).SerialNumber);
    lines.setSerialNumbers(serialNumbers);

    FirmwareUpdate* dialog = nullptr;
    window.view.onFirmwareUpdate = [&](FirmwareUpdate& shown) {
        shown.attachView(lines);
        shown.setRunSettings({arguments.depotRoot, arguments.parallel});
        dialog = &shown;
    };
    window.dialog.OnButtonFirmUpdate();
    if (dialog == nullptr)
        return kExitFailure; // refused (a terminal of another maintenance group): shown
    const auto closeDialog = [&] {
        dialog->detachView();
        window.dialog.ShowIdleWindow();
    };
    if (!lines.startEnabled()) {
        closeDialog();
        return kExitFailure; // the depot lacks what the terminals need: shown
    }
    if (const std::string error = chooseByName(dialog->depot(), arguments); !error.empty()) {
        closeDialog();
        return usageError(invocation, error);
    }
    dialog->OnOptions(arguments.options);

    bool cancelled = false;
    {
        // The first interrupt is the dialog's Cancel; a second one ends the process.
        const InterruptDeferral deferral([&lines] { lines.interrupt(); });
        dialog->OnStart();
        if (!dialog->running()) {
            closeDialog();
            return kExitFailure; // the scheduler could not start: shown
        }
        cancelled = awaitRun(*dialog, lines);
    }
    const std::vector<SummaryRow> rows = summaryRows(window.dialog, *dialog, selected);
    closeDialog();
    printSummary(rows);
    if (arguments.report) {
        const std::string text = reportText(rows);
        const std::string failure = replaceFileContents(
            *arguments.report, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
            FileSecrecy::FollowUmask);
        if (!failure.empty())
            return fail(failure);
    }
    if (cancelled)
        return kExitInterrupted;
    const bool allSucceeded = std::all_of(rows.begin(), rows.end(), [](const SummaryRow& row) {
        return row.started && row.outcome.result == UpdateResult::Succeeded;
    });
    return allSucceeded ? kExitSuccess : kExitFailure;
}

} // namespace

std::vector<Subcommand> firmwareSubcommands() {
    return {
        {"firmware", "list",
         "[--group N] [-a] firmware list [TERMINAL...] [--depot DIR] [--tcl V] [--server V] [--language L] "
         "[--replace-pcmcia]",
         "  Shows the versions and languages of the TCL and the server depot (the\n"
         "  folder DIR holding TCL, Server and pcmcia; default ./FirmwareDir) and which\n"
         "  ones an update would take: the last version and the first language unless\n"
         "  --tcl, --server (\"V6.20\", as listed) or --language (both depots) choose.\n"
         "  For each TERMINAL (an address, a DNS name, \"SN;IP;DNS\" or \"SN;;\") the\n"
         "  files its update would send in order; the monitor and BIOS files are sent\n"
         "  only when the terminal's monitor is older (or --replace-monitor of update).\n"
         "  With --replace-pcmcia a terminal of the oldest platform group gets its\n"
         "  PCMCIA software too. Exit code 0; 1 when a depot is missing or a terminal's\n"
         "  list cannot be composed (the reason is shown); 2 for a wrong command line or\n"
         "  a version or language the depot does not hold.\n",
         firmwareList},
        {"firmware", "update",
         "[--group N] [-a] firmware update TERMINAL... [--depot DIR] [--tcl V] [--server V] [--language L] "
         "[--replace-monitor] [--replace-pcmcia] [--parallel N] [--report FILE.json]",
         "  Brings the terminals to the firmware chosen in the depot, as the window's\n"
         "  Firmware button does after the terminals were listed and selected: only\n"
         "  terminals of the maintenance group in force are accepted (else nothing is\n"
         "  updated). Versions and language as for firmware list (a version option of\n"
         "  a depot no terminal takes firmware from is not looked at); --replace-monitor\n"
         "  replaces a newer monitor and BIOS too (\"always updating BIOS and MONITOR\"),\n"
         "  --replace-pcmcia the PCMCIA software. N terminals are updated at once\n"
         "  (default 2, the dialog's two slots; 1 to 64). Each message of an update is a\n"
         "  line \"SERIAL: message\" on standard error; at the end a table (serial,\n"
         "  product, old version, new version, result, seconds) on standard output and\n"
         "  with --report the same as a JSON array (result \"ok\" or \"failed\", plus the\n"
         "  last message). Each updated terminal is logged in TALMOUpdateDone.txt in the\n"
         "  current directory. Ctrl-C cancels: no further terminal starts, the running\n"
         "  ones finish (a terminal is never left half-flashed), exit code 130; a second\n"
         "  Ctrl-C ends at once. Exit code 0 when all were updated, 1 when one failed or\n"
         "  the selection was refused, 2 for a wrong command line or a version or\n"
         "  language the depot does not hold.\n",
         firmwareUpdate, Startup::MainDialog},
    };
}

} // namespace kestrix::cli
