#include "settings_files/ini_line.h"

namespace kestrix {

namespace {

constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}

} // namespace

IniLine classifyIniLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    // A comment mark counts only as the very first byte: " ;x=1" is a key.
    if (!line.empty() && (line.front() == ';' || line.front() == '#'))
        return {};
    line = trimmed(line);
    if (line.empty())
        return {};
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']')
        return {IniLineKind::Header, trimmed(line.substr(1, line.size() - 2)), {}};
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return {IniLineKind::Wrong, {}, {}};
    return {IniLineKind::Entry, trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1))};
}

} // namespace kestrix
