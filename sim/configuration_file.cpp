#include "sim/configuration_file.h"

#include "platform/trace.h"
#include "sim/configuration_block.h"

#include <fstream>
#include <vector>

namespace kestrix::sim {
namespace {

constexpr std::string_view kConfigurationFile = "talmo.cfg";
// More than any block: a longer file is refused for its length all the same.
constexpr std::size_t kLongestRead = 64 * 1024;

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> bytes;
    char buffer[4096];
    while (bytes.size() < kLongestRead && file.read(buffer, sizeof buffer).gcount() > 0)
        bytes.insert(bytes.end(), buffer, buffer + file.gcount());
    return bytes;
}

} // namespace

ConfigurationFile::ConfigurationFile(Responder& responder, std::filesystem::path directory)
    : responder_(responder), server_(responder.config().kindWord == "BSM"), directory_(std::move(directory)) {
}

void ConfigurationFile::attachTo(TftpServerOptions& options) {
    options.adjustServedBlock = [this](const ServedBlock& block) { patchServedBlock(block); };
    options.checkWrite = [this](const AcceptedWrite& write) { return checkWrite(write); };
    options.onWriteAccepted = [this](const AcceptedWrite& write) { takeWrite(write); };
}

void ConfigurationFile::patchServedBlock(const ServedBlock& block) const {
    if (block.relativePath != kConfigurationFile)
        return;
    const TclSettings tcl = responder_.state().tcl;
    if (!tcl.encrypt || !tcl.key)
        return;
    std::vector<std::uint8_t> file = readFile(directory_ / block.relativePath);
    const std::optional<KeyLayout> layout = keyLayout(file);
    if (!layout)
        return;
    putTclKey(file, *layout, *tcl.key, server_);
    for (std::size_t index = 0; index < block.bytes.size() && block.offset + index < file.size(); ++index)
        block.bytes[index] = file[block.offset + index];
}

std::optional<std::string> ConfigurationFile::checkWrite(const AcceptedWrite& write) const {
    if (write.relativePath != kConfigurationFile)
        return std::nullopt;
    const BlockVerdict verdict = checkWrittenBlock(readFile(write.path), server_);
    if (const auto* refused = std::get_if<Refused>(&verdict))
        return refused->reason;
    return std::nullopt;
}

void ConfigurationFile::takeWrite(const AcceptedWrite& write) {
    if (write.relativePath != kConfigurationFile)
        return;
    BlockVerdict verdict = checkWrittenBlock(readFile(write.path), server_);
    if (auto* settings = std::get_if<BlockSettings>(&verdict)) {
        trace("talmo-sim: talmo.cfg %s written; taken at the next restart\n", settings->version.c_str());
        responder_.takeWrittenBlock(std::move(*settings));
    } else if (const auto* stored = std::get_if<StoredOnly>(&verdict)) {
        trace("talmo-sim: talmo.cfg %s stored; the terminal takes settings from the layouts 6.10 to 6.21 "
              "only\n",
              stored->version.c_str());
    }
}

} // namespace kestrix::sim
