#pragma once

#include "crypto/aes.h"
#include "sim/terminal_config.h"
#include "sim/tftp/tftp_server_options.h"

#include <filesystem>
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
// kConfigTclKeyOffset while the terminal encrypts, and a talmo.cfg written to
// the terminal sets it for the sessions that follow. Only blocks of the
// layouts "6.10" and later hold the key there; other files are left alone.
//
// The terminal keeps the key enciphered in the block, like its passwords:
// one output-feedback stream of the fixed secret-field key runs over the
// setup passwords (6, 8, 8 bytes), a 48-byte area and, outside a server, the
// TCL area's two passwords (8 and 8) and the key, so the key takes the
// stream's bytes 86 to 101 (a server keeps its key in clear). The key is put
// in as the file is sent, with the CRC renewed when the file's CRC was right
// (a wrong one stays wrong); the file on the disk stays as it is.
// Thread-safe: the TFTP transfers and the TCL thread use it at once.
class TclKeyStore {
public:
    TclKeyStore(const TerminalConfig& config, std::filesystem::path directory);

    // Nothing until a key was configured or written.
    std::optional<AesKey> key() const;

    // TftpServerOptions::adjustServedBlock and onWriteAccepted.
    void patchServedBlock(const ServedBlock& block) const;
    void takeWrittenConfiguration(const AcceptedWrite& write);

private:
    const bool encrypting_;
    const bool server_;
    const std::filesystem::path directory_;
    mutable std::mutex mutex_;
    std::optional<AesKey> key_;
};

} // namespace kestrix::sim
