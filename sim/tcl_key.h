#pragma once

#include "crypto/aes.h"
#include "sim/terminal_config.h"
#include "sim/tftp/tftp_server_options.h"

#include <mutex>
#include <optional>

namespace kestrix::sim {

// Where the configuration block (talmo.cfg) keeps the TCL data key.
inline constexpr std::size_t kConfigTclKeyOffset = 1072;

// The cipher mode of the terminal's encrypted TCL traffic: the older variant
// for the firmware versions 5.50 to 5.52 and 5.90 to 5.92 (lettered
// intermediate versions of those numbers included) and for a server (kind
// BSM), the standard one otherwise, as the program chooses it.
AesMode tclCipherMode(const TerminalConfig& config);

// The terminal's TCL data key, one setting for the TCL host port and the
// configuration block: the talmo.cfg that the TFTP server sends carries it at
// kConfigTclKeyOffset while the terminal encrypts (patched as it is served,
// the file on the disk stays as it is), and a talmo.cfg written to the
// terminal sets it for the sessions that follow. Files shorter than
// kConfigTclKeyOffset + 16 bytes carry no key. Thread-safe: the TFTP
// transfers and the TCL thread use it at once.
class TclKeyStore {
public:
    explicit TclKeyStore(const TerminalConfig& config);

    // Nothing until a key was configured or written.
    std::optional<AesKey> key() const;

    // TftpServerOptions::adjustServedBlock and onWriteAccepted.
    void patchServedBlock(const ServedBlock& block) const;
    void takeWrittenConfiguration(const AcceptedWrite& write);

private:
    const bool encrypting_;
    mutable std::mutex mutex_;
    std::optional<AesKey> key_;
};

} // namespace kestrix::sim
