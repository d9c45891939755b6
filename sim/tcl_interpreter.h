#pragma once

#include "sim/terminal_config.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix::sim {

// The longest statement the terminal takes: one that grows longer without its
// carriage return is cut off and answered with the error line.
inline constexpr std::size_t kMaxTclStatementBytes = 4096;

// What the terminal does with the connection after a statement.
enum class TclConnection { KeepOpen, Close };

// The terminal's answer to one statement: the lines it sends (without their
// line ends), in order, and whether it closes the connection.
struct TclAnswer {
    std::vector<std::string> lines;
    TclConnection connection = TclConnection::KeepOpen;
};

// The wall-clock time where the terminal stands (the system clock in the
// local time zone); tests give a fixed one.
using TclClock = std::function<std::chrono::local_seconds()>;

// The small part of a terminal's TCL application that the simulator plays.
// A statement is parts separated by ":" outside single quotes; it knows
//   ISR,<expression> and SR,<expression>: one line with the value;
//   IK,<expression>,<variable> and K,<expression>,<variable>: stores the value;
// where an expression is terms joined by "&": a quoted literal ('' inside is a
// quote) or a variable read whole, as VAR,length, VAR+offset or
// VAR+offset,length (offsets count from 0). The variables KT (date as
// MMDDwYYYY, weekday 0 = Sunday) and UR (time as hh:mm:ss) are the terminal's
// clock: storing them sets it, as an offset from the given clock, so that it
// runs on. SN (serial number) and VS (firmware version) can only be read.
//
// A statement ending in ESC gets the escape line, a statement equal to the
// close-on text closes the connection without an answer, a statement with
// parts it does not know gets the answer line after its values, and a part
// that does not parse (or a value it refuses) gets the error line, which ends
// the statement. Values, variable names and the number of variables are
// limited, so a host cannot make it grow without bound. It reads no socket and
// no system clock: text in, lines out.
class TclInterpreter {
public:
    TclInterpreter(const TerminalConfig& config, TclClock clock);

    // One statement: the text before its carriage return, deciphered. A line
    // feed at its start (the end of a host's CR LF) is left out.
    TclAnswer interpret(std::string_view statement);
    // The answer to a statement cut off at kMaxTclStatementBytes.
    TclAnswer cutOff() const { return {{answers_.error}, TclConnection::KeepOpen}; }

private:
    enum class PartResult { Interpreted, Unknown, Failed };
    class Reader;

    PartResult interpretPart(std::string_view part, std::vector<std::string>& lines);
    std::optional<std::string> expression(Reader& reader) const;
    std::optional<std::string> variableTerm(Reader& reader) const;
    std::optional<std::string> read(const std::string& name) const;
    bool store(const std::string& name, const std::string& value);
    std::chrono::local_seconds terminalTime() const { return now_ + clockOffset_; }

    TclAnswerLines answers_;
    std::string serialNumber_;
    std::string firmwareVersion_;
    TclClock clock_;
    std::chrono::local_seconds now_{}; // the clock, read once per statement
    std::chrono::seconds clockOffset_{0};
    std::map<std::string, std::string, std::less<>> variables_;
};

// Cuts a host's byte stream into statements at carriage returns, across
// reads: a statement may come in pieces, several may come in one read. A
// statement longer than kMaxTclStatementBytes is given as cut off once (its
// first bytes) and the rest of it, up to its carriage return, is dropped.
class TclStatementSplitter {
public:
    enum class Cut { Complete, CutOff };
    struct Statement {
        std::string text;
        Cut cut = Cut::Complete;
    };

    std::vector<Statement> feed(std::span<const std::uint8_t> bytes);

private:
    std::string pending_;
    bool dropping_ = false; // the rest of a cut-off statement
};

} // namespace kestrix::sim
