#pragma once

#include "crypto/aes.h"
#include "sim/tcl_interpreter.h"
#include "sim/terminal_config.h"

#include <chrono>
#include <netinet/in.h>
#include <optional>
#include <string>

namespace kestrix::sim {

// The cipher both directions of an encrypted session start from.
struct TclCipher {
    AesMode mode = AesMode::Standard;
    AesKey key{};
};

// The cipher mode of the terminal's encrypted TCL traffic: the older variant
// for the firmware versions 5.50 to 5.52 and 5.90 to 5.92 (lettered
// intermediate versions of those numbers included) and for a server (kind
// BSM), the standard one otherwise, as the program chooses it.
AesMode tclCipherMode(const TerminalConfig& config);

// Why a session ends, as the trace tells it.
enum class TclSessionEnd { Open, HostClosed, CloseStatement, ReceiveFailed, SendFailed };

const char* tclSessionEndText(TclSessionEnd end);

// One host's session on the terminal's TCL port, on an accepted connection:
// it reads what the host sends, deciphers it (with a cipher, each direction
// is an AES output-feedback stream of its own, started afresh for the
// session), cuts it into statements, has the interpreter answer them and
// sends every answer line, ending in CR LF, with one send (enciphered the
// same way). It traces one line per statement. It does not listen, accept or
// decide when a session may be open: the TCL host port does.
class TclSession {
public:
    // Takes over the connected socket (closed by the destructor).
    TclSession(int socket, const sockaddr_in6& peer, const std::optional<TclCipher>& cipher,
               TclInterpreter& interpreter);
    ~TclSession();
    TclSession(const TclSession&) = delete;
    TclSession& operator=(const TclSession&) = delete;

    int socket() const { return socket_; }
    // The host as the host information names it: "10.77.0.1:4711" (IPv6 without brackets).
    const std::string& hostText() const { return hostText_; }
    // The host as the trace names it: "::ffff:10.77.0.1 port 4711".
    const std::string& traceName() const { return traceName_; }
    std::chrono::steady_clock::time_point lastReceived() const { return lastReceived_; }

    // Reads what has arrived (call when the socket is readable) and answers
    // the statements it completes; Open while the session goes on.
    TclSessionEnd receive();

private:
    TclSessionEnd answer(const TclStatementSplitter::Statement& statement);
    bool sendLine(const std::string& line);

    int socket_;
    std::string hostText_;
    std::string addressText_; // "::ffff:10.77.0.1"
    std::string traceName_;
    std::optional<AesMode> mode_; // nothing: plain text
    AesContext receiveCipher_{};
    AesContext sendCipher_{};
    TclInterpreter& interpreter_;
    TclStatementSplitter splitter_;
    std::chrono::steady_clock::time_point lastReceived_;
};

} // namespace kestrix::sim
