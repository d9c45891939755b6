#include "support/table_reader.h"

#include <array>
#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace kestrix::test {

namespace {

// Prints one row per line, each field as "x" and its UTF-8 bytes in hex.
constexpr const char* kReader = R"(
import csv, json, sys
path = sys.argv[1]
if path.lower().endswith('.json'):
    with open(path, encoding='utf-8') as file:
        data = json.load(file)
    assert isinstance(data, list), 'not an array'
    rows = [list(data[0].keys())] if data else []
    for item in data:
        assert list(item.keys()) == rows[0], 'the objects have other keys'
        rows.append(['true' if v is True else 'false' if v is False else v for v in item.values()])
else:
    with open(path, newline='', encoding='utf-8') as file:
        rows = list(csv.reader(file, strict=True))
for row in rows:
    print(' '.join('x' + str(field).encode('utf-8').hex() for field in row))
)";

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char character : text)
        quoted += character == '\'' ? std::string("'\\''") : std::string(1, character);
    return quoted + "'";
}

} // namespace

std::vector<std::vector<std::string>> tableReadByPython(const std::filesystem::path& file) {
    const std::string command = "python3 -c " + shellQuoted(kReader) + " " + shellQuoted(file.string());
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        throw std::runtime_error("python3 cannot be started");
    std::string output;
    std::array<char, 4096> buffer;
    for (std::size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        output.append(buffer.data(), got);
    if (::pclose(pipe) != 0)
        throw std::runtime_error("python3 does not read " + file.string() +
                                 " (its message is on standard error)");
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string>& row = rows.emplace_back();
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            if (word.front() != 'x' || word.size() % 2 != 1 ||
                word.find_first_not_of("0123456789abcdef", 1) != std::string::npos)
                throw std::runtime_error("python3 printed other than fields:\n" + output);
            std::string field;
            for (std::size_t at = 1; at + 1 < word.size(); at += 2)
                field += static_cast<char>(std::stoi(word.substr(at, 2), nullptr, 16));
            row.push_back(field);
        }
    }
    return rows;
}

} // namespace kestrix::test
