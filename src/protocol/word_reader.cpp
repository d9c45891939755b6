#include "protocol/word_reader.h"

namespace kestrix {

namespace {
bool isSeparator(char character) {
    return character == ' ' || character == '\t' || character == '\r' || character == '\n';
}
} // namespace

std::optional<std::string> WordReader::next() {
    while (position_ < text_.size() && isSeparator(text_[position_]))
        ++position_;
    if (position_ >= text_.size())
        return std::nullopt;

    char first = text_[position_];
    if (first == '=') {
        ++position_;
        return std::string("=");
    }
    if (first == '"' || first == '\'') {
        std::string word;
        for (std::size_t at = position_ + 1; at < text_.size(); ++at) {
            if (text_[at] != first) {
                word += text_[at];
                continue;
            }
            if (at + 1 < text_.size() && text_[at + 1] == first) {
                word += first;
                ++at;
                continue;
            }
            position_ = at + 1;
            return word;
        }
        position_ = text_.size(); // no closing quote: the word is empty and the text used up
        return std::string();
    }
    std::size_t start = position_;
    while (position_ < text_.size() && !isSeparator(text_[position_]) && text_[position_] != '=')
        ++position_;
    return std::string(text_.substr(start, position_ - start));
}

std::vector<std::string> splitWords(std::string_view text) {
    std::vector<std::string> words;
    WordReader reader(text);
    while (auto word = reader.next())
        words.push_back(std::move(*word));
    return words;
}

std::string replySerialNumber(std::string_view replyLine) {
    WordReader reader(replyLine);
    std::optional<std::string> word;
    for (int index = 0; index < 4; ++index) {
        word = reader.next();
        if (!word)
            return std::string();
    }
    std::string serialNumber = std::move(*word);
    while (!serialNumber.empty() && serialNumber.back() == ' ')
        serialNumber.pop_back();
    if (serialNumber.empty() || serialNumber.front() == '?')
        return std::string();
    return serialNumber;
}

} // namespace kestrix
