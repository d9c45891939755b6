#include "support/scratch_directory.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <stdlib.h>

namespace kestrix::test {

ScratchDirectory::ScratchDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrix-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchDirectory::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    std::ranges::sort(names);
    return names;
}

void ScratchDirectory::write(const std::string& name, std::string_view bytes) const {
    std::ofstream stream(file(name), std::ios::binary | std::ios::trunc);
    if (!stream.write(bytes.data(), std::ssize(bytes)))
        throw std::runtime_error("cannot write " + file(name));
}

void ScratchDirectory::write(const std::string& name, std::span<const std::uint8_t> bytes) const {
    write(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string ScratchDirectory::read(const std::string& name) const {
    std::ifstream stream(file(name), std::ios::binary);
    if (!stream)
        throw std::runtime_error("cannot read " + file(name));
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> ScratchDirectory::bytes(const std::string& name) const {
    const std::string text = read(name);
    return {text.begin(), text.end()};
}

} // namespace kestrix::test
