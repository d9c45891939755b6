#include "sim/tcl_session.h"

#include "crypto/aes_ofb.h"
#include "platform/ip_address.h"
#include "platform/trace.h"
#include "sim/request.h"
#include "terminal/version_key.h"

#include <array>
#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrix::sim {
namespace {

// A host that takes no data for this long ends its session (a network wait,
// not scaled), so a stuck host cannot hold the terminal's TCL thread.
constexpr timeval kSendTimeout{2, 0};
// The statement text the trace shows at most.
constexpr std::size_t kTracedStatementBytes = 80;

std::string tracedStatement(std::string_view statement) {
    if (statement.size() <= kTracedStatementBytes)
        return printableForTrace(statement);
    return printableForTrace(statement.substr(0, kTracedStatementBytes)) + "...";
}

} // namespace

AesMode tclCipherMode(const TerminalConfig& config) {
    const std::string key = versionSortKey(config.firmwareVersion);
    const auto within = [&key](std::string_view low, std::string_view high) {
        return key >= low && key <= high;
    };
    if (config.kindWord == "BSM" || within("5_50a", "5_52~") || within("5_90a", "5_92~"))
        return AesMode::Legacy;
    return AesMode::Standard;
}

const char* tclSessionEndText(TclSessionEnd end) {
    switch (end) {
    case TclSessionEnd::Open:
        return "open";
    case TclSessionEnd::HostClosed:
        return "the host closed the connection";
    case TclSessionEnd::CloseStatement:
        return "the close statement";
    case TclSessionEnd::ReceiveFailed:
        return "receiving failed";
    case TclSessionEnd::SendFailed:
        return "sending failed";
    }
    return "?";
}

TclSession::TclSession(int socket, const sockaddr_in6& peer, const std::optional<TclCipher>& cipher,
                       TclInterpreter& interpreter)
    : socket_(socket), interpreter_(interpreter), lastReceived_(std::chrono::steady_clock::now()) {
    const Ip6Address address = fromSocketAddress(peer);
    const std::string port = std::to_string(ntohs(peer.sin6_port));
    hostText_ = addressToText(address, MappedForm::DottedOnly) + ":" + port;
    addressText_ = addressToText(address);
    traceName_ = addressText_ + " port " + port;
    setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, &kSendTimeout, sizeof kSendTimeout);
    if (cipher) {
        mode_ = cipher->mode;
        aesKeySetup(cipher->mode, &cipher->key, &receiveCipher_);
        aesKeySetup(cipher->mode, &cipher->key, &sendCipher_);
    }
}

TclSession::~TclSession() {
    ::close(socket_);
}

TclSessionEnd TclSession::receive() {
    std::array<std::uint8_t, 1024> buffer;
    const ssize_t received = ::recv(socket_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (received < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? TclSessionEnd::Open
                                                                         : TclSessionEnd::ReceiveFailed;
    if (received == 0)
        return TclSessionEnd::HostClosed;
    lastReceived_ = std::chrono::steady_clock::now();
    const std::span<std::uint8_t> bytes(buffer.data(), static_cast<std::size_t>(received));
    if (mode_)
        aesOfbStream(*mode_, bytes, receiveCipher_);
    for (const auto& statement : splitter_.feed(bytes))
        if (TclSessionEnd end = answer(statement); end != TclSessionEnd::Open)
            return end;
    return TclSessionEnd::Open;
}

TclSessionEnd TclSession::answer(const TclStatementSplitter::Statement& statement) {
    const bool cutOff = statement.cut == TclStatementSplitter::Cut::CutOff;
    const TclAnswer answer = cutOff ? interpreter_.cutOff() : interpreter_.interpret(statement.text);
    const std::string outcome =
        answer.connection == TclConnection::Close ? "closes the connection"
        : answer.lines.empty()                    ? "no answer"
        : cutOff ? "cut off at " + std::to_string(kMaxTclStatementBytes) + " bytes, answered"
                 : "answered";
    trace("talmo-sim: TCL '%s' from %s: %s\n", tracedStatement(statement.text).c_str(), addressText_.c_str(),
          outcome.c_str());
    for (const auto& line : answer.lines)
        if (!sendLine(line))
            return TclSessionEnd::SendFailed;
    return answer.connection == TclConnection::Close ? TclSessionEnd::CloseStatement : TclSessionEnd::Open;
}

bool TclSession::sendLine(const std::string& line) {
    std::string bytes = line + "\r\n";
    std::span<std::uint8_t> span(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size());
    if (mode_)
        aesOfbStream(*mode_, span, sendCipher_);
    while (!span.empty()) {
        const ssize_t sent = ::send(socket_, span.data(), span.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        span = span.subspan(static_cast<std::size_t>(sent));
    }
    return true;
}

} // namespace kestrix::sim
