// kestrix-cli lbus: the window's LBus security button from the command line.
// It starts the main window's logic with a console view and plays the user:
// it lists and selects the terminal, presses the button, answers the setup
// login with the password given, chooses the action and the readers in the
// dialog and presses Start, so the checks, the gates and the reader rule are
// the dialog's own.
#include "cli_arguments.h"
#include "cli_common.h"
#include "console_lbus_view.h"
#include "console_view.h"

#include "mainwindow/main_dialog.h"
#include "messages/toolbox_lang.h"
#include "platform/interrupt.h"
#include "reader_security/lbus_answers.h"
#include "reader_security/lbus_gates.h"
#include "reader_security/load_lbus_key.h"

#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace kestrix::cli {
namespace {

constexpr int kCardsOnlyText = 69; // "Mit diesem Firmwarestand können nur LBus-Schlüssel geladen werden. "
constexpr int kNoReaderUpdate = 527; // "Update der Leserfirmware oder Leserparametrierung ... nicht möglich."
constexpr int kUpdateDone = 100;

struct ActionName {
    std::string_view word;
    LBusFunction action;
};
constexpr std::array<ActionName, 5> kActions = {{
    {"key", LBusFunction::LoadKeys},
    {"unlock", LBusFunction::ReleaseCard},
    {"lock", LBusFunction::LockCard},
    {"firmware", LBusFunction::FirmwareUpdate},
    {"params", LBusFunction::ParameterUpdate},
}};

struct LBusArguments {
    std::string terminal;
    LBusFunction action = LBusFunction::LoadKeys;
    std::optional<std::string> packageFile;
    std::optional<unsigned> readers; // the mask of --readers
    std::string password;
};

std::string readLBusArguments(const std::vector<std::string>& words, LBusArguments& arguments) {
    WordReader reader(words);
    std::vector<std::string> operands;
    while (!reader.done()) {
        const std::string& word = reader.next();
        if (word == "--readers") {
            const std::optional<std::string> list = reader.value();
            if (!list)
                return "--readers needs a list such as 1,2,5-8";
            arguments.readers = parseReaderList(*list);
            if (!arguments.readers)
                return "--readers " + echoed(*list) +
                       ": give reader numbers 0-16 and ranges, such as 1,2,5-8";
        } else if (word == "--password") {
            const std::optional<std::string> password = reader.value();
            if (!password)
                return "--password needs a value";
            arguments.password = *password;
        } else if (!word.empty() && word[0] == '-') {
            return "unknown option " + echoed(word);
        } else {
            operands.push_back(word);
        }
    }
    if (operands.size() < 2)
        return "lbus needs TERMINAL and an action: key, unlock, lock, firmware FILE or params FILE";
    arguments.terminal = operands[0];
    const auto* found = std::find_if(kActions.begin(), kActions.end(),
                                     [&](const ActionName& name) { return name.word == operands[1]; });
    if (found == kActions.end())
        return "unknown action " + echoed(operands[1]) + ": key, unlock, lock, firmware or params";
    arguments.action = found->action;
    const std::size_t wanted = isReaderUpdate(arguments.action) ? 3 : 2;
    if (operands.size() != wanted)
        return isReaderUpdate(arguments.action) ? std::string(found->word) + " needs one FILE"
                                                : std::string(found->word) + " takes no FILE";
    if (wanted == 3)
        arguments.packageFile = operands[2];
    return {};
}

// Why the dialog would not offer the action, in words.
std::string refusalText(LBusRefusal refusal, const CToolBoxLang& language) {
    switch (refusal) {
    case LBusRefusal::AccessGrade:
        return "access grade 2 allows only unlock and lock";
    case LBusRefusal::CardVersion:
        return language.GetText(kCardsOnlyText);
    case LBusRefusal::UpdatePlatform:
    case LBusRefusal::UpdateVersion:
        return language.GetText(kNoReaderUpdate);
    case LBusRefusal::None:
        break;
    }
    return {};
}

std::string offeredReaders(const ReaderOffers& offers) {
    std::string text;
    for (int reader = 0; reader < kReaderLines; ++reader)
        if (offers[static_cast<std::size_t>(reader)] == ReaderOffer::Checked)
            text += (text.empty() ? "" : ",") + std::to_string(reader);
    return text.empty() ? "none" : text;
}

// Whether every reader of the mask got its answer (key and card) or reached 100 (updates).
bool allReadersSucceeded(unsigned mask, LBusFunction action, const ConsoleLBusView& lines,
                         const CToolBoxLang& language) {
    const std::string done = language.GetText(readerStatusMessage(kUpdateDone));
    for (int reader = 0; reader < kReaderLines; ++reader) {
        if ((mask >> reader & 1U) == 0)
            continue;
        const std::string status = lines.readerStatus(reader);
        if (isReaderUpdate(action) ? status != done : status.empty())
            return false;
    }
    return true;
}

int lbusCommand(const Invocation& invocation) {
    LBusArguments arguments;
    if (const std::string error = readLBusArguments(invocation.arguments, arguments); !error.empty())
        return usageError(invocation, error);
    ConsoleWindow window(invocation);
    if (!window.startWithTerminal(invocation, arguments.terminal))
        return kExitFailure;
    window.progress.clear();
    window.view.onSetupLogin = [&](CLoginForSetup& login) {
        return loginWithPassword(login, arguments.password);
    };
    ConsoleLBusView lines(window.messageBoxes, arguments.packageFile);
    CLoadLBusKey* dialog = nullptr;
    window.view.onLoadLBusKey = [&](CLoadLBusKey& shown) {
        shown.attachView(lines);
        dialog = &shown;
    };
    window.dialog.OnButtonLbuskey();
    if (dialog == nullptr)
        return kExitFailure; // a check, the block or the login refused: shown
    const auto closeDialog = [&] {
        dialog->detachView();
        window.dialog.ShowIdleWindow();
    };
    if (const LBusRefusal refusal = dialog->refusal(arguments.action); refusal != LBusRefusal::None) {
        const std::string text = refusalText(refusal, window.dialog.language());
        closeDialog();
        return fail(text);
    }
    dialog->OnSelectAction(arguments.action);
    const ReaderOffers offers = dialog->readerOffers();
    unsigned mask = 0;
    for (int reader = 0; reader < kReaderLines; ++reader)
        if (offers[static_cast<std::size_t>(reader)] == ReaderOffer::Checked)
            mask |= 1U << reader;
    if (arguments.readers) {
        if ((*arguments.readers & ~mask) != 0) {
            closeDialog();
            return usageError(invocation, "--readers: this action offers readers " + offeredReaders(offers));
        }
        mask = *arguments.readers;
        for (int reader = 0; reader < kReaderLines; ++reader)
            dialog->OnReaderCheck(reader, (mask >> reader & 1U) != 0);
    }

    bool cancelled = false;
    {
        // The first interrupt is the dialog's Cancel; a second one ends the process.
        const InterruptDeferral deferral([&lines] { lines.interrupt(); });
        dialog->OnButtonstart();
        if (!dialog->running()) {
            closeDialog();
            return kExitFailure; // no reader, no package or no worker: shown
        }
        while (lines.waitForEvent() == LBusEvent::Interrupted) {
            // An update stops its polling (exit 130); a key or card transfer
            // is refused and awaited, and its readers' results count.
            if (isReaderUpdate(arguments.action))
                cancelled = true;
            dialog->QueryTerminate();
        }
        dialog->OnMsgT7000ipLBusCommEnd(lines.endCode());
    }
    const bool succeeded = dialog->lastExitCode() == 0 &&
                           allReadersSucceeded(mask, arguments.action, lines, window.dialog.language());
    closeDialog();
    if (cancelled)
        return kExitInterrupted;
    return succeeded ? kExitSuccess : kExitFailure;
}

} // namespace

std::vector<Subcommand> lbusSubcommands() {
    return {
        {"lbus", nullptr,
         "[--group N] [-a] lbus TERMINAL key|unlock|lock|firmware FILE|params FILE [--readers LIST] "
         "[--password P]",
         "  The readers on the terminal's LBus, as the window's LBus security button\n"
         "  does: the terminal must not be in monitor mode nor a server, its\n"
         "  configuration block is fetched (version 5.50 at least) and the setup login\n"
         "  must accept --password P with access grade 2 or 3. key loads the LBus key\n"
         "  (grade 3), unlock and lock release or lock the parameter card (version\n"
         "  6.04 on), firmware and params copy FILE (.trfw or .trpara) to the terminal\n"
         "  and update the readers' firmware or parameters (grade 3, platform groups 6\n"
         "  and 7, version 6.20a on), following them to their end. --readers takes\n"
         "  reader numbers and ranges such as 1,2,5-8 (0 is the internal reader, not\n"
         "  with key); default: the readers the block serves. Each reader's result is a\n"
         "  line \"reader N: TEXT\" on standard output as it changes. Ctrl-C stops\n"
         "  following an update (the terminal goes on), exit code 130. Exit code 0 when\n"
         "  every reader answered (key, unlock, lock) or was updated, 1 otherwise or\n"
         "  when the action is refused, 2 for a wrong command line or readers the\n"
         "  action does not offer.\n",
         lbusCommand, Startup::MainDialog},
    };
}

} // namespace kestrix::cli
