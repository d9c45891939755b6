// Reads any bytes as an ini file, as a damaged settings file or firmware
// description would reach the reader, in 1024-byte blocks from a real file.
// Whatever the reader accepts must write and read back unchanged. Then takes
// the bytes as section, key and value triples (split at 0xFF) for the writer:
// what it does not refuse must read back unchanged too.
#include "settings_files/ini_file.h"

#include "input_parts.h"
#include "memory_file.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::optional<kestrix::IniFile> read(const std::string& fileName) {
    try {
        return kestrix::IniFile(fileName, " missing");
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

void mustReadBack(const kestrix::IniData& content, const MemoryFile& file) {
    content.writeToFile(file.name());
    const auto again = read(file.name());
    if (!again || !(*again == content))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const MemoryFile input;
    static const MemoryFile output;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    input.fill({data, size});
    if (const auto content = read(input.name()))
        mustReadBack(*content, output); // throws nothing: all it read can be written

    kestrix::IniData built;
    const auto parts = splitAt(bytes, '\xFF');
    for (std::size_t index = 0; index + 2 < parts.size(); index += 3)
        built.setValue(parts[index], parts[index + 1], parts[index + 2]);
    try {
        mustReadBack(built, output);
    } catch (const std::runtime_error& error) {
        if (std::string_view(error.what()).substr(0, 6) != "wrong ")
            __builtin_trap();
    }
    return 0;
}
