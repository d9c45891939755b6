// kestrix-cli keyboard get|put: a terminal's keyboard layout file fetched as
// it is, or sent in the form of the terminal's platform group and installed
// by the terminal's restart, as the keyboard editor fetches and sends it. The
// main window's checks before the editor opens apply: no terminal in its
// monitor, no access control manager, no server; a terminal without a matrix
// keyboard gets a file only with --force.
#include "cli_keyboard.h"
#include "cli_arguments.h"

#include "keyboard/keyb_file.h"
#include "keyboard/keyboard_transfer.h"
#include "messages/toolbox_lang.h"
#include "platform/file_replacement.h"
#include "terminal/product_table.h"
#include "terminal/terminal.h"

#include <cstdio>
#include <optional>
#include <unistd.h>

namespace kestrix::cli {
namespace {

// The message of the main window's check that refuses the terminal's keyboard.
std::optional<int> refusedKeyboard(const Terminal& terminal) {
    if (terminal.isMonitorMode())
        return 60;
    if (terminal.TclKind == tcl_kind::Acm)
        return 57;
    if (terminal.TclKind == tcl_kind::Server)
        return 58;
    return std::nullopt;
}

int failForTerminal(const std::string& terminal, const std::string& text) {
    return fail("terminal " + echoed(terminal) + ": " + text);
}

KeybFileForm loadedFormOf(KeybSaveForm form) {
    switch (form) {
    case KeybSaveForm::Xml:
        return KeybFileForm::Xml;
    case KeybSaveForm::Map:
        return KeybFileForm::Map;
    case KeybSaveForm::Com:
        return KeybFileForm::Com;
    case KeybSaveForm::None:
        break;
    }
    return KeybFileForm::None;
}

// What the technician sees while a send runs, on a terminal screen only.
void showStep(KeyboardSendStep step) {
    if (::isatty(STDERR_FILENO) != 1)
        return;
    switch (step) {
    case KeyboardSendStep::Sending:
        std::fprintf(stderr, "sending the keyboard file\n");
        break;
    case KeyboardSendStep::WaitingBeforeReset:
        std::fprintf(stderr, "waiting for the terminal to store it before the reset\n");
        break;
    case KeyboardSendStep::WaitingForStart:
        std::fprintf(stderr, "%s\n", commandLineLanguage().GetText(173).c_str());
        break;
    case KeyboardSendStep::WaitingForInstall:
        std::fprintf(stderr, "waiting for the terminal to install it\n");
        break;
    }
}

struct PutArguments {
    std::string terminal;
    std::string input;
    KeyboardRestart restart = KeyboardRestart::ResetAndWait;
    bool force = false;
};

std::string readPutArguments(const std::vector<std::string>& words, PutArguments& arguments) {
    WordReader reader(words);
    std::vector<std::string> operands;
    while (!reader.done()) {
        const std::string& word = reader.next();
        if (word == "--no-reset")
            arguments.restart = KeyboardRestart::None;
        else if (word == "--force")
            arguments.force = true;
        else if (!word.empty() && word[0] == '-')
            return "unknown option " + word;
        else
            operands.push_back(word);
    }
    if (operands.size() != 2)
        return "keyboard put needs TERMINAL and IN";
    arguments.terminal = operands[0];
    arguments.input = operands[1];
    return {};
}

} // namespace

int keyboardGet(const Invocation& invocation) {
    if (invocation.arguments.size() != 2)
        return usageError(invocation, "keyboard get needs TERMINAL and OUT");
    const std::string& text = invocation.arguments[0];
    const std::string& output = invocation.arguments[1];
    // A refused OUT is known before any packet is sent.
    FileReplacement replacement(output, FileSecrecy::FollowUmask);
    if (!replacement.isOpen())
        return fail(replacement.error());
    return withTerminal(invocation, text, [&](Terminal& terminal) {
        const CToolBoxLang& language = commandLineLanguage();
        if (const std::optional<int> refusal = refusedKeyboard(terminal))
            return failForTerminal(text, language.GetText(*refusal));
        const KeyboardFetch fetch = fetchKeyboardFile(terminal);
        if (fetch.result != KeyboardFetchResult::Fetched)
            return failForTerminal(text, keyboardFetchMessage(language, fetch.result));
        if (!replacement.write(fetch.bytes) || !replacement.commit())
            return fail(replacement.error());
        std::printf("%s: %zu bytes of %s\n", output.c_str(), fetch.bytes.size(),
                    terminal.terminalPath(terminal.KeyboardFile, TerminalPathForm::Read).c_str());
        return kExitSuccess;
    });
}

int keyboardPut(const Invocation& invocation) {
    PutArguments arguments;
    if (const std::string error = readPutArguments(invocation.arguments, arguments); !error.empty())
        return usageError(invocation, error);
    KeybFile file;
    if (const std::optional<int> failed = loadKeyboardFile(arguments.input, file))
        return *failed;
    return withTerminal(invocation, arguments.terminal, [&](Terminal& terminal) {
        const CToolBoxLang& language = commandLineLanguage();
        if (const std::optional<int> refusal = refusedKeyboard(terminal))
            return failForTerminal(arguments.terminal, language.GetText(*refusal));
        if (!arguments.force && !terminal.getKeyboardType())
            return failForTerminal(arguments.terminal,
                                   language.GetText(59) + " --force sends the file all the same.");
        const KeybFileForm form = loadedFormOf(keybSaveFormOfGroup(terminal.PlatformGroup));
        if (form == KeybFileForm::None)
            return failForTerminal(arguments.terminal, "its platform group " +
                                                           std::to_string(terminal.PlatformGroup) +
                                                           " has no keyboard file form");
        std::vector<std::uint8_t> bytes(file.contents().begin(), file.contents().end());
        if (file.loadedForm() != form) {
            const bool xml = file.loadedForm() == KeybFileForm::Xml;
            std::fprintf(stderr,
                         "kestrix-cli: warning: %s is %s %s file; the terminal takes the %s form, into "
                         "which it is converted%s\n",
                         echoed(arguments.input).c_str(), xml ? "an" : "a", keybFormName(file.loadedForm()),
                         keybFormName(form), xml ? " (a validate element is dropped)" : "");
            const std::size_t length = file.SaveKeybFile(terminal.PlatformGroup);
            bytes.assign(file.contents().begin(),
                         file.contents().begin() + static_cast<std::ptrdiff_t>(length));
        }
        const KeyboardSendResult result = sendKeyboardFile(terminal, bytes, arguments.restart, showStep);
        const std::string message = keyboardSendMessage(language, result);
        if (result != KeyboardSendResult::Installed && result != KeyboardSendResult::SentWithoutRestart)
            return failForTerminal(arguments.terminal, message);
        std::printf("%s\n", message.c_str());
        return kExitSuccess;
    });
}

std::vector<Subcommand> keyboardSubcommands() {
    return {
        {"keyboard", "get", "[--group N] [-a] keyboard get TERMINAL OUT",
         "  Fetches the keyboard layout file of TERMINAL (an address, a DNS name or\n"
         "  \"SN;;\") into OUT as the terminal holds it: the keyboard driver (COM) on a\n"
         "  TALMO 7000, 7400 or DCU8, the XML file on a 7460, 7660 or DCU40, KEYB.MAP on\n"
         "  the others.\n",
         keyboardGet},
        {"keyboard", "put", "[--group N] [-a] keyboard put TERMINAL IN [--no-reset] [--force]",
         "  Sends the keyboard layout file IN (XML, MAP or COM) to TERMINAL, converted\n"
         "  into the form the terminal takes when it is another, then resets the\n"
         "  terminal and waits until it answers again (a 7460, 7660 or DCU40 installs\n"
         "  the file by itself: 25 s are waited). --no-reset sends only. A terminal\n"
         "  without a matrix keyboard gets the file only with --force. A file sent whose\n"
         "  reset or wait failed ends with exit code 1 and says so.\n",
         keyboardPut},
        {"keyboard", "convert", "keyboard convert IN OUT --format xml|map|com",
         "  Converts the keyboard layout file IN (XML, MAP or COM) into OUT in the\n"
         "  form given.\n",
         keyboardConvert, Startup::Offline},
        {"keyboard", "show", "keyboard show FILE",
         "  Prints the layout of a keyboard layout file as an 8 x 8 grid, top row\n"
         "  first, then its form and whether an XML file is verified.\n",
         keyboardShow, Startup::Offline},
    };
}

} // namespace kestrix::cli
