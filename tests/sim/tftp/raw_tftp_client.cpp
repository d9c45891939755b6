#include "raw_tftp_client.h"

#include "platform/ip_address.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrix::sim::test {

namespace {

std::string word(std::uint16_t value) {
    return {static_cast<char>(value >> 8), static_cast<char>(value & 0xff)};
}

std::string request(std::uint16_t opcode, std::string_view name, std::string_view mode) {
    std::string packet = word(opcode);
    packet += name;
    packet += '\0';
    packet += mode;
    packet += '\0';
    return packet;
}

sockaddr_in6 socketAddress(const std::string& address, std::uint16_t port) {
    auto parsed = addressFromText(address);
    if (!parsed)
        throw std::runtime_error("bad address " + address);
    return toSocketAddress(*parsed, port);
}

} // namespace

std::string readRequest(std::string_view name, std::string_view mode) {
    return request(1, name, mode);
}
std::string writeRequest(std::string_view name, std::string_view mode) {
    return request(2, name, mode);
}
std::string dataPacket(std::uint16_t block, std::string_view bytes) {
    return word(3) + word(block) + std::string(bytes);
}
std::string acknowledgementPacket(std::uint16_t block) {
    return word(4) + word(block);
}

std::uint16_t RawTftpClient::Received::opcode() const {
    return bytes.size() < 2
               ? 0
               : static_cast<std::uint16_t>((std::uint8_t(bytes[0]) << 8) | std::uint8_t(bytes[1]));
}
std::uint16_t RawTftpClient::Received::word() const {
    return bytes.size() < 4
               ? 0
               : static_cast<std::uint16_t>((std::uint8_t(bytes[2]) << 8) | std::uint8_t(bytes[3]));
}
std::string RawTftpClient::Received::errorText() const {
    std::string text = payload();
    return text.substr(0, text.find('\0'));
}

RawTftpClient::RawTftpClient(const std::string& localAddress) {
    socket_ = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int off = 0;
    setsockopt(socket_, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    sockaddr_in6 local = socketAddress(localAddress, 0);
    if (socket_ < 0 || bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
        throw std::runtime_error("RawTftpClient: cannot bind " + localAddress);
}

RawTftpClient::~RawTftpClient() {
    ::close(socket_);
}

void RawTftpClient::sendTo(const std::string& address, std::uint16_t port, std::string_view bytes) {
    sockaddr_in6 destination = socketAddress(address, port);
    ::sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&destination),
             sizeof destination);
}

void RawTftpClient::reply(std::string_view bytes) {
    ::sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&lastSender_),
             sizeof lastSender_);
}

std::optional<RawTftpClient::Received> RawTftpClient::receive(std::chrono::milliseconds timeout) {
    pollfd descriptor{socket_, POLLIN, 0};
    if (::poll(&descriptor, 1, static_cast<int>(timeout.count())) <= 0)
        return std::nullopt;
    char buffer[2048];
    sockaddr_in6 sender{};
    socklen_t length = sizeof sender;
    ssize_t count =
        ::recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &length);
    if (count < 0)
        return std::nullopt;
    lastSender_ = sender;
    Received received;
    received.bytes.assign(buffer, static_cast<std::size_t>(count));
    received.senderAddress = addressToText(fromSocketAddress(sender));
    received.senderPort = ntohs(sender.sin6_port);
    return received;
}

std::optional<std::string> RawTftpClient::readFile(std::uint16_t port, const std::string& name,
                                                   const std::string& serverAddress) {
    sendTo(serverAddress, port, readRequest(name));
    std::string content;
    for (std::uint16_t block = 1;; ++block) {
        auto packet = receive(std::chrono::seconds(5));
        if (!packet || packet->opcode() != 3 || packet->word() != block)
            return std::nullopt;
        content += packet->payload();
        reply(acknowledgementPacket(block));
        if (packet->bytes.size() < 516)
            return content;
    }
}

bool RawTftpClient::writeFile(std::uint16_t port, const std::string& name, const std::string& bytes,
                              const std::string& serverAddress) {
    auto acknowledged = [this](std::uint16_t block) {
        auto packet = receive(std::chrono::seconds(5));
        return packet && packet->opcode() == 4 && packet->word() == block;
    };
    sendTo(serverAddress, port, writeRequest(name));
    if (!acknowledged(0))
        return false;
    std::size_t offset = 0;
    for (std::uint16_t block = 1;; ++block) {
        std::size_t count = std::min<std::size_t>(512, bytes.size() - offset);
        reply(dataPacket(block, std::string_view(bytes).substr(offset, count)));
        if (!acknowledged(block))
            return false;
        offset += count;
        if (count < 512)
            return true;
    }
}

TerminalDirectory::TerminalDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrix-sim-tftp-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary directory");
    path_ = pattern;
}

TerminalDirectory::~TerminalDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void TerminalDirectory::put(const std::string& relativePath, const std::string& bytes) const {
    std::filesystem::path file = path_ / relativePath;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string TerminalDirectory::get(const std::string& relativePath) const {
    std::ifstream file(path_ / relativePath, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::string TerminalDirectory::listing() const {
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_))
        entries.push_back(std::filesystem::relative(entry.path(), path_).string());
    std::sort(entries.begin(), entries.end());
    std::string text;
    for (const auto& entry : entries)
        text += entry + "\n";
    return text;
}

std::string patternBytes(std::size_t length, unsigned seed) {
    std::string bytes(length, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

TftpServerOptions testOptions(const TerminalDirectory& directory, std::chrono::milliseconds timeout) {
    TftpServerOptions options;
    options.directory = directory.path();
    options.serialNumber = kSerialNumber;
    options.port = 0;
    options.retransmitTimeout = timeout;
    options.maximumRetries = 3;
    return options;
}

} // namespace kestrix::sim::test
