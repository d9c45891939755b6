// kestrix-cli reset|setip: the main window's Reset and IPv4 Setup buttons from
// the command line. Each subcommand starts the main window's logic
// (CToolBoxDlg) with a console view and plays the user of the window: it
// selects the terminal, presses the button, answers the setup login with the
// password given and presses OK in the dialog, so the checks, the login and
// the procedure are the window's own.
#include "cli_arguments.h"
#include "cli_common.h"
#include "console_view.h"

#include "address_reset/reset_exe.h"
#include "address_reset/set_ip_address.h"
#include "config/login_for_setup.h"
#include "mainwindow/main_dialog.h"
#include "protocol/t7000ip.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix::cli {
namespace {

struct ModeName {
    std::string_view name;
    ResetMode mode;
};
constexpr std::array<ModeName, 5> kModeNames = {{
    {"warm", ResetMode::Warm},
    {"cold", ResetMode::Cold},
    {"restart", ResetMode::Restart},
    {"comm", ResetMode::Communication},
    {"ice", ResetMode::IceCold},
}};

std::string_view modeName(ResetMode mode) {
    for (const ModeName& entry : kModeNames)
        if (entry.mode == mode)
            return entry.name;
    return "?";
}

struct ResetArguments {
    std::string terminal;
    ResetMode mode = ResetMode::Warm;
    ResetBoot boot = ResetBoot::Application;
    std::string password; // empty when not given
};

struct SetIPArguments {
    std::string serialNumber;
    std::optional<std::string> address;
    std::optional<std::string> mask;
    std::optional<std::string> gateway;
    std::optional<std::string> group;
};

std::string readResetArguments(const std::vector<std::string>& words, ResetArguments& arguments) {
    WordReader reader(words);
    std::vector<std::string> operands;
    while (!reader.done()) {
        const std::string& word = reader.next();
        if (word == "--mode") {
            const std::optional<std::string> name = reader.value();
            const auto found = std::find_if(kModeNames.begin(), kModeNames.end(),
                                            [&](const ModeName& entry) { return name && entry.name == *name; });
            if (found == kModeNames.end())
                return "--mode takes warm, cold, restart, comm or ice";
            arguments.mode = found->mode;
        } else if (word == "--sysboot") {
            arguments.boot = ResetBoot::System;
        } else if (word == "--password") {
            const std::optional<std::string> password = reader.value();
            if (!password)
                return "--password needs a value";
            arguments.password = *password;
        } else if (!word.empty() && word[0] == '-') {
            return "unknown option " + word;
        } else {
            operands.push_back(word);
        }
    }
    if (operands.size() != 1)
        return "reset needs one TERMINAL";
    arguments.terminal = operands.front();
    return {};
}

std::string readSetIPArguments(const std::vector<std::string>& words, SetIPArguments& arguments) {
    WordReader reader(words);
    std::vector<std::string> operands;
    const std::array<std::pair<std::string_view, std::optional<std::string>*>, 4> options = {{
        {"--addr", &arguments.address},
        {"--mask", &arguments.mask},
        {"--gateway", &arguments.gateway},
        {"--group", &arguments.group},
    }};
    while (!reader.done()) {
        const std::string& word = reader.next();
        const auto option = std::find_if(options.begin(), options.end(),
                                         [&](const auto& entry) { return entry.first == word; });
        if (option != options.end()) {
            *option->second = reader.value();
            if (!*option->second)
                return word + " needs a value";
        } else if (!word.empty() && word[0] == '-') {
            return "unknown option " + word;
        } else {
            operands.push_back(word);
        }
    }
    if (operands.size() != 1)
        return "setip needs one SERIAL";
    if (!arguments.address || !arguments.mask || !arguments.gateway)
        return "setip needs --addr, --mask and --gateway";
    arguments.serialNumber = operands.front();
    if (arguments.serialNumber.size() > CSetIPAddress::kSerialNumberLimit)
        return "a SERIAL has at most 19 characters, as in the dialog's field";
    if (arguments.group && arguments.group->size() > CSetIPAddress::kGroupLimit)
        return "--group takes at most 5 characters, as in the dialog's field";
    return {};
}

// The four fields of an IP address control from a dotted text: a part that
// is empty or not a number from 0 to 255 leaves its field empty, as the
// control would, and a text of other than four parts leaves all empty; the
// dialog's check then names the address.
Ipv4Fields fieldsOf(const std::string& text) {
    std::vector<std::string> parts(1);
    for (char character : text) {
        if (character == '.')
            parts.emplace_back();
        else
            parts.back() += character;
    }
    Ipv4Fields fields;
    if (parts.size() != fields.size())
        return fields;
    for (std::size_t index = 0; index < fields.size(); ++index) {
        const std::string& part = parts[index];
        if (!part.empty() && part.size() <= 3 && part.find_first_not_of("0123456789") == std::string::npos &&
            std::stoi(part) <= 255)
            fields[index] = static_cast<std::uint8_t>(std::stoi(part));
    }
    return fields;
}

std::string offeredModes(const ResetExe& reset) {
    std::string text;
    for (const ResetModeControl& control : reset.modes())
        if (control.enabled && control.visible)
            text += (text.empty() ? "" : ", ") + std::string(modeName(control.mode));
    if (reset.forceRebootVisible())
        text += " (with or without --sysboot)";
    return text;
}

int resetTerminal(const Invocation& invocation) {
    ResetArguments arguments;
    if (const std::string error = readResetArguments(invocation.arguments, arguments); !error.empty())
        return usageError(invocation, error);
    ConsoleWindow window(invocation);
    if (!window.startWithTerminal(invocation, arguments.terminal))
        return kExitFailure;
    window.view.onSetupLogin = [&](CLoginForSetup& login) { return loginWithPassword(login, arguments.password); };
    window.dialog.OnButtonReset();
    ResetExe* reset = window.view.resetDialog();
    if (reset == nullptr)
        return kExitFailure; // the block, the login or the dialog failed; shown or traced
    if (!reset->offers(arguments.mode) || (arguments.boot == ResetBoot::System && !reset->forceRebootVisible())) {
        const std::string refusal = std::string("--mode ") + std::string(modeName(arguments.mode)) +
                                    (arguments.boot == ResetBoot::System ? " --sysboot" : "") +
                                    " is not offered for this terminal and grade; offered: " + offeredModes(*reset);
        window.dialog.ShowIdleWindow();
        return fail(refusal);
    }
    ResetOutcome outcome = ResetOutcome::NotRun;
    {
        const WaitTicker ticker("waiting for " + arguments.terminal + " to come back");
        outcome = reset->OnOK(arguments.mode, arguments.boot);
    }
    window.dialog.ShowIdleWindow();
    return outcome == ResetOutcome::Executed ? kExitSuccess : kExitFailure;
}

int setIPAddress(const Invocation& invocation) {
    SetIPArguments arguments;
    if (const std::string error = readSetIPArguments(invocation.arguments, arguments); !error.empty())
        return usageError(invocation, error);
    ConsoleWindow window(invocation);
    if (!window.start(invocation))
        return kExitFailure;
    window.messageBoxes.setSubject(arguments.serialNumber);
    window.dialog.OnButtonSetipa();
    CSetIPAddress* setIP = window.view.setIPAddressDialog();
    if (setIP == nullptr)
        return kExitFailure;
    const SetIPAddressInput input{arguments.serialNumber, fieldsOf(*arguments.address), fieldsOf(*arguments.mask),
                                  fieldsOf(*arguments.gateway), arguments.group.value_or(setIP->groupText())};
    if (!setIP->checkInput(input)) {
        window.dialog.ShowIdleWindow();
        return kExitUsage; // the message names the field
    }
    SetIPAddressOutcome outcome = SetIPAddressOutcome::NotFound;
    {
        const WaitTicker ticker("setting the address of " + arguments.serialNumber);
        outcome = setIP->OnOK();
    }
    window.dialog.ShowIdleWindow();
    window.progress.clear();
    if (outcome != SetIPAddressOutcome::Added)
        return kExitFailure;
    printRows(window.view.rows(), window.dialog.language());
    return kExitSuccess;
}

} // namespace

std::vector<Subcommand> actionSubcommands() {
    return {
        {"reset", nullptr, "[--group N] [-a] reset TERMINAL [--mode warm|cold|restart|comm|ice] [--sysboot] "
                           "[--password P]",
         "  Restarts the terminal (an address, a DNS name, \"SN;IP;DNS\" or \"SN;;\") as the\n"
         "  window's Reset button does: its configuration block is fetched, from block\n"
         "  version 5.50 on the setup login must accept --password P (tried against the\n"
         "  access grades the login offers, highest first; without it an empty entry),\n"
         "  and the start-up mode must be one the dialog offers for the terminal and the\n"
         "  grade (default warm; --sysboot only for terminals that boot their system).\n"
         "  Waits until the terminal answers again (up to a few minutes), with a line\n"
         "  on standard error every few seconds. Exit code 0 when it came back, 1 when\n"
         "  it was not found, refused, not reset or did not come back, 2 for a wrong\n"
         "  command line.\n",
         resetTerminal, Startup::MainDialog},
        {"setip", nullptr, "[--group N] setip SERIAL --addr A --mask M --gateway G [--group N]",
         "  Gives the terminal with serial number SERIAL, which cannot be reached at its\n"
         "  current IPv4 address, the address A, net mask M and gateway G, as the\n"
         "  window's IPv4 Setup does: by broadcasts on every LAN interface, with the\n"
         "  maintenance group N after setip (default: the one in force, --group before\n"
         "  setip), then restarts it and searches it at its new address. Prints the\n"
         "  terminal as search does once it is found and listed. Exit code 0 then; 1\n"
         "  when it answers at its current address, refuses the parameters or is not\n"
         "  found; 2 for a wrong command line, serial number, address or group.\n",
         setIPAddress, Startup::MainDialog, OwnGroupOption::Yes},
    };
}

} // namespace kestrix::cli
