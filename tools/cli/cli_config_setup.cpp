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
#include "platform/ip_address.h"
#include "protocol/t7000ip_key.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix::cli {
namespace {

enum class SetupKey {
    Address,
    Mask,
    Router,
    DhcpName,
    IpStack,
    HostAddress,
    HostPort,
    Group,
    GmtOffset,
    Summer,
    SummerStart,
    SummerEnd,
    Password1,
    Password2,
    Password3,
    HostEncrypt,
    HostKeyText,
};

struct KeyEntry {
    std::string_view name;
    SetupKey key;
    std::string_view values; // what config set --help says of its values
};

constexpr std::array<KeyEntry, 17> kKeys = {{
    {"address", SetupKey::Address, "the IPv4 address, dotted"},
    {"mask", SetupKey::Mask, "the IPv4 net mask, dotted"},
    {"router", SetupKey::Router, "the IPv4 router, dotted"},
    {"dhcp-name", SetupKey::DhcpName, "DHCP host name: letters, digits, '-', up to 19 (block 6.00 on)"},
    {"ip-stack", SetupKey::IpStack, "ipv4, dual or ipv6 (block 6.10 on)"},
    {"host-address", SetupKey::HostAddress, "the host of channel A: an IPv4 or IPv6 address"},
    {"host-port", SetupKey::HostPort, "its TCP port, 1-65535 (80 and empty: warned; empty is 3001)"},
    {"group", SetupKey::Group, "the new maintenance group, 0-65535 (grade 3)"},
    {"gmt-offset", SetupKey::GmtOffset, "minutes east of Greenwich in whole hours, -840 to 840"},
    {"summer", SetupKey::Summer, "automatic summer time: auto or off"},
    {"summer-start", SetupKey::SummerStart, "YYYY-MM-DD/HH or a POSIX rule such as M3.5.0/2"},
    {"summer-end", SetupKey::SummerEnd, "YYYY-MM-DD/HH or a POSIX rule such as M10.5.0/3"},
    {"password1", SetupKey::Password1, "setup password of grade 1: 6 characters"},
    {"password2", SetupKey::Password2, "setup password of grade 2: 8 characters (grade 2 or 3)"},
    {"password3", SetupKey::Password3, "setup password of grade 3: 8 characters (grade 3)"},
    {"host-encrypt", SetupKey::HostEncrypt, "encryption of the host interface: on or off (grade 3)"},
    {"host-key-text", SetupKey::HostKeyText, "the text the host key is made of (grade 3)"},
}};

struct Setting {
    const KeyEntry* entry;
    std::string value;
};

// Whether the whole text is a number from minimum to maximum (a sign allowed).
bool wholeNumber(const std::string& text, long minimum, long maximum, long& value) {
    const bool negative = text.starts_with("-");
    const std::string digits = negative || text.starts_with("+") ? text.substr(1) : text;
    if (!optionNumber(digits, 0, std::max(-minimum, maximum), value))
        return false;
    value = negative ? -value : value;
    return value >= minimum && value <= maximum;
}

// A calendar point "YYYY-MM-DD/HH" of a real date and an hour 0-23.
std::optional<SummerTimePoint> calendarPoint(const std::string& text) {
    long year = 0, month = 0, day = 0, hour = 0;
    if (text.size() != 13 || text[4] != '-' || text[7] != '-' || text[10] != '/' ||
        !optionNumber(text.substr(0, 4), 1970, 2099, year) ||
        !optionNumber(text.substr(5, 2), 1, 12, month) || !optionNumber(text.substr(8, 2), 1, 31, day) ||
        !optionNumber(text.substr(11, 2), 0, 23, hour))
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year{static_cast<int>(year)},
                                           std::chrono::month{static_cast<unsigned>(month)},
                                           std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok())
        return std::nullopt;
    return SummerTimePoint{SummerTimeForm::Calendar, date, static_cast<int>(hour), {}};
}

// Why a value is malformed for its key; empty when it is not. The pages'
// own rules (a DHCP name's characters, a password's length, a POSIX rule's
// numbers) are the pages' to check.
std::string malformed(const Setting& setting) {
    const std::string& value = setting.value;
    long number = 0;
    switch (setting.entry->key) {
    case SetupKey::Address:
    case SetupKey::Mask:
    case SetupKey::Router: {
        const std::optional<Ip6Address> address = addressFromText(value);
        return address && address->isIPv4Mapped() && value.find(':') == std::string::npos ? ""
                                                                                          : "an IPv4 address";
    }
    case SetupKey::DhcpName:
        return value.size() <= NetworkPage::kDhcpHostNameLimit ? "" : "at most 19 characters";
    case SetupKey::IpStack:
        return value == "ipv4" || value == "dual" || value == "ipv6" ? "" : "ipv4, dual or ipv6";
    case SetupKey::HostAddress: {
        const bool bracketed = value.starts_with("[") && value.ends_with("]");
        const std::string inner = bracketed ? value.substr(1, value.size() - 2) : value;
        return addressFromText(inner) ? "" : "an IPv4 or IPv6 address";
    }
    case SetupKey::HostPort:
        return value.empty() || optionNumber(value, 1, 65535, number) ? "" : "a port from 1 to 65535";
    case SetupKey::Group:
        return CT7000ipKey::parseGroup(value) ? "" : "a number from 0 to 65535";
    case SetupKey::GmtOffset:
        return wholeNumber(value, -840, 840, number) && number % 60 == 0
                   ? ""
                   : "minutes east of Greenwich in whole hours, from -840 to 840";
    case SetupKey::Summer:
        return value == "auto" || value == "off" ? "" : "auto or off";
    case SetupKey::SummerStart:
    case SetupKey::SummerEnd:
        if (calendarPoint(value) ||
            (value.starts_with("M") && value.size() <= SetupSummerTime::kPosixRuleLimit))
            return "";
        return "YYYY-MM-DD/HH or a POSIX rule Mm.w.d[/h]";
    case SetupKey::HostEncrypt:
        return value == "on" || value == "off" ? "" : "on or off";
    case SetupKey::Password1:
    case SetupKey::Password2:
    case SetupKey::Password3:
    case SetupKey::HostKeyText:
        return "";
    }
    return "";
}

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
        const auto entry = std::find_if(kKeys.begin(), kKeys.end(),
                                        [&](const KeyEntry& known) { return known.name == key; });
        if (equals == std::string::npos)
            return "'" + echoed(*operand) + "' is no KEY=VALUE";
        if (entry == kKeys.end())
            return "unknown key '" + echoed(key) + "' (config set --help lists the keys)";
        const Setting setting{&*entry, operand->substr(equals + 1)};
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

std::string setupKeysHelp() {
    std::string text = "  Keys:\n";
    for (const KeyEntry& entry : kKeys) {
        char line[160];
        std::snprintf(line, sizeof line, "    %-15s%s\n", std::string(entry.name).c_str(),
                      std::string(entry.values).c_str());
        text += line;
    }
    return text;
}

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
