#pragma once

#include "platform/ip_address.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace kestrix::sim {

// A file that a client wrote and the server has put in place.
struct AcceptedWrite {
    std::string terminalName;   // the name as the client sent it, "[SN]..." prefix included
    std::string relativePath;   // the file under the directory, folders separated by "/"
    std::filesystem::path path; // the file in the terminal's directory
    std::uint64_t size = 0;     // its length in bytes
};

// A block of a file that a read sends, read from the disk and not yet sent.
struct ServedBlock {
    const std::string& relativePath; // the file under the directory, folders separated by "/"
    std::uint64_t fileSize = 0;      // the file's length when the read began
    std::uint64_t offset = 0;        // where the block starts in the file
    std::span<std::uint8_t> bytes;   // the block; the client gets what is left in it
};

// What a TftpServer serves and how (see tftp_server.h).
struct TftpServerOptions {
    // The terminal's files; accepted writes go here too (subfolders such as
    // "talmo" are made when a write needs them). Must exist.
    std::filesystem::path directory;
    // The terminal's serial number: every write name must start with "[" + it + "]".
    std::string serialNumber;
    // Where the request socket listens: unspecified (the default) is every
    // IPv6 and IPv4 address of the host; an IPv4 address in its mapped form
    // (::ffff:127.0.0.1) listens on IPv4 only.
    Ip6Address bindAddress;
    // 69 on a terminal; 0 lets the system choose (TftpServer::port() tells which).
    std::uint16_t port = 69;
    // How long a transfer waits for the client's next packet before it sends
    // its last packet again, and how often it does so before it gives up.
    std::chrono::milliseconds retransmitTimeout{1000};
    int maximumRetries = 5;
    // Transfers that run at once; a request beyond that is answered with an ERROR.
    std::size_t maximumTransfers = 8;
    // A write that would make a file longer than this is refused with
    // "Disk full or allocation exceeded".
    std::uint64_t maximumWriteSize = 64 * 1024 * 1024;
    // The first this many write requests (of any file) are refused with
    // "Disk full or allocation exceeded", as by a flash that fails to erase;
    // later ones are served. Lets a test make a client retry its writes.
    std::uint64_t refusedWrites = 0;
    // Where a write stores its file, given the path its name maps to; unset:
    // that path. Called on the request thread before the transfer starts; the
    // answer is a path under the directory, folders separated by "/". No read
    // reaches a folder whose name starts with ".": a terminal holds a file
    // back there until it installs it.
    std::function<std::string(const std::string& relativePath)> storeWrittenAs;
    // Called on the transfer's thread once a written file is in place, just
    // before its last block is acknowledged: when the client learns that its
    // write succeeded, the callback has run. Keep it short (the client waits
    // for that ACK); it must not call stop() of its own server.
    std::function<void(const AcceptedWrite&)> onWriteAccepted;
    // Called on the transfer's thread once the last block of a write has
    // arrived, before the file is put in place; path names the received
    // bytes. A text refuses the write: the client gets ERROR 0 with that text
    // and the file stays as it was. Keep it short, like onWriteAccepted.
    std::function<std::optional<std::string>(const AcceptedWrite&)> checkWrite;
    // Called on the transfer's thread for every block a read sends (before
    // its first sending): it may change the bytes as the client gets them,
    // never the file. Keep it short, like onWriteAccepted.
    std::function<void(const ServedBlock&)> adjustServedBlock;
};

} // namespace kestrix::sim
