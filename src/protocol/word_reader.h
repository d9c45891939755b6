#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

// The one word reader for reply texts and the command line. Blanks, tabs, CR
// and LF separate words; "=" ends a word and is a word of its own; a word that
// begins with a double or single quote runs to the matching quote, where a
// doubled quote stands for one quote character. A quoted word without its
// closing quote is empty and uses up the text. A word can be as long as the
// rest of the text. It does not interpret the words.
class WordReader {
public:
    explicit WordReader(std::string_view text) : text_(text) {}

    // The next word, or nothing when only separators are left.
    std::optional<std::string> next();
    // What has not been read yet.
    std::string_view rest() const { return text_.substr(position_); }

private:
    std::string_view text_;
    std::size_t position_ = 0;
};

// All words of a text.
std::vector<std::string> splitWords(std::string_view text);

// The serial number of a reply line (its fourth word), with blanks at its end
// cut; empty when the reply has none (fourth word missing, empty or beginning
// with "?").
std::string replySerialNumber(std::string_view replyLine);

} // namespace kestrix
