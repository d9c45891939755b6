#include "sim/tcl_host_port.h"

#include "platform/error_text.h"
#include "platform/ip_address.h"
#include "platform/pause.h"
#include "platform/trace.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrix::sim {
namespace {

// After a failed bind the port tries again this much later (scaled).
constexpr int kListenRetryMilliseconds = 1000;

} // namespace

std::chrono::local_seconds localWallClock() {
    using namespace std::chrono;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local_days(year(local.tm_year + 1900) / (local.tm_mon + 1) / local.tm_mday) +
           hours(local.tm_hour) + minutes(local.tm_min) + seconds(local.tm_sec);
}

TclHostPort::TclHostPort(Responder& responder, TclClock clock)
    : responder_(responder), mode_(tclCipherMode(responder.config())),
      idleCloseMilliseconds_(responder.config().tclIdleCloseMilliseconds),
      interpreter_(responder.config(), std::move(clock)), port_(0) {
    if (const Responder::RunStatus status = responder_.runStatus(); status.applicationRuns)
        openListener(status.tcl.port);
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0) {
        const int error = errno;
        closeListener();
        throw std::runtime_error("TCL port: eventfd: " + errorText(error));
    }
    responder_.setRunObserver([wake = wake_] {
        std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(wake, &one, sizeof one);
    });
    try {
        thread_ = std::thread([this] { run(); });
    } catch (...) {
        responder_.setRunObserver(nullptr);
        ::close(wake_);
        closeListener();
        throw;
    }
}

TclHostPort::~TclHostPort() {
    stop();
}

void TclHostPort::stop() {
    if (!thread_.joinable())
        return;
    stopping_ = true;
    std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(wake_, &one, sizeof one);
    thread_.join();
    responder_.setRunObserver(nullptr);
    ::close(wake_);
    wake_ = -1;
}

void TclHostPort::run() {
    while (!stopping_) {
        const Responder::RunStatus status = responder_.runStatus();
        if (session_ && status.restarts != sessionRestarts_)
            endSession("the terminal restarts");
        adjustListener(status);
        std::array<pollfd, 3> waits{};
        nfds_t count = 0;
        waits[count++] = {wake_, POLLIN, 0};
        if (listener_ >= 0)
            waits[count++] = {listener_, POLLIN, 0};
        if (session_)
            waits[count++] = {session_->socket(), POLLIN, 0};
        if (::poll(waits.data(), count, waitMilliseconds(status)) < 0 && errno != EINTR) {
            trace("talmo-sim: TCL port: poll: %s\n", errorText(errno).c_str());
            break;
        }
        if (stopping_)
            break;
        std::uint64_t drained = 0;
        [[maybe_unused]] auto read = ::read(wake_, &drained, sizeof drained);
        for (nfds_t index = 1; index < count; ++index) {
            if (waits[index].revents == 0)
                continue;
            if (waits[index].fd == listener_) {
                acceptHost();
            } else if (session_ && waits[index].fd == session_->socket()) {
                if (TclSessionEnd end = session_->receive(); end != TclSessionEnd::Open)
                    endSession(tclSessionEndText(end));
            }
        }
        if (session_ && idleCloseMilliseconds_ > 0 &&
            std::chrono::steady_clock::now() >=
                session_->lastReceived() + scaledPause(idleCloseMilliseconds_))
            endSession("idle");
    }
    if (session_)
        endSession("talmo-sim stops");
    closeListener();
}

void TclHostPort::adjustListener(const Responder::RunStatus& status) {
    const bool mayListen = status.applicationRuns && !session_ && !stopping_;
    // A restart that took a new port may have been over before this thread saw it.
    if (!mayListen || (status.tcl.port != 0 && status.tcl.port != port_)) {
        closeListener();
        if (!mayListen)
            return;
    }
    if (listener_ >= 0 || std::chrono::steady_clock::now() < listenAgainAt_)
        return;
    try {
        openListener(status.tcl.port);
    } catch (const std::exception& error) {
        trace("talmo-sim: %s; trying again\n", error.what());
        listenAgainAt_ = std::chrono::steady_clock::now() + scaledPause(kListenRetryMilliseconds);
    }
}

// Port 0: the port the system chose at the first bind, kept for the whole run.
void TclHostPort::openListener(std::uint16_t wantedPort) {
    const std::uint16_t port = wantedPort != 0 ? wantedPort : port_.load();
    const int listener = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
    if (listener < 0)
        throw std::runtime_error("TCL port: socket: " + errorText(errno));
    const int off = 0, on = 1;
    sockaddr_in6 address = toSocketAddress(Ip6Address{}, port);
    socklen_t length = sizeof address;
    if (setsockopt(listener, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) != 0 ||
        setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        ::close(listener);
        throw std::runtime_error("TCL port: listening on [::]:" + std::to_string(port) + ": " +
                                 errorText(error));
    }
    listener_ = listener;
    port_ = ntohs(address.sin6_port); // keeps the port the system chose for port 0
}

void TclHostPort::closeListener() {
    if (listener_ >= 0)
        ::close(listener_);
    listener_ = -1;
}

void TclHostPort::acceptHost() {
    sockaddr_in6 peer{};
    socklen_t length = sizeof peer;
    const int socket = ::accept4(listener_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (socket < 0)
        return; // the host gave up before it was taken
    const Responder::RunStatus status = responder_.runStatus();
    const bool encrypting = status.tcl.encrypt;
    std::optional<TclCipher> cipher;
    if (encrypting) {
        const auto& key = status.tcl.key;
        if (!key) {
            trace("talmo-sim: TCL host %s refused: no key\n", addressToText(fromSocketAddress(peer)).c_str());
            ::close(socket);
            return;
        }
        cipher = TclCipher{mode_, *key};
    }
    auto session = std::make_unique<TclSession>(socket, peer, cipher, interpreter_);
    if (!responder_.openTclSession(session->hostText(), status.restarts)) {
        trace("talmo-sim: TCL session from %s refused: the application does not run\n",
              session->traceName().c_str());
        return;
    }
    closeListener();
    sessionRestarts_ = status.restarts;
    session_ = std::move(session);
    trace("talmo-sim: TCL session from %s opened (%s)\n", session_->traceName().c_str(),
          !encrypting                  ? "plain"
          : mode_ == AesMode::Standard ? "encrypted, standard mode"
                                       : "encrypted, older mode");
}

// The port listens again (when it may) before the host's connection closes,
// so that a host that sees its connection end can connect again at once.
void TclHostPort::endSession(const char* reason) {
    auto ending = std::move(session_);
    responder_.closeTclSession();
    trace("talmo-sim: TCL session from %s closed: %s\n", ending->traceName().c_str(), reason);
    adjustListener(responder_.runStatus());
}

int TclHostPort::waitMilliseconds(const Responder::RunStatus& status) const {
    using namespace std::chrono;
    std::optional<steady_clock::time_point> until;
    const auto earliest = [&until](steady_clock::time_point at) {
        until = until ? std::min(*until, at) : at;
    };
    if (session_ && idleCloseMilliseconds_ > 0)
        earliest(session_->lastReceived() + scaledPause(idleCloseMilliseconds_));
    if (status.applicationStartsAt)
        earliest(*status.applicationStartsAt);
    if (!session_ && status.applicationRuns && listener_ < 0)
        earliest(listenAgainAt_);
    if (!until)
        return -1;
    const auto left = ceil<milliseconds>(*until - steady_clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60000));
}

} // namespace kestrix::sim
