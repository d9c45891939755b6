#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix::test {

// A fresh directory under the system's temporary directory for one test,
// removed with everything in it at the end, and its files read and written
// whole. Names are relative to the directory. Throws std::runtime_error when
// the directory cannot be made or a file cannot be read or written.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // The names of the directory's entries, sorted.
    std::vector<std::string> entries() const;

    void write(const std::string& name, std::string_view bytes) const;
    void write(const std::string& name, std::span<const std::uint8_t> bytes) const;
    std::string read(const std::string& name) const;
    std::vector<std::uint8_t> bytes(const std::string& name) const;

private:
    std::filesystem::path path_;
};

} // namespace kestrix::test
