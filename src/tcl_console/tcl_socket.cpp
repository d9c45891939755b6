#include "tcl_console/tcl_socket.h"

#include "crypto/aes_ofb.h"
#include "platform/error_text.h"
#include "platform/ip_address.h"
#include "platform/process_abort_event.h"
#include "platform/trace.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <span>
#include <string_view>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace kestrix {

namespace {

// Every failure of the constructor and of write() is traced before it is thrown.
[[noreturn]] void fail(int code, const std::string& text) {
    trace("%s\n", text.c_str());
    throw TCLSocket::TCLSocketError{{code, text}};
}

// Waits for a non-blocking connect to finish; answers 0 or the error number
// (ETIMEDOUT when the time-out ran out).
int awaitConnect(int socket) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + TCLSocket::kConnectTimeout;
    pollfd writable{socket, POLLOUT, 0};
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return ETIMEDOUT;
        const int ready = ::poll(&writable, 1, static_cast<int>(left.count()));
        if (ready > 0)
            break;
        if (ready == 0)
            return ETIMEDOUT;
        if (errno != EINTR)
            return errno;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

// Connects with the connection's own time-out instead of the system's
// (minutes) and leaves the socket blocking again; answers 0 or the error number.
int connectWithTimeout(int socket, const sockaddr_in6& peer) {
    const int flags = ::fcntl(socket, F_GETFL);
    if (flags < 0 || ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) != 0)
        return errno;
    int error = 0;
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        error = errno;
        // An interrupted connect goes on in the background, like one in progress.
        if (error == EINPROGRESS || error == EINTR)
            error = awaitConnect(socket);
    }
    if (error == 0 && ::fcntl(socket, F_SETFL, flags) != 0)
        error = errno;
    return error;
}

} // namespace

TCLSocket::Descriptor::~Descriptor() {
    if (value_ >= 0)
        ::close(value_);
}

TCLSocket::TCLSocket(const std::string& address, std::uint16_t port, TCLOutputSink& owner, bool encrypt,
                     AesMode mode, const AesKey& key)
    : TCLSocket(connectTo(address, port), owner, encrypt, mode, key) {}

TCLSocket::TCLSocket(Descriptor socket, TCLOutputSink& owner, bool encrypt, AesMode mode, const AesKey& key)
    : WorkerThread("TCLSocket", nullptr, thread_), outputOwner_(owner), socket_(std::move(socket)),
      encrypt_(encrypt), mode_(mode) {
    if (encrypt_) {
        aesKeySetup(mode_, &key, &sendCipher_);
        aesKeySetup(mode_, &key, &receiveCipher_);
    }
    start();
}

TCLSocket::Descriptor TCLSocket::connectTo(const std::string& address, std::uint16_t port) {
    trace("TCLSocket::TCLSocket(): Konstruktor\n");
    if (address.empty())
        fail(0, "TCLSocket::TCLSocket(): No remote address");

    Descriptor socket(::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.get() < 0) {
        const int error = errno;
        fail(error, "TCLSocket::TCLSocket(): Windows socket TCP/IP v6 service not installed, error=" +
                        std::to_string(error));
    }
    const int ipv6Only = 0;
    if (::setsockopt(socket.get(), IPPROTO_IPV6, IPV6_V6ONLY, &ipv6Only, sizeof ipv6Only) != 0) {
        const int error = errno;
        fail(error, "TCLSocket::TCLSocket(): setsockopt(for IPv4 AND IPv6 addresses) call failed, error=" +
                        std::to_string(error));
    }
    const std::optional<Ip6Address> peer = addressFromText(address);
    if (!peer)
        fail(0, "TCLSocket::TCLSocket(): Could not convert host address: inet_pton() failed");

    if (const int error = connectWithTimeout(socket.get(), toSocketAddress(*peer, port)); error != 0)
        fail(error,
             "TCLSocket::TCLSocket(): Could not connect to server socket, error=" + std::to_string(error));
    return socket;
}

TCLSocket::~TCLSocket() {
    destroy("start");
}

bool TCLSocket::read(std::uint8_t* buffer, std::size_t maximum, std::size_t& received) {
    received = 0;
    pollfd readable{socket_.get(), POLLIN, 0};
    const int ready = ::poll(&readable, 1, 1000);
    if (ready == 0 || (ready < 0 && errno == EINTR))
        return true;
    if (ready < 0) {
        trace("TCLSocket::read(): select() failed with error=%ld\n", static_cast<long>(errno));
        return false;
    }
    // An error or hang-up is for recv() to report; only an invalid descriptor is not ready.
    if ((readable.revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
        trace("TCLSocket::read(): FD_ISSET() failed\n");
        return false;
    }
    ssize_t count;
    do
        count = ::recv(socket_.get(), buffer, maximum, 0);
    while (count < 0 && errno == EINTR);
    if (count < 0) {
        trace("TCLSocket::read(): recv() failed with error=%ld\n", static_cast<long>(errno));
        return false;
    }
    if (count == 0) {
        trace("TCLSocket::read(): recv() returned 0: connection closed\n");
        return false;
    }
    received = static_cast<std::size_t>(count);
    return true;
}

void TCLSocket::run() {
    for (;;) {
        std::array<std::uint8_t, kReceiveBufferSize> buffer{};
        std::size_t received = 0;
        if (!read(buffer.data(), kReceiveLength, received)) {
            trace("TCLSocket::run(): error oder eof\n");
            setAbortEvent();
            break;
        }
        if (received > 0) {
            if (encrypt_)
                aesOfbStream(mode_, std::span(buffer.data(), received), receiveCipher_);
            passLines(reinterpret_cast<const char*>(buffer.data()));
        }
        // Polled after data too: a terminal that never pauses for a second
        // must not keep cancelrun() waiting for ever.
        const WaitResult result = pollAbortEvent();
        if (result == WaitResult::Signalled) {
            trace("TCLSocket::run(): WaitForSingleObject() Abbruch Event erhalten\n");
            break;
        }
        if (result != WaitResult::Timeout) {
            trace("TCLSocket::run() WaitForSingleObject() returned: %d\n", -1);
            break;
        }
    }
    // Shut down, not closed: the console's thread may still write, and a
    // closed descriptor number could belong to another connection by then.
    ::shutdown(socket_.get(), SHUT_RDWR);
    trace("TCLSocket::run() endet\n");
}

void TCLSocket::passLines(const char* text) {
    const std::string_view received(text); // ends at the first zero byte
    std::size_t start = 0;
    for (std::size_t end; (end = received.find('\r', start)) != std::string_view::npos; start = end + 1)
        outputOwner_.addOutputLine(std::string(received.substr(start, end - start)));
    if (start < received.size())
        outputOwner_.addOutputLine(std::string(received.substr(start)));
}

void TCLSocket::write(std::uint8_t* bytes, std::size_t& length) {
    if (encrypt_)
        aesOfbStream(mode_, std::span(bytes, length), sendCipher_);
    std::size_t sent = 0;
    while (sent < length) {
        const ssize_t count = ::send(socket_.get(), bytes + sent, length - sent, MSG_NOSIGNAL);
        if (count >= 0) {
            sent += static_cast<std::size_t>(count);
            continue;
        }
        const int error = errno;
        if (error == EINTR)
            continue;
        length = sent;
        fail(error, "TCLSocket::write(): send() failed with error=" + std::to_string(error) + "\n");
    }
    length = sent;
}

int TCLSocket::CancelTCLSocket() {
    trace("TCLSocket::CancelTCLSocket(): startet\n");
    try {
        cancelrun();
    } catch (...) {
        trace("TCLSocket::CancelTCLSocket(): cancelrun() mit Exception\n");
        return -1;
    }
    return 0;
}

void TCLSocket::cancelrun() {
    WorkerThread::cancelrun();
    // Once waited for, the thread is gone: a second cancel (the destructor's
    // after the console's) has nothing to wait for.
    if (!thread_.empty())
        waitonthreadend(thread_, "TCLSocket::cancelrun()", WaitStartTrace::Silent);
}

void TCLSocket::setAbortEvent() {
    int error;
    try {
        error = processAbortEvent().set();
    } catch (const std::system_error& failure) {
        error = failure.code().value();
    }
    if (error == 0)
        trace("TCLSocket::setAbortEvent() ok\n");
    else
        trace("TCLSocket::setAbortEvent() failed: %d: %s\n", error, errorText(error).c_str());
}

void TCLSocket::throwError(int code, const std::string& text) const {
    throw TCLSocketError{{code, text}};
}

} // namespace kestrix
