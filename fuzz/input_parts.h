#pragma once

// Fuzz input as a list of parts: the parts of several inputs (lines, fields,
// datagrams) in one byte string, split at a separator byte.
#include <string_view>
#include <vector>

inline std::vector<std::string_view> splitAt(std::string_view bytes, char separator) {
    std::vector<std::string_view> parts;
    for (auto at = bytes.find(separator); at != std::string_view::npos; at = bytes.find(separator)) {
        parts.push_back(bytes.substr(0, at));
        bytes.remove_prefix(at + 1);
    }
    parts.push_back(bytes);
    return parts;
}
