#pragma once

#include "sim/reply_faults.h"
#include "sim/responder.h"

#include <cstdint>

namespace kestrix::sim {

inline constexpr std::uint16_t kMaintenancePort = 0xdead;

// The terminal's maintenance socket: UDP on [::] (IPv4 through mapped
// addresses as well), one request datagram at a time handed to the responder,
// its reply sent back to the sender's address and port as the faults decide.
// Datagrams of more than 1024 bytes are ignored. It knows nothing of the
// protocol itself.
class MaintenanceServer {
public:
    // Binds the port (0: any free port; tests). Throws std::runtime_error.
    MaintenanceServer(Responder& responder, const FaultSettings& faults,
                      std::uint16_t port = kMaintenancePort);
    ~MaintenanceServer();
    MaintenanceServer(const MaintenanceServer&) = delete;
    MaintenanceServer& operator=(const MaintenanceServer&) = delete;

    std::uint16_t port() const { return port_; }

    // Answers requests until stopDescriptor becomes readable (a signalfd, an
    // eventfd or a pipe); it does not read from it. Throws std::runtime_error
    // when waiting on the socket fails.
    void serve(int stopDescriptor);

private:
    void handleOneDatagram();

    Responder& responder_;
    ReplyFaults faults_;
    int socket_ = -1;
    std::uint16_t port_ = 0;
};

} // namespace kestrix::sim
