#include "support/data_file.h"

#include <fstream>
#include <stdexcept>

namespace kestrix::test {
namespace {

std::string unescaped(std::string_view field) {
    std::string text;
    for (std::size_t at = 0; at < field.size(); ++at) {
        if (field[at] != '\\' || at + 1 == field.size()) {
            text += field[at];
        } else if (field[++at] == 'x' && at + 2 < field.size()) {
            text += static_cast<char>(std::stoi(std::string(field.substr(at + 1, 2)), nullptr, 16));
            at += 2;
        } else {
            text += field[at] == 't' ? '\t' : field[at] == 'n' ? '\n' : field[at];
        }
    }
    return text;
}

} // namespace

std::vector<DataRow> readDataFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read " + path);
    std::vector<DataRow> rows;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (line.empty() || line.front() == '#')
            continue;
        DataRow row{number, {}};
        for (std::size_t start = 0;;) {
            const std::size_t tab = line.find('\t', start);
            row.fields.push_back(unescaped(std::string_view(line).substr(start, tab - start)));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::uint8_t> fromHex(std::string_view hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t at = 0; at + 1 < hex.size(); at += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(at, 2)), nullptr, 16)));
    return bytes;
}

std::string toHex(std::span<const std::uint8_t> bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t byte : bytes)
        text += {digits[byte >> 4], digits[byte & 15]};
    return text;
}

} // namespace kestrix::test
