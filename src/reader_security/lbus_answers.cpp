// Reading the reader bus answers as the terminal writes them. The readers
// below mimic the C scanf conversions the terminal's answers were designed
// for: "%d" skips white space and takes an optional sign and digits, "=" must
// follow at once, a word ("%[^ ]") runs up to the next blank, and a blank of
// a pattern skips any white space, none included.
#include "reader_security/lbus_answers.h"

#include <cctype>
#include <climits>

namespace kestrix {

namespace {

bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// A scanf-like cursor over an answer.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    // "%d". A number beyond int reads but gives nothing, so that it counts as
    // no reader and no usable status.
    bool number(std::optional<int>& value) {
        skipSpaces();
        std::size_t at = position_;
        bool negative = false;
        if (at < text_.size() && (text_[at] == '+' || text_[at] == '-'))
            negative = text_[at++] == '-';
        std::size_t digitsStart = at;
        long long magnitude = 0;
        bool overflow = false;
        while (at < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at])) != 0) {
            if (magnitude <= LLONG_MAX / 10 - 10)
                magnitude = magnitude * 10 + (text_[at] - '0');
            else
                overflow = true;
            ++at;
        }
        if (at == digitsStart)
            return false;
        position_ = at;
        long long signedValue = negative ? -magnitude : magnitude;
        if (overflow || signedValue < INT_MIN || signedValue > INT_MAX)
            value.reset();
        else
            value = static_cast<int>(signedValue);
        return true;
    }

    // A literal character, with no white space skipped before it.
    bool literal(char c) {
        if (position_ >= text_.size() || text_[position_] != c)
            return false;
        ++position_;
        return true;
    }

    // "%[^ ]": one or more characters up to the next blank.
    bool word(std::string& value) {
        std::size_t end = text_.find(' ', position_);
        if (end == std::string_view::npos)
            end = text_.size();
        if (end == position_)
            return false;
        value.assign(text_.substr(position_, end - position_));
        position_ = end;
        return true;
    }

    void skipSpaces() {
        while (position_ < text_.size() && isSpace(text_[position_]))
            ++position_;
    }

    bool atEnd() const { return position_ >= text_.size(); }

private:
    std::string_view text_;
    std::size_t position_ = 0;
};

bool inReaderRange(const std::optional<int>& reader) {
    return reader && *reader >= kLowestReader && *reader <= kHighestReader;
}

} // namespace

// A word of any length is shown whole: cutting it at 19 characters would
// hide what the terminal said and, read as "%19[^ ]", would turn the word's
// remainder into a second word of its own.
std::vector<ReaderAnswerEntry> readReaderEntries(std::string_view answer, std::string_view prefix) {
    std::vector<ReaderAnswerEntry> entries;
    if (prefix.empty())
        return entries;
    for (std::size_t found = answer.find(prefix); found != std::string_view::npos;
         found = answer.find(prefix, found + 1)) {
        // "<prefix>%d=%[^ ] %[^ ]"
        Scanner scanner(answer.substr(found + prefix.size()));
        std::optional<int> reader;
        std::string first;
        if (!scanner.number(reader) || !scanner.literal('=') || !scanner.word(first) ||
            !inReaderRange(reader))
            continue;
        scanner.skipSpaces();
        std::string second;
        // A second word holding "=" is already the next reader's entry.
        if (scanner.word(second) && second.find('=') == std::string::npos)
            entries.push_back({*reader, first + " " + second});
        else
            entries.push_back({*reader, first});
    }
    return entries;
}

// An entry follows every blank. Blanks after which nothing but white space
// is left are no entry: the engine turns the reply's final zero byte into
// such a blank, and it must not count as a malformed entry on every poll.
ReaderStatusAnswer readStatusAnswer(std::string_view answer) {
    ReaderStatusAnswer result;
    for (std::size_t blank = answer.find(' '); blank != std::string_view::npos;
         blank = answer.find(' ', blank + 1)) {
        Scanner scanner(answer.substr(blank + 1));
        scanner.skipSpaces();
        if (scanner.atEnd())
            break;
        // "%d=%d"
        std::optional<int> reader;
        std::optional<int> code;
        if (!scanner.number(reader) || !scanner.literal('=') || !scanner.number(code) || !code) {
            ++result.malformed;
            continue;
        }
        if (inReaderRange(reader))
            result.entries.push_back({*reader, *code});
    }
    return result;
}

std::optional<int> readStartStatus(std::string_view answer) {
    Scanner scanner(answer);
    std::optional<int> status;
    if (!scanner.number(status))
        return std::nullopt;
    return status;
}

int startStatusMessage(std::optional<int> status) {
    if (!status)
        return 540;
    switch (*status) {
    case 0:
        return 531;
    case -10:
        return 532;
    case -20:
        return 533;
    case -30:
        return 534;
    case -40:
        return 535;
    case -50:
        return 536;
    case -60:
        return 537;
    case -70:
        return 538;
    case -80:
        return 539;
    default:
        return 540;
    }
}

int readerStatusMessage(int code) {
    switch (code) {
    case 0:
        return 541;
    case 10:
        return 542;
    case 100:
        return 543;
    case -10:
        return 544;
    case -20:
        return 545;
    case -30:
        return 546;
    case -40:
        return 547;
    case -50:
        return 548;
    case -60:
        return 549;
    case -70:
        return 550;
    case -200:
        return 551;
    case -210:
        return 552;
    case -220:
        return 553;
    case -221:
        return 554;
    case -222:
        return 555;
    case -223:
        return 556;
    case -300:
        return 557;
    default:
        return 558;
    }
}

bool readerStillPending(int code) {
    return code >= 1 && code != 100;
}

} // namespace kestrix
