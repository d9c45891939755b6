#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace kestrix::test {

// The rows of a tab-separated data file of the tests, each split into its
// fields: empty lines and lines that begin with "#" are left out, and a row
// with another number of fields fails the running test (and is left out).
inline std::vector<std::vector<std::string>> readTsvRows(const std::string& path, std::size_t fieldCount) {
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file) << "cannot open " << path;
    std::vector<std::vector<std::string>> rows;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (line.empty() || line.front() == '#')
            continue;
        std::vector<std::string> fields;
        for (std::size_t start = 0, tab = 0; tab != std::string::npos; start = tab + 1) {
            tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab - start));
        }
        if (fields.size() == fieldCount)
            rows.push_back(std::move(fields));
        else
            ADD_FAILURE() << path << ":" << number << ": " << fields.size() << " fields, expected "
                          << fieldCount;
    }
    return rows;
}

} // namespace kestrix::test
