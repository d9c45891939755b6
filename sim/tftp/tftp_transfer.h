#pragma once

#include "sim/tftp/terminal_file_name.h"
#include "sim/tftp/tftp_packet.h"
#include "sim/tftp/tftp_server_options.h"
#include "sim/tftp/tftp_socket.h"

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace kestrix::sim {

// The client of a running transfer, as the server's request thread and the
// transfer share it.
struct TransferClient {
    sockaddr_in6 endpoint{};
    TransferRequest request;
    // True until the client has answered the transfer's first packet and
    // until the transfer has sent its last packet: while it is true, the same
    // request from the same endpoint is the client repeating itself (its first
    // answer was lost); afterwards it is a new transfer.
    std::atomic<bool> requestMayBeRepeated{true};
};

// One TFTP transfer of the simulated terminal, from the request to the last
// packet, on a socket of its own (the transfer's port) and in lock-step with
// one client: a read sends the file in 512-byte DATA blocks, a write receives
// it into a temporary file that replaces the named file only when the last
// block has arrived. Block numbers run 1, 2, ... 65535, 0, 1, ... (they wrap
// to 0, as common servers and clients do). A packet that does not come is
// sent again after the time-out, up to the retry limit; a duplicate ACK is not
// answered (no Sorcerer's Apprentice), a repeated DATA block is acknowledged
// again; packets from any other address or port get ERROR 5 and change
// nothing. After the last ACK of a write the transfer lingers for one time-out
// to acknowledge a repeated last block.
// It does not listen for requests or decide whether a request is served: the
// server does that and hands over a checked, mapped request.
class TftpTransfer {
public:
    // releaseClient is called once the client waits no more for this transfer
    // (before the linger of a write, or at the end).
    TftpTransfer(TftpSocket socket, std::shared_ptr<TransferClient> client, MappedFileName name,
                 const TftpServerOptions& options, int stopDescriptor, std::function<void()> releaseClient);

    // Runs the whole transfer; returns when it has ended, however it ended.
    // Never throws.
    void run();

private:
    enum class Await { Accepted, Ended };

    void serveRead();
    void serveWrite();
    // Sends packet, then waits for the client's packet of the given opcode and
    // block number (left in buffer_, its length in received_), resending on
    // time-outs. Ended: the transfer is over (time-out, stop, ERROR from the
    // client or a protocol violation, each traced and answered as needed).
    Await sendAndAwait(const TftpPacket& packet, TftpOpcode expected, std::uint16_t block);
    // After the last ACK of a write: acknowledge a repeated last block again.
    void linger(const TftpPacket& lastAcknowledgement, std::uint16_t lastBlock);
    void refuse(TftpErrorCode code, const std::string& text);
    void refuse(TftpErrorCode code) { refuse(code, tftpErrorText(code)); }
    void releaseClientOnce();

    TftpSocket socket_;
    std::shared_ptr<TransferClient> client_;
    const sockaddr_in6& endpoint_;
    const TransferRequest& request_;
    MappedFileName name_;
    const TftpServerOptions& options_;
    int stopDescriptor_;
    std::function<void()> releaseClient_;
    std::string traceName_; // "TftpTransfer(client, name)"
    std::array<std::uint8_t, kTftpPacketSize> buffer_{};
    std::size_t received_ = 0;
};

} // namespace kestrix::sim
