#include "sim/reply.h"

namespace kestrix::sim {

std::vector<std::string> replyHead(const TerminalConfig& config) {
    std::vector<std::string> words = config.productWords;
    words.push_back(config.productWord);
    words.push_back(config.serialNumber);
    return words;
}

std::vector<std::string> identificationWords(const TerminalConfig& config, const TerminalState& state) {
    std::vector<std::string> words;
    if (state.runMode == RunMode::Monitor) {
        words.insert(words.end(), config.monitorWords.begin(), config.monitorWords.end());
        words.push_back(state.monitorVersion);
    } else {
        if (!config.kindWord.empty())
            words.push_back(config.kindWord);
        words.push_back(state.firmwareVersion);
    }
    return words;
}

std::string quoted(std::string_view text) {
    std::string result = "'";
    for (char character : text) {
        result += character;
        if (character == '\'')
            result += character;
    }
    return result + "'";
}

std::optional<std::string> replyDatagram(const std::vector<std::string>& fields) {
    std::string datagram;
    for (const auto& field : fields) {
        if (datagram.size() + field.size() + 1 > kMaxReplyBytes)
            return std::nullopt;
        datagram += field;
        datagram += '\0';
    }
    return datagram;
}

} // namespace kestrix::sim
