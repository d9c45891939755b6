#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kestrix::test {

// A CSV or JSON file (by its extension) read by python3's csv and json
// modules, as rows of fields: a CSV file's rows as they are; a JSON file,
// which must be one array of objects with the same keys, as the first
// object's keys followed by each object's values (true and false as "true"
// and "false"). Throws std::runtime_error with python's message when the
// file does not parse.
std::vector<std::vector<std::string>> tableReadByPython(const std::filesystem::path& file);

} // namespace kestrix::test
