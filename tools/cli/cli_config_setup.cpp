// kestrix-cli config show|set|put: the window's Setup button from the command
// line. Each subcommand starts the main window's logic with a console view,
// selects the terminal, presses Setup and answers the setup login with the
// password given (as reset does); the setup editor it opens is then played as
// a technician plays it: values typed into its pages, a file loaded, OK
// pressed. The pages' checks, messages and the write, reset and wait of OK
// are the editor's own.
#include "cli_arguments.h"
#include "cli_common.h"
#include "cli_config.h"
#include "cli_config_keys.h"
#include "console_view.h"

#include "config/set_encrypt.h"
#include "config/setup_page_channel.h"
#include "config/setup_page_misc.h"
#include "config/setup_page_network.h"
#include "config/setup_page_tcl.h"
#include "config/terminal_setup.h"
#include "mainwindow/main_dialog.h"
#include "messages/toolbox_lang.h"
#include "platform/file_replacement.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix::cli {
namespace {

enum class Confirmation { Asked, Given }; // --yes

struct SetupArguments {
    std::string terminal;
    std::string file; // put: FILE.cfg
    std::vector<Setting> settings;
    std::string password;
    Confirmation confirmation = Confirmation::Asked;
    SetupSecrets secrets = SetupSecrets::Hidden;
};

enum class SetupCommand { Show, Set, Put };

std::string readSetupArguments(SetupCommand command, const std::vector<std::string>& words,
                               SetupArguments& arguments) {
    WordReader reader(words);
    std::vector<std::string> operands;
    while (!reader.done()) {
        const std::string& word = reader.next();
        if (word == "--password") {
            const std::optional<std::string> password = reader.value();
            if (!password)
                return "--password needs a value";
            arguments.password = *password;
        } else if (word == "--yes" && command != SetupCommand::Show) {
            arguments.confirmation = Confirmation::Given;
        } else if (word == "--show-secrets" && command == SetupCommand::Show) {
            arguments.secrets = SetupSecrets::Shown;
        } else if (!word.empty() && word[0] == '-') {
            return "unknown option " + word;
        } else {
            operands.push_back(word);
        }
    }
    const char* name = command == SetupCommand::Show ? "show" : command == SetupCommand::Set ? "set" : "put";
    if (operands.empty() ||
        (command != SetupCommand::Set && operands.size() != (command == SetupCommand::Put ? 2u : 1u)))
        return std::string("config ") + name +
               (command == SetupCommand::Put ? " needs a TERMINAL and a FILE.cfg" : " needs one TERMINAL");
    arguments.terminal = operands.front();
    if (command == SetupCommand::Put)
        arguments.file = operands.back();
    if (command != SetupCommand::Set)
        return {};
    if (operands.size() == 1)
        return "config set needs at least one KEY=VALUE";
    for (auto operand = operands.begin() + 1; operand != operands.end(); ++operand) {
        const std::size_t equals = operand->find('=');
        const std::string key = operand->substr(0, equals);
        const KeyEntry* entry = findSetupKey(key);
        if (equals == std::string::npos)
            return "'" + echoed(*operand) + "' is no KEY=VALUE";
        if (entry == nullptr)
            return "unknown key '" + echoed(key) + "' (config set --help lists the keys)";
        const Setting setting{entry, operand->substr(equals + 1)};
        if (const std::string expected = malformed(setting); !expected.empty())
            return key + " takes " + expected + ", not '" + echoed(setting.value) + "'";
        arguments.settings.push_back(setting);
    }
    return {};
}

template <typename Page> Page* pageOf(CTerminalSetup& editor, SetupTab tab) {
    return dynamic_cast<Page*>(editor.page(tab));
}

// Types a setting into its page, as the technician would; false when the page
// or its control is not offered, or a dialog behind it refused (shown).
bool typeSetting(CTerminalSetup& editor, const CToolBoxLang& language, MessageBoxes& messageBoxes,
                 const Setting& setting) {
    auto* network = pageOf<NetworkPage>(editor, SetupTab::Network);
    auto* channel = pageOf<SetupPageChannel>(editor, SetupTab::ChannelA);
    auto* tcl = pageOf<SetupPageTcl>(editor, SetupTab::Tcl);
    auto* misc = pageOf<SetupPageMisc>(editor, SetupTab::Misc);
    HostChannelSettings* host = channel != nullptr ? channel->hostChannel() : nullptr;
    const std::string& value = setting.value;
    const auto notOffered = [&] {
        fail(std::string(setting.entry->name) + " is not offered for this terminal at access grade " +
             std::to_string(editor.grade()));
        return false;
    };
    switch (setting.entry->key) {
    case SetupKey::Address:
    case SetupKey::Mask:
    case SetupKey::Router: {
        if (network == nullptr)
            return notOffered();
        NetworkPageValues& values = network->values;
        const SetupKey key = setting.entry->key;
        (key == SetupKey::Address ? values.ipv4Address
         : key == SetupKey::Mask  ? values.ipv4Mask
                                  : values.ipv4Router) = value;
        return true;
    }
    case SetupKey::DhcpName:
        if (network == nullptr || !network->hostNameAndLinkSpeedEnabled())
            return notOffered();
        network->values.dhcpHostName = value;
        return true;
    case SetupKey::IpStack:
        if (network == nullptr || !network->stackControlsEnabled())
            return notOffered();
        network->values.ipv6Stack = value != "ipv4";
        if (value != "ipv6") {
            network->values.ipv4Stack = true;
            return true;
        }
        if (!network->values.ipv4Stack)
            return true;
        network->values.ipv4Stack = false;
        if (network->OnUncheckIpv4())
            return true;
        fail("IPv4 stays on (--yes leaves the terminal without it)");
        return false;
    case SetupKey::HostAddress:
    case SetupKey::HostPort:
        if (host == nullptr)
            return notOffered();
        (setting.entry->key == SetupKey::HostAddress ? host->values.hostAddress : host->values.port) = value;
        return true;
    case SetupKey::Group:
        if (misc == nullptr || !misc->maintenanceGroupEnabled())
            return notOffered();
        misc->values.maintenanceGroup = value;
        return true;
    case SetupKey::GmtOffset: {
        if (misc == nullptr)
            return notOffered();
        long minutesEast = 0;
        wholeNumber(value, -840, 840, minutesEast);
        misc->summerTime.values.deviationHours = static_cast<int>(std::abs(minutesEast) / 60);
        misc->summerTime.values.sign = minutesEast > 0 ? DeviationSign::East : DeviationSign::West;
        return true;
    }
    case SetupKey::Summer:
        if (misc == nullptr)
            return notOffered();
        misc->summerTime.values.automatic = value == "auto";
        return true;
    case SetupKey::SummerStart:
    case SetupKey::SummerEnd: {
        if (misc == nullptr)
            return notOffered();
        SummerTimePoint& point = setting.entry->key == SetupKey::SummerStart ? misc->summerTime.values.start
                                                                             : misc->summerTime.values.end;
        if (const std::optional<SummerTimePoint> calendar = calendarPoint(value)) {
            point = *calendar;
        } else {
            point.form = SummerTimeForm::Posix;
            point.posixRule = value;
        }
        return true;
    }
    case SetupKey::Password1:
    case SetupKey::Password2:
    case SetupKey::Password3: {
        const int grade = 1 + static_cast<int>(setting.entry->key) - static_cast<int>(SetupKey::Password1);
        if (misc == nullptr || !misc->passwordChangeEnabled(grade))
            return notOffered();
        const std::string current = misc->password(grade);
        return misc->passwordChange(grade).OnOK(current, value, value);
    }
    case SetupKey::HostEncrypt:
        if (tcl == nullptr || !tcl->hostEncryptionEnabled())
            return notOffered();
        tcl->values.hostEncryption = value == "on";
        return true;
    case SetupKey::HostKeyText: {
        if (tcl == nullptr || !tcl->hostEncryptionEnabled())
            return notOffered();
        CSetEncrypt dialog = CSetEncrypt::forHost(language, messageBoxes);
        if (!dialog.OnOK(value))
            return false;
        editor.pendingKeys().host = dialog.key();
        return true;
    }
    }
    return false;
}

// The window started, the terminal selected, Setup pressed and the login
// played; nullptr when any of it failed (shown).
CTerminalSetup* openEditor(ConsoleWindow& window, const Invocation& invocation,
                           const SetupArguments& arguments) {
    if (!window.startWithTerminal(invocation, arguments.terminal))
        return nullptr;
    window.view.onSetupLogin = [&](CLoginForSetup& login) {
        return loginWithPassword(login, arguments.password);
    };
    if (arguments.confirmation == Confirmation::Given)
        window.messageBoxes.setOkCancelAnswer(MessageAnswer::Ok);
    window.dialog.OnButtonSetup();
    return window.view.setupEditor();
}

// OK, with a line every few seconds while it waits; 0 when the terminal took
// the block and came back.
int pressOk(CTerminalSetup& editor, const std::string& terminal) {
    SetupOkOutcome outcome = SetupOkOutcome::NotRun;
    {
        const WaitTicker ticker("writing the configuration of " + terminal + " and waiting for it");
        outcome = editor.OnButtonOk();
    }
    if (outcome == SetupOkOutcome::Stayed)
        fail("nothing written");
    return outcome == SetupOkOutcome::Installed ? kExitSuccess : kExitFailure;
}

using EditorWork = std::function<int(ConsoleWindow&, CTerminalSetup&, const SetupArguments&)>;

// Reads the subcommand's words, opens the setup editor on the terminal and
// does the work on it; the editor is closed afterwards without a question.
int withEditor(const Invocation& invocation, SetupCommand command, const EditorWork& work) {
    SetupArguments arguments;
    if (const std::string error = readSetupArguments(command, invocation.arguments, arguments);
        !error.empty())
        return usageError(invocation, error);
    if (command == SetupCommand::Put)
        if (const std::string refusal = checkRegularInput(arguments.file); !refusal.empty())
            return fail(refusal);
    ConsoleWindow window(invocation);
    CTerminalSetup* editor = openEditor(window, invocation, arguments);
    if (editor == nullptr)
        return kExitFailure;
    const int exitCode = work(window, *editor, arguments);
    window.dialog.ShowIdleWindow();
    window.progress.clear();
    return exitCode;
}

int setConfiguration(const Invocation& invocation) {
    return withEditor(
        invocation, SetupCommand::Set,
        [](ConsoleWindow& window, CTerminalSetup& editor, const SetupArguments& arguments) {
            for (const Setting& setting : arguments.settings)
                if (!typeSetting(editor, window.dialog.language(), window.messageBoxes, setting))
                    return fail(std::string(setting.entry->name) + " refused: nothing written");
            return pressOk(editor, arguments.terminal);
        });
}

int putConfiguration(const Invocation& invocation) {
    return withEditor(invocation, SetupCommand::Put,
                      [](ConsoleWindow&, CTerminalSetup& editor, const SetupArguments& arguments) {
                          if (!editor.OnButtonRdfile(arguments.file))
                              return fail(arguments.file + " was not loaded: nothing written");
                          return pressOk(editor, arguments.terminal);
                      });
}

int showConfiguration(const Invocation& invocation) {
    SetupArguments file;
    if (const std::string error = readSetupArguments(SetupCommand::Show, invocation.arguments, file);
        !error.empty())
        return usageError(invocation, error);
    if (file.terminal.ends_with(".cfg"))
        return printSetupFile(file.terminal, file.secrets);
    return withEditor(invocation, SetupCommand::Show,
                      [](ConsoleWindow&, CTerminalSetup& editor, const SetupArguments& arguments) {
                          printSetupPages(editor, arguments.secrets);
                          return kExitSuccess;
                      });
}

} // namespace

std::vector<Subcommand> setupSubcommands() {
    static const std::string setHelp =
        "  Changes the terminal's configuration block as the window's Setup editor\n"
        "  does: the setup login must accept --password P (tried against the access\n"
        "  grades, highest first), each KEY=VALUE is typed into its page, then OK:\n"
        "  the pages' checks (their warnings printed), the write in the terminal's\n"
        "  block version, the reset and the wait until the terminal answers again\n"
        "  (at a new address, if one was set). --yes answers the editor's questions\n"
        "  with OK (a cold boot, leaving the terminal without IPv4); without it they\n"
        "  are cancelled and nothing is written. group writes a new maintenance group\n"
        "  (--group before config is the one that reaches the terminal now).\n" +
        setupKeysHelp() +
        "  Exit code 0 when the terminal came back; 1 for a wrong password, a value a\n"
        "  page refused, a failed write or a terminal not back (the message says\n"
        "  whether the block was written); 2 for an unknown key or malformed value.\n";
    return {
        {"config", "show", "[--group N] [-a] config show TERMINAL|FILE.cfg [--password P] [--show-secrets]",
         "  Prints the terminal's configuration as the Setup editor shows it to the\n"
         "  access grade the password opens (the login as config set): the tabs, and\n"
         "  the fields of the channel A, TCP/IP, TCL and miscellaneous pages under the\n"
         "  names config set takes. A FILE.cfg (a name ending in .cfg) is read offline\n"
         "  and shown as to grade 3 on a TCL terminal. Passwords are shown as set or\n"
         "  empty unless --show-secrets. Exit code 0; 1 when the terminal, the login\n"
         "  or the file failed.\n",
         showConfiguration, Startup::MainDialog},
        {"config", "set", "[--group N] [-a] config set TERMINAL KEY=VALUE... [--password P] [--yes]",
         setHelp.c_str(), setConfiguration, Startup::MainDialog},
        {"config", "put", "[--group N] [-a] config put TERMINAL FILE.cfg [--password P] [--yes]",
         "  Restores a saved configuration block as the Setup editor's load-file button\n"
         "  and OK do: the file (of any block version or byte order) is loaded onto the\n"
         "  pages, checked by them and written in the terminal's version, then the\n"
         "  terminal is reset and waited for. --yes and the exit codes as config set.\n",
         putConfiguration, Startup::MainDialog},
    };
}

} // namespace kestrix::cli
