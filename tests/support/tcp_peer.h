#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrix::test {

// A TCP peer on the IPv4 loopback address that stands in for a terminal's
// TCL host port in tests: it listens on a free port, takes one connection at
// a time and lets the test read what arrived and send bytes back. It knows
// nothing of TCL statements or ciphers. Throws std::runtime_error when a
// socket call fails.
class TcpPeer {
public:
    TcpPeer();
    ~TcpPeer();
    TcpPeer(const TcpPeer&) = delete;
    TcpPeer& operator=(const TcpPeer&) = delete;

    std::uint16_t port() const { return port_; }
    // Waits for the next connection; false when none came in time.
    bool accept(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Reads until at least count bytes of this connection arrived (or the
    // time-out ran out, or the other side closed) and answers all of them so far.
    std::string receive(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    void send(std::string_view bytes);
    // Ends the connection (the other side reads end of stream).
    void closeConnection();
    // Stops listening: a connect to the port is refused from now on.
    void closeListener();

private:
    int listener_ = -1;
    int connection_ = -1;
    std::uint16_t port_ = 0;
    std::string received_;
};

} // namespace kestrix::test
