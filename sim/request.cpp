#include "sim/request.h"

#include "protocol/word_reader.h"

namespace kestrix::sim {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

std::optional<std::string> Request::argument(std::string_view name) const {
    for (std::size_t index = 2; index + 2 < words.size(); ++index)
        if (words[index] == name && words[index + 1] == "=" && words[index + 2] != "=")
            return words[index + 2];
    return std::nullopt;
}

bool Request::hasFlag(std::string_view flag) const {
    for (std::size_t index = 2; index < words.size(); ++index) {
        bool isName = index + 1 < words.size() && words[index + 1] == "=";
        bool isValue = words[index - 1] == "=";
        if (words[index] == flag && !isName && !isValue)
            return true;
    }
    return false;
}

std::optional<Request> parseRequest(std::span<const std::uint8_t> datagram) {
    if (datagram.empty() || datagram.size() > kMaxRequestBytes || datagram.back() != 0)
        return std::nullopt;
    Request request;
    std::string_view text(reinterpret_cast<const char*>(datagram.data()), datagram.size() - 1);

    // The suffix is the last zero-separated field; it needs a request before it.
    std::size_t separator = text.rfind('\0');
    if (separator != std::string_view::npos) {
        std::string_view last = text.substr(separator + 1);
        if (startsWith(last, "auth=")) {
            request.suffix = SuffixKind::IPBased;
            request.suffixValue = last.substr(5);
        } else if (startsWith(last, "sid=")) {
            request.suffix = SuffixKind::IDBased;
            request.suffixValue = last.substr(4);
        }
    }
    request.body = request.suffix == SuffixKind::None ? text : text.substr(0, separator);

    std::string blanks = request.body;
    for (char& character : blanks)
        if (character == '\0')
            character = ' ';
    request.words = splitWords(blanks);
    if (request.words.size() < 2 || request.words[0].empty() || request.words[1].empty())
        return std::nullopt;
    return request;
}

std::string printableForTrace(std::string_view bytes) {
    std::string text;
    for (char character : bytes) {
        const auto byte = static_cast<unsigned char>(character);
        text += byte == 0 ? ' ' : (byte < ' ' || byte == 0x7F) ? '.' : character;
    }
    return text;
}

} // namespace kestrix::sim
