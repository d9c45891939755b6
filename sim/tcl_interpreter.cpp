#include "sim/tcl_interpreter.h"

#include <cctype>
#include <cstdio>

namespace kestrix::sim {
namespace {

using namespace std::chrono;

constexpr std::size_t kMaxValueBytes = 1024;
constexpr std::size_t kMaxVariables = 64;
constexpr std::size_t kMaxNameLength = 16;
constexpr std::size_t kMaxNumberDigits = 4;
constexpr char kEscape = 27;

bool isDigit(char character) {
    return character >= '0' && character <= '9';
}

// The statement's parts at ":" outside single quotes (empty parts left out);
// nothing when a quote is not closed.
std::optional<std::vector<std::string_view>> splitParts(std::string_view statement) {
    std::vector<std::string_view> parts;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= statement.size(); ++at) {
        if (at < statement.size() && statement[at] == '\'')
            quoted = !quoted;
        if (at == statement.size() || (statement[at] == ':' && !quoted)) {
            if (at > start)
                parts.push_back(statement.substr(start, at - start));
            start = at + 1;
        }
    }
    if (quoted)
        return std::nullopt;
    return parts;
}

// A number of exactly `digits` digits from text at `at`.
std::optional<int> digitsAt(std::string_view text, std::size_t at, std::size_t digits) {
    int value = 0;
    for (std::size_t index = at; index < at + digits; ++index) {
        if (index >= text.size() || !isDigit(text[index]))
            return std::nullopt;
        value = value * 10 + (text[index] - '0');
    }
    return value;
}

// The date as the terminal writes it: MMDDwYYYY.
std::string dateText(local_seconds time) {
    const local_days day = floor<days>(time);
    const year_month_day date(day);
    char text[16];
    std::snprintf(text, sizeof text, "%02u%02u%u%04d", static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), weekday(day).c_encoding(),
                  static_cast<int>(date.year()));
    return text;
}

std::string timeText(local_seconds time) {
    const hh_mm_ss clock(time - floor<days>(time));
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()), static_cast<int>(clock.seconds().count()));
    return text;
}

// MMDDwYYYY with a weekday digit 0-6 (the terminal works the weekday out
// itself) and a date that exists.
std::optional<local_days> parseDate(std::string_view text) {
    if (text.size() != 9)
        return std::nullopt;
    auto month = digitsAt(text, 0, 2), day = digitsAt(text, 2, 2), weekdayDigit = digitsAt(text, 4, 1),
         year = digitsAt(text, 5, 4);
    if (!month || !day || !weekdayDigit || !year || *weekdayDigit > 6)
        return std::nullopt;
    const year_month_day date{std::chrono::year(*year), std::chrono::month(static_cast<unsigned>(*month)),
                              std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok())
        return std::nullopt;
    return local_days(date);
}

// hh:mm:ss as the time of day.
std::optional<seconds> parseTime(std::string_view text) {
    if (text.size() != 8 || text[2] != ':' || text[5] != ':')
        return std::nullopt;
    auto hour = digitsAt(text, 0, 2), minute = digitsAt(text, 3, 2), second = digitsAt(text, 6, 2);
    if (!hour || !minute || !second || *hour > 23 || *minute > 59 || *second > 59)
        return std::nullopt;
    return hours(*hour) + minutes(*minute) + seconds(*second);
}

} // namespace

// A cursor over one part of a statement.
class TclInterpreter::Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool atEnd() const { return at_ == text_.size(); }
    char peek(std::size_t ahead = 0) const { return at_ + ahead < text_.size() ? text_[at_ + ahead] : '\0'; }
    bool take(char character) {
        if (peek() != character)
            return false;
        ++at_;
        return true;
    }

    // 'text' with '' for a quote inside.
    std::optional<std::string> quoted() {
        if (!take('\''))
            return std::nullopt;
        std::string value;
        for (;;) {
            if (atEnd())
                return std::nullopt;
            char character = text_[at_++];
            if (character == '\'') {
                if (!take('\''))
                    return value;
            }
            value += character;
        }
    }

    // A variable name: a letter, then letters, digits or "_".
    std::optional<std::string> name() {
        const std::size_t start = at_;
        if (!std::isalpha(static_cast<unsigned char>(peek())))
            return std::nullopt;
        while (std::isalnum(static_cast<unsigned char>(peek())) || peek() == '_')
            ++at_;
        if (at_ - start > kMaxNameLength)
            return std::nullopt;
        return std::string(text_.substr(start, at_ - start));
    }

    std::optional<std::size_t> number() {
        std::size_t value = 0, digits = 0;
        for (; isDigit(peek()) && digits <= kMaxNumberDigits; ++digits)
            value = value * 10 + static_cast<std::size_t>(text_[at_++] - '0');
        if (digits == 0 || digits > kMaxNumberDigits)
            return std::nullopt;
        return value;
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

TclInterpreter::TclInterpreter(const TerminalConfig& config, TclClock clock)
    : answers_(config.tclAnswers), serialNumber_(config.serialNumber),
      firmwareVersion_(config.firmwareVersion), clock_(std::move(clock)) {}

TclAnswer TclInterpreter::interpret(std::string_view statement) {
    if (statement.starts_with('\n'))
        statement.remove_prefix(1);
    if (!answers_.closeOn.empty() && statement == answers_.closeOn)
        return {{}, TclConnection::Close};
    if (statement.ends_with(kEscape))
        return {{answers_.escape}, TclConnection::KeepOpen};
    TclAnswer answer;
    auto parts = splitParts(statement);
    if (!parts)
        return {{answers_.error}, TclConnection::KeepOpen};
    now_ = clock_();
    bool unknown = false;
    for (std::string_view part : *parts) {
        switch (interpretPart(part, answer.lines)) {
        case PartResult::Interpreted:
            break;
        case PartResult::Unknown:
            unknown = true;
            break;
        case PartResult::Failed:
            answer.lines.push_back(answers_.error);
            return answer;
        }
    }
    if (unknown)
        answer.lines.push_back(answers_.answer);
    return answer;
}

TclInterpreter::PartResult TclInterpreter::interpretPart(std::string_view part,
                                                         std::vector<std::string>& lines) {
    const std::string_view command = part.substr(0, part.find(','));
    const bool output = command == "ISR" || command == "SR";
    const bool storing = command == "IK" || command == "K";
    if (!output && !storing)
        return PartResult::Unknown;
    Reader reader(part.substr(command.size()));
    if (!reader.take(','))
        return PartResult::Failed;
    auto value = expression(reader);
    if (!value)
        return PartResult::Failed;
    if (output) {
        if (!reader.atEnd())
            return PartResult::Failed;
        lines.push_back(std::move(*value));
        return PartResult::Interpreted;
    }
    if (!reader.take(','))
        return PartResult::Failed;
    auto name = reader.name();
    if (!name || !reader.atEnd() || !store(*name, *value))
        return PartResult::Failed;
    return PartResult::Interpreted;
}

std::optional<std::string> TclInterpreter::expression(Reader& reader) const {
    std::string value;
    do {
        auto term = reader.peek() == '\'' ? reader.quoted() : variableTerm(reader);
        if (!term)
            return std::nullopt;
        value += *term;
        if (value.size() > kMaxValueBytes)
            return std::nullopt;
    } while (reader.take('&'));
    return value;
}

std::optional<std::string> TclInterpreter::variableTerm(Reader& reader) const {
    auto name = reader.name();
    if (!name)
        return std::nullopt;
    auto value = read(*name);
    if (!value)
        return std::nullopt;
    std::size_t offset = 0;
    if (reader.take('+')) {
        auto number = reader.number();
        if (!number)
            return std::nullopt;
        offset = *number;
    }
    std::size_t length = std::string::npos;
    // "," and digits is a length; "," and a name is the variable a K stores into.
    if (reader.peek() == ',' && isDigit(reader.peek(1))) {
        reader.take(',');
        auto number = reader.number();
        if (!number)
            return std::nullopt;
        length = *number;
    }
    return offset < value->size() ? value->substr(offset, length) : std::string();
}

std::optional<std::string> TclInterpreter::read(const std::string& name) const {
    if (name == "KT")
        return dateText(terminalTime());
    if (name == "UR")
        return timeText(terminalTime());
    if (name == "SN")
        return serialNumber_;
    if (name == "VS")
        return firmwareVersion_;
    auto variable = variables_.find(name);
    if (variable == variables_.end())
        return std::nullopt;
    return variable->second;
}

bool TclInterpreter::store(const std::string& name, const std::string& value) {
    const local_seconds current = terminalTime();
    if (name == "KT") {
        auto date = parseDate(value);
        if (!date)
            return false;
        clockOffset_ = *date + (current - floor<days>(current)) - now_;
        return true;
    }
    if (name == "UR") {
        auto time = parseTime(value);
        if (!time)
            return false;
        clockOffset_ = floor<days>(current) + *time - now_;
        return true;
    }
    if (name == "SN" || name == "VS")
        return false;
    if (!variables_.contains(name) && variables_.size() >= kMaxVariables)
        return false;
    variables_[name] = value;
    return true;
}

std::vector<TclStatementSplitter::Statement> TclStatementSplitter::feed(std::span<const std::uint8_t> bytes) {
    std::vector<Statement> statements;
    for (std::uint8_t byte : bytes) {
        if (byte == '\r') {
            if (!dropping_)
                statements.push_back({std::move(pending_), Cut::Complete});
            pending_.clear();
            dropping_ = false;
        } else if (!dropping_) {
            pending_ += static_cast<char>(byte);
            if (pending_.size() > kMaxTclStatementBytes) {
                pending_.pop_back();
                statements.push_back({std::move(pending_), Cut::CutOff});
                pending_.clear();
                dropping_ = true;
            }
        }
    }
    return statements;
}

} // namespace kestrix::sim
