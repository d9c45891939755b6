#pragma once

#include "sim/responder.h"
#include "sim/tftp/tftp_server_options.h"

#include <filesystem>
#include <optional>
#include <string>

namespace kestrix::sim {

// The terminal's talmo.cfg as its TFTP server serves and takes it (under any
// name that maps to it, "C@\t7000\talmo.cfg" included); other files pass
// untouched.
//
// - Served: while the terminal encrypts its TCL traffic, a block of the
//   layouts "6.10" to "6.21" carries the terminal's TCL key at 1072, as the
//   terminal keeps it (putTclKey); the file on the disk stays as it is.
// - Written: the block is checked before it replaces the file
//   (checkWrittenBlock): a refused one is answered with a TFTP error and the
//   terminal keeps its file and settings; an accepted one of the layouts
//   "6.10" to "6.21" goes to the responder, which takes its settings at the
//   next restart; an older layout is stored and only traced.
// It neither restarts the terminal nor touches the network: the responder does.
// Thread-safe (the transfers call it at once): it keeps no state of its own.
class ConfigurationFile {
public:
    ConfigurationFile(Responder& responder, std::filesystem::path directory);

    // Sets adjustServedBlock, checkWrite and onWriteAccepted; this object must
    // outlive the server.
    void attachTo(TftpServerOptions& options);

    void patchServedBlock(const ServedBlock& block) const;
    std::optional<std::string> checkWrite(const AcceptedWrite& write) const;
    void takeWrite(const AcceptedWrite& write);

private:
    Responder& responder_;
    const bool server_;
    const std::filesystem::path directory_;
};

} // namespace kestrix::sim
