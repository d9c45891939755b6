#include "sim/tftp/tftp_packet.h"

#include <algorithm>
#include <cctype>

namespace kestrix::sim {

namespace {

std::uint16_t wordAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}

// The zero-terminated field that starts at offset, or empty when the datagram
// ends before its zero byte.
std::optional<std::string_view> fieldAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
    if (offset >= bytes.size())
        return std::nullopt;
    auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(offset);
    auto zero = std::find(begin, bytes.end(), std::uint8_t{0});
    if (zero == bytes.end())
        return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(&*begin), static_cast<std::size_t>(zero - begin));
}

bool equalsIgnoringCase(std::string_view text, std::string_view expected) {
    return std::ranges::equal(text, expected, [](char left, char right) {
        return std::tolower(static_cast<unsigned char>(left)) ==
               std::tolower(static_cast<unsigned char>(right));
    });
}

RequestRefusal illegal(std::string text) {
    return {TftpErrorCode::IllegalOperation, std::move(text)};
}

} // namespace

const char* tftpErrorText(TftpErrorCode code) {
    switch (code) {
    case TftpErrorCode::Undefined:
        return "Undefined error code";
    case TftpErrorCode::FileNotFound:
        return "File not found";
    case TftpErrorCode::AccessViolation:
        return "Access violation";
    case TftpErrorCode::DiskFull:
        return "Disk full or allocation exceeded";
    case TftpErrorCode::IllegalOperation:
        return "Illegal TFTP operation";
    case TftpErrorCode::UnknownTransferId:
        return "Unknown transfer ID";
    case TftpErrorCode::FileExists:
        return "File already exists";
    case TftpErrorCode::NoSuchUser:
        return "No such user";
    }
    return "Undefined error code";
}

void TftpPacket::putWord(std::size_t offset, std::uint16_t value) {
    buffer_[offset] = static_cast<std::uint8_t>(value >> 8);
    buffer_[offset + 1] = static_cast<std::uint8_t>(value & 0xff);
}

TftpPacket TftpPacket::data(std::uint16_t block, std::span<const std::uint8_t> bytes) {
    TftpPacket packet;
    packet.putWord(0, static_cast<std::uint16_t>(TftpOpcode::Data));
    packet.putWord(2, block);
    std::size_t count = std::min(bytes.size(), kTftpBlockSize);
    std::copy_n(bytes.begin(), count, packet.buffer_.begin() + kTftpHeaderSize);
    packet.length_ = kTftpHeaderSize + count;
    return packet;
}

TftpPacket TftpPacket::acknowledgement(std::uint16_t block) {
    TftpPacket packet;
    packet.putWord(0, static_cast<std::uint16_t>(TftpOpcode::Acknowledgement));
    packet.putWord(2, block);
    packet.length_ = kTftpHeaderSize;
    return packet;
}

TftpPacket TftpPacket::error(TftpErrorCode code, std::string_view text) {
    TftpPacket packet;
    packet.putWord(0, static_cast<std::uint16_t>(TftpOpcode::Error));
    packet.putWord(2, static_cast<std::uint16_t>(code));
    std::size_t count = std::min(text.size(), kTftpPacketSize - kTftpHeaderSize - 1);
    std::copy_n(text.begin(), count, packet.buffer_.begin() + kTftpHeaderSize);
    packet.buffer_[kTftpHeaderSize + count] = 0;
    packet.length_ = kTftpHeaderSize + count + 1;
    return packet;
}

std::optional<std::uint16_t> readTftpOpcode(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < 2)
        return std::nullopt;
    return wordAt(datagram, 0);
}

std::optional<TftpHeader> readTftpHeader(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < kTftpHeaderSize)
        return std::nullopt;
    return TftpHeader{wordAt(datagram, 0), wordAt(datagram, 2)};
}

std::variant<TransferRequest, RequestRefusal> parseTftpRequest(std::span<const std::uint8_t> datagram) {
    if (datagram.size() > kTftpMaximumRequestSize)
        return illegal("Request too long");
    auto opcode = readTftpOpcode(datagram);
    if (!opcode || (*opcode != static_cast<std::uint16_t>(TftpOpcode::ReadRequest) &&
                    *opcode != static_cast<std::uint16_t>(TftpOpcode::WriteRequest)))
        return illegal(tftpErrorText(TftpErrorCode::IllegalOperation));
    auto fileName = fieldAt(datagram, 2);
    if (!fileName || fileName->empty())
        return illegal("Malformed request: no file name");
    auto mode = fieldAt(datagram, 2 + fileName->size() + 1);
    if (!mode)
        return illegal("Malformed request: no transfer mode");
    if (!equalsIgnoringCase(*mode, "octet"))
        return illegal("Only octet mode is served");
    TransferRequest request;
    request.direction = *opcode == static_cast<std::uint16_t>(TftpOpcode::ReadRequest)
                            ? TransferDirection::Read
                            : TransferDirection::Write;
    request.fileName = std::string(*fileName);
    return request;
}

std::string tftpErrorMessage(std::span<const std::uint8_t> datagram) {
    std::string message;
    for (std::size_t index = kTftpHeaderSize; index < datagram.size() && datagram[index] != 0; ++index) {
        auto byte = datagram[index];
        message += (byte < 0x20 || byte == 0x7f) ? '?' : static_cast<char>(byte);
    }
    return message;
}

} // namespace kestrix::sim
