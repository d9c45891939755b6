#pragma once

// The texts and waits of one of the four transfers; only the connection's
// own sources use it.
#include "tftp/tftp_connection.h"

#include <cstdint>

namespace kestrix {

inline constexpr std::uint16_t kOpcodeReadRequest = 1;
inline constexpr std::uint16_t kOpcodeWriteRequest = 2;
inline constexpr std::uint16_t kOpcodeData = 3;
inline constexpr std::uint16_t kOpcodeAcknowledge = 4;
inline constexpr std::uint16_t kOpcodeError = 5;

// When a repeat of the previous block is answered with the last packet.
enum class RepeatAnswer {
    EveryTime, // a repeated DATA block: the server lost our ACK
    WhenLate,  // a repeated ACK: only when it is the server's own resend (see exchange)
};

// The four transfers trace the same events with slightly different texts:
// some end with a line end, some do not.
struct TftpOperation {
    const char* prefix;           // "TFTPConnection::read(file)", ...
    std::uint16_t expectedOpcode; // DATA for reads, ACK for writes
    int waitMilliseconds;         // per attempt
    int resends;                  // after a time-out, before giving up
    const char* receiveFailedEnd; // "" or "\n" after "receive failed: %s (%d)"
    const char* runtEnd;          // after "runt packet received - %d bytes"
    const char* invalidTypeEnd;   // after "received invalid packet type 0x%x (%u)"
    const char* resendWhat;       // "ack\n" or "data"
    RepeatAnswer repeatAnswer;
};

} // namespace kestrix
