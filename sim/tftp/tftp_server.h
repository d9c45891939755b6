#pragma once

#include "sim/tftp/tftp_packet.h"
#include "sim/tftp/tftp_server_options.h"
#include "sim/tftp/tftp_socket.h"
#include "sim/tftp/tftp_transfer.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kestrix::sim {

// The simulated terminal's TFTP server (RFC 1350, octet mode only).
//
// Use:
//     TftpServerOptions options;
//     options.directory = "/path/to/files";  // must exist
//     options.serialNumber = "100101";
//     options.port = 69;                     // 0 in unit tests: port() tells the one chosen
//     options.onWriteAccepted = [](const AcceptedWrite& write) { ... };  // optional
//     TftpServer server(std::move(options));
//     server.start();   // binds, then serves on threads of its own; throws std::system_error
//     ...               // or std::invalid_argument when it cannot start
//     server.stop();    // or the destructor: ends every transfer and joins every thread
// start() and stop() are called by the owner's thread, not concurrently.
//
// Requests arrive on the one request socket (options.port). Each served
// request gets a transfer of its own: a new socket bound to the address the
// client sent the request to, on a port the system picks (the transfer ID),
// and a thread of its own (TftpTransfer). Several transfers run at once, up to
// options.maximumTransfers. A request that a client repeats because its
// transfer's first packet was lost (same address, port, request, and the
// client has not answered yet) is not served twice; any other request from
// the same port is a new transfer, as a client that reuses its port for the
// next file needs.
//
// Answers to requests (each an ERROR packet from a new transfer port):
//   mode other than "octet" (e.g. "netascii"), malformed or over-long request,
//     opcode other than RRQ/WRQ           -> 4 "Illegal TFTP operation" or a more precise text
//   read of a file that does not exist     -> 1 "File not found"
//   write without "[" + own serial number + "]", name that leaves the
//     directory or names a host path       -> 2 "Access violation"
//   too many transfers at once             -> 0 "Terminal busy"
//   write beyond options.maximumWriteSize or onto a full disk -> 3
//   one of the first options.refusedWrites write requests -> 3
//   write whose received file options.checkWrite refuses -> 0 with its text
// An ERROR packet sent to the request port is ignored.
// The name mapping from terminal names to files is in terminal_file_name.h;
// the behaviour of one transfer (retransmission, wrap of block numbers after
// 65535 to 0, writes that replace a file only when complete) in tftp_transfer.h.
//
// It does not serve options (RFC 2347: blksize, tsize, ...): options in a
// request are ignored and the transfer runs with 512-byte blocks, which
// clients that ask for options accept. The directory is trusted: symbolic
// links that its owner placed in it are followed. Time-outs are network
// waits and are not scaled by KESTRIX_TIME_SCALE.
class TftpServer {
public:
    explicit TftpServer(TftpServerOptions options);
    ~TftpServer();
    TftpServer(const TftpServer&) = delete;
    TftpServer& operator=(const TftpServer&) = delete;

    // Binds the request socket and starts serving. Throws std::invalid_argument
    // (no directory, no serial number) or std::system_error (socket, bind,
    // thread), with a one-line text; a server starts once.
    void start();
    // Ends all transfers (a running one gets ERROR 0 "Terminal shuts down"),
    // removes unfinished written files and joins all threads. Idempotent.
    void stop();

    // The request port (the chosen one when options.port was 0); 0 before start().
    std::uint16_t port() const { return port_; }
    // Transfers that still talk to their client.
    std::size_t activeTransfers();

private:
    struct RunningTransfer {
        std::thread thread;
        std::atomic<bool> finished{false};
    };

    void serveRequests();
    void handleRequest(std::span<const std::uint8_t> datagram, const TftpSocket::Datagram& received);
    // A socket for answering a client from the address it sent its request to.
    TftpSocket transferSocket(const Ip6Address& destination);
    void answerWithError(const TftpSocket::Datagram& received, TftpErrorCode code, const std::string& text);
    void reapFinishedTransfers();
    enum class ClientClaim { Claimed, AlreadyServed, Busy };
    ClientClaim claimClient(const std::shared_ptr<TransferClient>& client);
    void releaseClient(const TransferClient* client);

    const TftpServerOptions options_;
    std::unique_ptr<TftpSocket> requestSocket_;
    std::uint16_t port_ = 0;
    int stopDescriptor_ = -1; // an eventfd, readable once stop() was called
    std::thread requestThread_;
    std::list<std::unique_ptr<RunningTransfer>> transfers_; // touched by the request thread and stop()
    std::mutex clientsMutex_;
    std::vector<std::shared_ptr<TransferClient>> activeClients_; // under clientsMutex_
    std::uint64_t writesToRefuse_ = 0;                           // touched by the request thread only
};

} // namespace kestrix::sim
