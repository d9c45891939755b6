// T7000ipComm: how every maintenance command reaches the terminal, with or
// without authentication, with its retries and the find/echo handshake of
// ID-based terminals.
#include "platform/trace.h"
#include "terminal/terminal.h"

namespace kestrix {

namespace {

constexpr int kUnsecuredAttempts = 3;
constexpr int kIDBasedAttempts = 2;
constexpr int kHandshakeRounds = 3;

} // namespace

bool Terminal::supportsAuthentication() {
    if (!AuthOK && FirmwareVersion.empty() && MonitorVersion.empty()) {
        // The versions come with the echo reply.
        try {
            T7000ipLocateByEcho(IPAddrInUse, std::string(), SerialNumber, RouteUse::NotAllowed);
        } catch (const TerminalError& error) {
            trace("Terminal::supportsAuthentication(%s): %s\n", SerialNumber.c_str(), error.text.c_str());
        }
    }
    return knownToSupportAuthentication();
}

std::vector<std::string> Terminal::sendAttempts(const std::string& data, T7000ip::RequestKind kind,
                                                std::int64_t timeoutSeconds, int attempts) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
        std::vector<std::string> replies =
            Engine.request(AddrInUse, SerialNumber, kind, timeoutSeconds, data);
        if (!replies.empty()) {
            trace("Terminal::T7000ipComm(%s): Antworten erhalten\n", SerialNumber.c_str());
            return replies;
        }
    }
    trace("Terminal::T7000ipComm(%s): %d Versuche, KEINE Antwort erhalten\n", SerialNumber.c_str(), attempts);
    return {};
}

Terminal::HandshakeResult Terminal::idBasedHandshake(int rounds, T7000ip::RequestKind kind,
                                                     std::int64_t timeoutSeconds) {
    const std::string find = "find " + SerialNumber;
    for (int round = 0; round < rounds; ++round) {
        trace("Terminal::T7000ipComm(%s):sendet '%s'\n", SerialNumber.c_str(), find.c_str());
        for (const std::string& findReply :
             Engine.request(AddrInUse, SerialNumber, kind, timeoutSeconds, find)) {
            if (!parseFindReply(findReply, SerialNumber))
                continue;
            // The find reply has brought the security id the echo is keyed with.
            const std::string echo = addIDBasedAuth("echo " + SerialNumber);
            trace("Terminal::T7000ipComm(%s):sendet nach Antwort auf find '%s'\n", SerialNumber.c_str(),
                  echo.c_str());
            for (const std::string& echoReply :
                 Engine.request(AddrInUse, SerialNumber, kind, timeoutSeconds, echo)) {
                if (parseEchoReply(echoReply, SerialNumber) && AuthOK) {
                    trace("Terminal::T7000ipComm(%s): \n\tAntwort: %s\n", SerialNumber.c_str(),
                          echoReply.c_str());
                    return HandshakeResult::AuthOK;
                }
            }
        }
    }
    return HandshakeResult::NoAuthOK;
}

std::vector<std::string> Terminal::idBasedComm(const std::string& request, T7000ip::RequestKind kind,
                                               std::int64_t timeoutSeconds) {
    if (!AuthOK && idBasedHandshake(kHandshakeRounds, kind, timeoutSeconds) != HandshakeResult::AuthOK) {
        trace("Terminal::T7000ipComm(%s): %d Versuche, kein AuthOK erreicht\n", SerialNumber.c_str(),
              kHandshakeRounds);
        return {};
    }
    // The suffix is built anew for each pass: the handshake may bring a new security id.
    std::vector<std::string> replies =
        sendAttempts(addIDBasedAuth(request), kind, timeoutSeconds, kIDBasedAttempts);
    if (!replies.empty())
        return replies;
    // The security id may have changed (a restart): one more round, once. The
    // two attempts are repeated whatever the round brought: a terminal that
    // missed the round's echo may still take the request.
    idBasedHandshake(1, kind, timeoutSeconds);
    return sendAttempts(addIDBasedAuth(request), kind, timeoutSeconds, kIDBasedAttempts);
}

std::vector<std::string> Terminal::T7000ipComm(RequestSecurity security, const std::string& request,
                                               T7000ip::RequestKind kind, std::int64_t timeoutSeconds) {
    trace("Terminal::T7000ipComm(%s): secured: %d, IDBasedAuth: %d, reqdata '%s' startet\n",
          SerialNumber.c_str(), security == RequestSecurity::Secured ? 1 : 0, IDBasedAuth ? 1 : 0,
          request.c_str());
    if (security == RequestSecurity::Secured && !supportsAuthentication()) {
        trace("Terminal::T7000ipComm(%s): TCL kennt noch keine Authentifizierung.\n", SerialNumber.c_str());
        security = RequestSecurity::Unsecured;
    }
    if (security == RequestSecurity::Unsecured)
        return sendAttempts(request, kind, timeoutSeconds, kUnsecuredAttempts);
    if (IDBasedAuth)
        return idBasedComm(request, kind, timeoutSeconds);
    // IP-based: the terminal takes this station's proof only once it has said so.
    if (!AuthOK)
        return {};
    return sendAttempts(Engine.addIPBasedAuth(request, HostIfAddr), kind, timeoutSeconds, kUnsecuredAttempts);
}

} // namespace kestrix
