// kestrix-cli tcl: the window's TCL console from the command line. It starts
// the main window's logic with a console view and plays the user: selects the
// terminal, presses the TCL button (whose checks and TCL login are the
// window's own), then sends the statements, downloads the file and sets the
// clock in the console, and leaves it once the terminal has been quiet.
#include "cli_arguments.h"
#include "cli_common.h"
#include "console_view.h"

#include "config/login_for_tcl.h"
#include "platform/file_replacement.h"
#include "tcl_console/terminal_tcl.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace kestrix::cli {

namespace {

using Clock = std::chrono::steady_clock;
constexpr long kLongestQuiet = 3600 * 1000;
constexpr auto kPollPeriod = std::chrono::milliseconds(CTerminalTCL::kPollPeriodMilliseconds);

// Standard input line by line, read without stdio's buffer so that a wait for
// the next line can end at the console's next poll.
class InputLines {
public:
    enum class Result { Line, Waited, End };

    // The next line (without its line end), Waited when none was complete
    // within the wait, End after the last line.
    Result next(std::chrono::milliseconds wait, std::string& line) {
        if (const std::size_t end = buffer_.find('\n'); end != std::string::npos) {
            line = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return Result::Line;
        }
        if (ended_) {
            if (buffer_.empty())
                return Result::End;
            line = std::exchange(buffer_, {});
            return Result::Line;
        }
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&input, 1, static_cast<int>(wait.count()));
        if (ready == 0 || (ready < 0 && errno == EINTR))
            return Result::Waited;
        char chunk[4096];
        const ssize_t count = ready < 0 ? -1 : ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR)
            return Result::Waited;
        if (count <= 0)
            ended_ = true;
        else
            buffer_.append(chunk, static_cast<std::size_t>(count));
        return next(std::chrono::milliseconds(0), line);
    }

private:
    std::string buffer_;
    bool ended_ = false;
};

// One run of the console: what the user would do in it, in the order of the
// command line. The poll timer is this loop: OnTimer every second while it
// waits, so that the end of the connection shows as in the window.
class TclSession {
public:
    TclSession(ConsoleWindow& window, CTerminalTCL& console, const TclArguments& arguments)
        : window_(window), console_(console), arguments_(arguments) {}

    // True when everything was sent.
    bool run() {
        const int failures = window_.messageBoxes.failuresShown();
        const auto sentWell = [&] { return window_.messageBoxes.failuresShown() == failures; };
        for (const std::string& statement : arguments_.statements) {
            console_.OnButtonSend(statement);
            if (!sentWell())
                return false;
        }
        if (arguments_.file && !console_.Download(*arguments_.file).completed)
            return false;
        if (arguments_.setTime) {
            // The clock is read back: its answer shows what the terminal took.
            window_.messageBoxes.setYesNoAnswer(MessageAnswer::Yes);
            console_.OnButtonDateTime();
            window_.messageBoxes.setYesNoAnswer(std::nullopt);
        }
        bool allRead = true;
        if (arguments_.statements.empty() && !arguments_.file && !arguments_.setTime)
            allRead = sendStandardInput();
        waitUntilQuiet();
        if (console_.connected()) {
            // The program's own end of the connection needs no box.
            console_.detachView();
            console_.Quit();
        }
        return allRead && sentWell();
    }

private:
    void pollWhenDue() {
        if (Clock::now() < nextPoll_)
            return;
        console_.OnTimer(CTerminalTCL::kPollTimerId);
        nextPoll_ = Clock::now() + kPollPeriod;
    }

    // False when a line was refused or the connection ended before the input did.
    bool sendStandardInput() {
        InputLines input;
        bool allSent = true;
        std::string line;
        while (console_.connected()) {
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nextPoll_ - Clock::now());
            switch (input.next(std::max(wait, std::chrono::milliseconds(0)), line)) {
            case InputLines::Result::End:
                return allSent;
            case InputLines::Result::Line: {
                const std::string statement = tclStatement(line);
                if (statement.size() > CTerminalTCL::kStatementLimit) {
                    fail(arguments_.terminal + ": a statement has at most " +
                         std::to_string(CTerminalTCL::kStatementLimit) + " characters; not sent: '" +
                         echoed(line) + "'");
                    allSent = false;
                } else {
                    console_.OnButtonSend(statement);
                }
                break;
            }
            case InputLines::Result::Waited:
                break;
            }
            pollWhenDue();
        }
        return false;
    }

    void waitUntilQuiet() {
        const auto quiet = std::chrono::milliseconds(arguments_.quietMilliseconds);
        const auto lastSent = Clock::now();
        while (console_.connected()) {
            const auto quietSince = std::max(lastSent, window_.view.tclView().lastOutput());
            if (Clock::now() >= quietSince + quiet)
                return;
            std::this_thread::sleep_until(std::min(quietSince + quiet, nextPoll_));
            pollWhenDue();
        }
    }

    ConsoleWindow& window_;
    CTerminalTCL& console_;
    const TclArguments& arguments_;
    Clock::time_point nextPoll_ = Clock::now() + kPollPeriod;
};

int openTclConsole(const Invocation& invocation) {
    TclArguments arguments;
    if (const std::string error = readTclArguments(invocation.arguments, arguments); !error.empty())
        return usageError(invocation, error);
    if (arguments.file)
        if (const std::string refusal = checkRegularInput(*arguments.file); !refusal.empty())
            return fail(refusal);
    ConsoleWindow window(invocation);
    if (!window.startWithTerminal(invocation, arguments.terminal))
        return kExitFailure;
    bool loginRun = false;
    window.view.onTclLogin = [&](CLoginForTCL& login) {
        loginRun = true;
        if (!arguments.keyText && !arguments.password) {
            login.OnCancel();
            fail(arguments.terminal + ": the terminal encrypts its TCL connection: give --key-text T (the "
                                      "text the key was made from) or --password P (a setup password of grade "
                                      "2 or 3)");
            return false;
        }
        return login.OnOK(arguments.keyText.value_or(""), arguments.password.value_or(""));
    };
    window.dialog.OnButtonTcl();
    CTerminalTCL* console = window.view.tclConsole();
    if (console == nullptr)
        return kExitFailure; // refused or the login failed: shown
    if (!loginRun && (arguments.keyText || arguments.password))
        std::fprintf(stderr, "kestrix-cli: %s: the terminal's TCL connection is not encrypted: %s ignored\n",
                     arguments.terminal.c_str(), arguments.keyText ? "--key-text" : "--password");
    const bool allSent = console->connected() && TclSession(window, *console, arguments).run();
    window.dialog.ShowIdleWindow();
    return allSent ? kExitSuccess : kExitFailure;
}

} // namespace

std::string tclStatement(const std::string& word) {
    std::string statement;
    for (std::size_t index = 0; index < word.size(); ++index) {
        const char next = index + 1 < word.size() ? word[index + 1] : '\0';
        if (word[index] == '\\' && (next == 'e' || next == '\\')) {
            statement += next == 'e' ? '\x1b' : '\\';
            ++index;
        } else {
            statement += word[index];
        }
    }
    return statement;
}

std::string readTclArguments(const std::vector<std::string>& words, TclArguments& arguments) {
    WordReader reader(words);
    std::vector<std::string> operands;
    while (!reader.done()) {
        const std::string& word = reader.next();
        if (word == "--set-time") {
            arguments.setTime = true;
        } else if (word == "--key-text" || word == "--password" || word == "--file" || word == "--quiet-ms") {
            const std::optional<std::string> value = reader.value();
            if (!value)
                return word + " needs a value";
            long milliseconds = 0;
            if (word == "--key-text")
                arguments.keyText = value;
            else if (word == "--password")
                arguments.password = value;
            else if (word == "--file")
                arguments.file = value;
            else if (!optionNumber(*value, 0, kLongestQuiet, milliseconds))
                return "--quiet-ms takes milliseconds from 0 to " + std::to_string(kLongestQuiet);
            else
                arguments.quietMilliseconds = static_cast<int>(milliseconds);
        } else if (word.starts_with("-")) {
            return "unknown option " + echoed(word);
        } else {
            operands.push_back(word);
        }
    }
    if (operands.empty())
        return "tcl needs a TERMINAL";
    if (arguments.keyText && arguments.password)
        return "give --key-text or --password, not both";
    arguments.terminal = operands.front();
    for (auto word = operands.begin() + 1; word != operands.end(); ++word) {
        arguments.statements.push_back(tclStatement(*word));
        if (arguments.statements.back().size() > CTerminalTCL::kStatementLimit)
            return "a STATEMENT has at most " + std::to_string(CTerminalTCL::kStatementLimit) +
                   " characters, as in the console's statement box: '" + echoed(*word) + "'";
    }
    return {};
}

std::vector<Subcommand> tclSubcommands() {
    return {
        {"tcl", nullptr,
         "[--group N] [-a] tcl TERMINAL [--key-text T | --password P] [--set-time] [--file F.tcl] "
         "[--quiet-ms MS] [STATEMENT...]",
         "  Opens the TCL console of the terminal (an address, a DNS name, \"SN;IP;DNS\" or\n"
         "  \"SN;;\") as the window's TCL button does: the terminal must run its\n"
         "  application, wait for its host (passive TCL connection) and have no other\n"
         "  host online. A terminal that encrypts its TCL traffic needs the key: the\n"
         "  text it was made from (--key-text T), or a setup password of grade 2 or 3\n"
         "  (--password P), proved against the terminal's configuration block, which\n"
         "  holds the key. Then it sends each STATEMENT with a carriage return (\\e in a\n"
         "  statement is ESC, \\\\ a backslash; at most 254 characters), the lines of\n"
         "  F.tcl (empty lines and lines beginning with \"*\" left out) and with\n"
         "  --set-time the PC's date and time, which it reads back. Without STATEMENT,\n"
         "  --file and --set-time it sends the lines of standard input. Every line the\n"
         "  terminal sends is printed on standard output as it arrives; once the\n"
         "  terminal has been quiet for MS milliseconds (default 1000) after the last\n"
         "  statement, the connection ends. Exit code 0 when it connected and sent\n"
         "  everything, 1 otherwise, 2 for a wrong command line.\n",
         openTclConsole, Startup::MainDialog},
    };
}

} // namespace kestrix::cli
