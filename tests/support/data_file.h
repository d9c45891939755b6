#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix::test {

// One row of a data file of known answers, with its line number.
struct DataRow {
    int line = 0;
    std::vector<std::string> fields;
};

// The rows of a tab-separated data file; empty lines and lines beginning with
// '#' are left out. In a field, \t, \n, \\ and \xHH stand for a tab, a line
// break, a backslash and the byte HH, so that a row can hold any bytes. Throws
// std::runtime_error when the file cannot be read.
std::vector<DataRow> readDataFile(const std::string& path);

// Hexadecimal text (either case, no separators) as bytes, and back in lower case.
std::vector<std::uint8_t> fromHex(std::string_view hex);
std::string toHex(std::span<const std::uint8_t> bytes);

} // namespace kestrix::test
