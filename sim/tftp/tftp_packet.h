#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace kestrix::sim {

// The TFTP wire format (RFC 1350) as the simulated terminal's server speaks
// it: fixed 516-byte packets, 512-byte data blocks, 16-bit fields in network
// byte order. Building and reading packets only; no sockets, no files.

inline constexpr std::size_t kTftpHeaderSize = 4;
inline constexpr std::size_t kTftpBlockSize = 512;
inline constexpr std::size_t kTftpPacketSize = kTftpHeaderSize + kTftpBlockSize; // 516
// The largest request the server reads. RFC 2347 asks for at most 512 bytes,
// but the program's client allows file names up to 504 bytes, which with the
// opcode, "octet" and the two zero bytes make 513; so a request may fill the
// whole packet buffer. Anything longer is refused.
inline constexpr std::size_t kTftpMaximumRequestSize = kTftpPacketSize;

enum class TftpOpcode : std::uint16_t {
    ReadRequest = 1,
    WriteRequest = 2,
    Data = 3,
    Acknowledgement = 4,
    Error = 5,
};

enum class TftpErrorCode : std::uint16_t {
    Undefined = 0,
    FileNotFound = 1,
    AccessViolation = 2,
    DiskFull = 3,
    IllegalOperation = 4,
    UnknownTransferId = 5,
    FileExists = 6,
    NoSuchUser = 7,
};

// The RFC 1350 text of an error code ("File not found", ...).
const char* tftpErrorText(TftpErrorCode code);

// One packet to send, built in a fixed buffer.
class TftpPacket {
public:
    static TftpPacket data(std::uint16_t block,
                           std::span<const std::uint8_t> bytes); // at most 512 bytes taken
    static TftpPacket acknowledgement(std::uint16_t block);
    // The text is cut so that it and its zero byte fit the packet.
    static TftpPacket error(TftpErrorCode code, std::string_view text);
    static TftpPacket error(TftpErrorCode code) { return error(code, tftpErrorText(code)); }

    std::span<const std::uint8_t> bytes() const { return {buffer_.data(), length_}; }

private:
    void putWord(std::size_t offset, std::uint16_t value);

    std::array<std::uint8_t, kTftpPacketSize> buffer_{};
    std::size_t length_ = 0;
};

// Which way a transfer moves the file, seen from the client.
enum class TransferDirection {
    Read,  // RRQ: the server sends the file
    Write, // WRQ: the server receives the file
};

// A read or write request that the server serves: octet mode, file name as sent.
struct TransferRequest {
    TransferDirection direction = TransferDirection::Read;
    std::string fileName;
};

// Why a request is not served, as the ERROR packet that answers it.
struct RequestRefusal {
    TftpErrorCode code = TftpErrorCode::Undefined;
    std::string text;
};

// Reads a request datagram: opcode 1 or 2, a zero-terminated non-empty file
// name, a zero-terminated mode that must be "octet" (any case); whatever
// follows (RFC 2347 options) is ignored, as a server without options does.
// Every field is looked for inside the datagram only; a missing zero byte, a
// datagram longer than kTftpMaximumRequestSize or any other opcode is refused.
std::variant<TransferRequest, RequestRefusal> parseTftpRequest(std::span<const std::uint8_t> datagram);

// The opcode of a received datagram; empty when it has fewer than 2 bytes.
std::optional<std::uint16_t> readTftpOpcode(std::span<const std::uint8_t> datagram);

// The opcode and the second 16-bit word (block number or error code) of a
// received packet; empty for a datagram shorter than the 4-byte header.
struct TftpHeader {
    std::uint16_t opcode = 0;
    std::uint16_t word = 0;
};
std::optional<TftpHeader> readTftpHeader(std::span<const std::uint8_t> datagram);

// The message of a received ERROR packet, up to its zero byte or the end of
// the datagram, with control characters shown as '?' (it goes into traces).
std::string tftpErrorMessage(std::span<const std::uint8_t> datagram);

} // namespace kestrix::sim
