#include "sim/tcl_key.h"

#include "platform/trace.h"
#include "terminal/version_key.h"

#include <fstream>

namespace kestrix::sim {
namespace {

constexpr std::string_view kConfigurationFile = "talmo.cfg";
constexpr std::uint64_t kConfigKeyEnd = kConfigTclKeyOffset + AesKey().size();

} // namespace

AesMode tclCipherMode(const TerminalConfig& config) {
    const std::string key = versionSortKey(config.firmwareVersion);
    const auto within = [&key](std::string_view low, std::string_view high) {
        return key >= low && key <= high;
    };
    if (config.kindWord == "BSM" || within("5_50a", "5_52~") || within("5_90a", "5_92~"))
        return AesMode::Legacy;
    return AesMode::Standard;
}

TclKeyStore::TclKeyStore(const TerminalConfig& config)
    : encrypting_(config.tclEncrypt), key_(config.tclKey) {}

std::optional<AesKey> TclKeyStore::key() const {
    std::lock_guard lock(mutex_);
    return key_;
}

void TclKeyStore::patchServedBlock(const ServedBlock& block) const {
    if (!encrypting_ || block.relativePath != kConfigurationFile || block.fileSize < kConfigKeyEnd)
        return;
    const auto key = this->key();
    if (!key)
        return;
    for (std::uint64_t at = kConfigTclKeyOffset; at < kConfigKeyEnd; ++at)
        if (at >= block.offset && at < block.offset + block.bytes.size())
            block.bytes[at - block.offset] = (*key)[at - kConfigTclKeyOffset];
}

void TclKeyStore::takeWrittenConfiguration(const AcceptedWrite& write) {
    if (write.relativePath != kConfigurationFile || write.size < kConfigKeyEnd)
        return;
    AesKey key{};
    std::ifstream file(write.path, std::ios::binary);
    file.seekg(kConfigTclKeyOffset);
    if (!file.read(reinterpret_cast<char*>(key.data()), key.size())) {
        trace("talmo-sim: TCL key: reading %s failed, the key stays\n", write.path.c_str());
        return;
    }
    std::lock_guard lock(mutex_);
    key_ = key;
    trace("talmo-sim: TCL key taken from the written %s\n", write.terminalName.c_str());
}

} // namespace kestrix::sim
