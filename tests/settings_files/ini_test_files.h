#pragma once

#include "settings_files/ini_data.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrix::test {

// A fresh directory under the system's temporary directory, removed with
// everything in it at the end.
class TemporaryDirectory {
public:
    TemporaryDirectory() {
        std::string name = (std::filesystem::temp_directory_path() / "kestrix-ini-XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path_ = name;
    }
    ~TemporaryDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline void writeBytes(const std::string& fileName, std::string_view bytes) {
    std::ofstream(fileName, std::ios::binary | std::ios::trunc).write(bytes.data(), std::ssize(bytes));
}

inline std::string readBytes(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The content in one line, sections in their order: "[]a=1|[S]b=2,c=3|[E]".
inline std::string dump(const IniData& content) {
    std::string text;
    for (const auto& section : content.getSections()) {
        text += (text.empty() ? "[" : "|[") + section + "]";
        std::string separator;
        for (const auto& key : content.getKeys(section)) {
            text += separator + key + "=" + content.getValue(section, key, "?");
            separator = ",";
        }
    }
    return text;
}

// The text of the std::runtime_error that the call throws, "no error" when it
// returns.
template <typename Call> std::string thrownText(Call call) {
    try {
        call();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "no error";
}

} // namespace kestrix::test
