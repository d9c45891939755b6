#include "cli_run.h"

#include "config/secret_fields.h"
#include "netbed/child_process.h"

#include <cstring>
#include <sys/wait.h>

namespace kestrix::test {

namespace {

std::string quoted(const std::string& word) {
    std::string text = "'";
    for (char character : word)
        text += character == '\'' ? std::string("'\\''") : std::string(1, character);
    return text + "'";
}

void put(UserParamBlock& block, std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), block.begin() + static_cast<std::ptrdiff_t>(offset));
}

void putText(UserParamBlock& block, std::size_t offset, std::size_t width, const char* text) {
    std::fill_n(block.begin() + static_cast<std::ptrdiff_t>(offset), width, 0);
    std::memcpy(block.data() + offset, text, std::min(width, std::strlen(text)));
}

} // namespace

std::string cliCommandLine(const std::filesystem::path& directory, const std::vector<std::string>& words) {
    std::string line = "cd " + quoted(directory.string()) + " && " + KESTRIX_CLI;
    for (const std::string& word : words)
        line += " " + quoted(word);
    return line;
}

CliRun runCli(const ScratchDirectory& directory, const std::vector<std::string>& words) {
    const CommandResult result = runCommand({"sh", "-c", cliCommandLine(directory.path(), words)});
    return {WIFEXITED(result.waitStatus) ? WEXITSTATUS(result.waitStatus) : -1, result.output};
}

UserParamBlock namedBlock620() {
    const int index = versionIndex("6.20");
    UserParamBlock block = patternBlock(index, 5);
    put(block, 12, {5, 0, 0, 10});
    put(block, 16, {1, 0, 0, 10});
    put(block, 20, {0, 255, 255, 255});
    put(block, 24, {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5});
    put(block, 40, {0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
    put(block, 56, {64, 1, 5});
    put(block, 60, {0x67, 0x12});
    putText(block, 64, 20, "talmo-100101");
    put(block, 88, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 10, 0, 0, 1});
    put(block, 146, {0xb9, 0x0b, 1});
    put(block, 824, {2});
    put(block, 826, {0xc4, 0xff});
    putText(block, 828, 12, "M3.5.0/2");
    putText(block, 840, 12, "10270202402");
    put(block, 974, {2, 7});
    put(block, 1236, {0xc0, 0x2e, 0x32, 0x66}); // 1714564800
    putText(block, 794, 6, "abc123");
    putText(block, 800, 8, "PASSWD12");
    putText(block, 808, 8, "pw3");
    putText(block, 1056, 8, "simple1");
    putText(block, 1064, 8, "admin123");
    for (std::uint8_t offset = 0; offset < 16; ++offset)
        block[1072 + offset] = offset;
    cryptSecretFields(block, index, BlockOwner{});
    storeCrc(block, index);
    return block;
}

} // namespace kestrix::test
