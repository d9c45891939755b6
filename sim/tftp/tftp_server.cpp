#include "sim/tftp/tftp_server.h"

#include "platform/trace.h"
#include "sim/tftp/terminal_file_name.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace kestrix::sim {

TftpServer::TftpServer(TftpServerOptions options)
    : options_(std::move(options)), writesToRefuse_(options_.refusedWrites) {}

TftpServer::~TftpServer() {
    stop();
}

void TftpServer::start() {
    if (stopDescriptor_ >= 0)
        throw std::logic_error("TFTP server: already started");
    if (options_.serialNumber.empty())
        throw std::invalid_argument("TFTP server: no serial number");
    std::error_code error;
    if (!std::filesystem::is_directory(options_.directory, error))
        throw std::invalid_argument("TFTP server: directory '" + options_.directory.string() +
                                    "' does not exist");
    auto socket = std::make_unique<TftpSocket>(options_.bindAddress, options_.port);
    int stopDescriptor = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopDescriptor < 0)
        throw std::system_error(errno, std::generic_category(), "TFTP server: eventfd() failed");
    requestSocket_ = std::move(socket);
    port_ = requestSocket_->localPort();
    stopDescriptor_ = stopDescriptor;
    try {
        requestThread_ = std::thread([this] { serveRequests(); });
    } catch (...) {
        ::close(stopDescriptor_);
        stopDescriptor_ = -1;
        requestSocket_.reset();
        throw;
    }
    trace("TftpServer: serves '%s' on port %u for serial number %s\n", options_.directory.c_str(), port_,
          options_.serialNumber.c_str());
}

void TftpServer::stop() {
    if (stopDescriptor_ < 0)
        return;
    std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(stopDescriptor_, &one, sizeof one);
    if (requestThread_.joinable())
        requestThread_.join();
    for (auto& transfer : transfers_)
        transfer->thread.join();
    transfers_.clear();
    requestSocket_.reset();
    ::close(stopDescriptor_);
    stopDescriptor_ = -1;
    trace("TftpServer: stopped\n");
}

std::size_t TftpServer::activeTransfers() {
    std::lock_guard lock(clientsMutex_);
    return activeClients_.size();
}

void TftpServer::serveRequests() {
    std::array<std::uint8_t, kTftpMaximumRequestSize> buffer{};
    while (true) {
        TftpSocket::Datagram received;
        auto forever = std::chrono::steady_clock::time_point::max();
        TftpSocket::WaitResult result;
        try {
            result = requestSocket_->receive(buffer, forever, stopDescriptor_, received);
        } catch (const std::exception& error) {
            trace("TftpServer: %s\n", error.what());
            std::this_thread::sleep_for(std::chrono::milliseconds(100)); // no busy loop on a lasting error
            continue;
        }
        if (result == TftpSocket::WaitResult::Stopping)
            return;
        if (result != TftpSocket::WaitResult::Received)
            continue;
        reapFinishedTransfers();
        try {
            if (received.truncated)
                answerWithError(received, TftpErrorCode::IllegalOperation, "Request too long");
            else
                handleRequest(std::span<const std::uint8_t>(buffer.data(), received.length), received);
        } catch (const std::exception& error) {
            trace("TftpServer: request from %s: %s\n", endpointText(received.sender).c_str(), error.what());
        }
    }
}

void TftpServer::handleRequest(std::span<const std::uint8_t> datagram, const TftpSocket::Datagram& received) {
    auto opcode = readTftpOpcode(datagram);
    if (opcode == static_cast<std::uint16_t>(TftpOpcode::Error))
        return;
    auto parsed = parseTftpRequest(datagram);
    if (auto* refusal = std::get_if<RequestRefusal>(&parsed)) {
        answerWithError(received, refusal->code, refusal->text);
        return;
    }
    auto& request = std::get<TransferRequest>(parsed);
    auto mapped = mapTerminalFileName(request.fileName, request.direction, options_.serialNumber);
    if (auto* refusal = std::get_if<RequestRefusal>(&mapped)) {
        answerWithError(received, refusal->code, refusal->text);
        return;
    }
    if (request.direction == TransferDirection::Write && options_.storeWrittenAs) {
        auto& name = std::get<MappedFileName>(mapped);
        name.relativePath = options_.storeWrittenAs(name.relativePath);
    }
    if (request.direction == TransferDirection::Write && writesToRefuse_ > 0) {
        --writesToRefuse_;
        answerWithError(received, TftpErrorCode::DiskFull, tftpErrorText(TftpErrorCode::DiskFull));
        return;
    }
    auto client = std::make_shared<TransferClient>();
    client->endpoint = received.sender;
    client->request = std::move(request);
    switch (claimClient(client)) {
    case ClientClaim::Claimed:
        break;
    case ClientClaim::AlreadyServed:
        trace("TftpServer: request from %s repeated while its transfer waits for the first answer, ignored\n",
              endpointText(received.sender).c_str());
        return;
    case ClientClaim::Busy:
        answerWithError(received, TftpErrorCode::Undefined, "Terminal busy");
        return;
    }
    trace("TftpServer: %s '%s' from %s\n",
          client->request.direction == TransferDirection::Read ? "RRQ" : "WRQ",
          client->request.fileName.c_str(), endpointText(received.sender).c_str());
    auto running = std::make_unique<RunningTransfer>();
    try {
        auto transfer = std::make_shared<TftpTransfer>(
            transferSocket(received.destination), client, std::get<MappedFileName>(mapped), options_,
            stopDescriptor_, [this, key = client.get()] { releaseClient(key); });
        RunningTransfer* slot = running.get();
        running->thread = std::thread([transfer, slot] {
            transfer->run();
            slot->finished = true;
        });
    } catch (...) {
        releaseClient(client.get());
        throw;
    }
    transfers_.push_back(std::move(running));
}

TftpSocket TftpServer::transferSocket(const Ip6Address& destination) {
    if (!destination.isUnspecified()) {
        try {
            return TftpSocket(destination, 0);
        } catch (const std::system_error&) {
            // Not a local unicast address (a broadcast, say): answer from any address.
        }
    }
    return TftpSocket(Ip6Address{}, 0);
}

void TftpServer::answerWithError(const TftpSocket::Datagram& received, TftpErrorCode code,
                                 const std::string& text) {
    trace("TftpServer: refuses request from %s: ERROR %u '%s'\n", endpointText(received.sender).c_str(),
          static_cast<unsigned>(code), text.c_str());
    transferSocket(received.destination).send(TftpPacket::error(code, text).bytes(), received.sender);
}

void TftpServer::reapFinishedTransfers() {
    for (auto transfer = transfers_.begin(); transfer != transfers_.end();) {
        if ((*transfer)->finished) {
            (*transfer)->thread.join();
            transfer = transfers_.erase(transfer);
        } else {
            ++transfer;
        }
    }
}

TftpServer::ClientClaim TftpServer::claimClient(const std::shared_ptr<TransferClient>& client) {
    std::lock_guard lock(clientsMutex_);
    auto repeats = [&](const std::shared_ptr<TransferClient>& active) {
        return sameEndpoint(active->endpoint, client->endpoint) &&
               active->request.direction == client->request.direction &&
               active->request.fileName == client->request.fileName && active->requestMayBeRepeated;
    };
    if (std::ranges::any_of(activeClients_, repeats))
        return ClientClaim::AlreadyServed;
    if (activeClients_.size() >= options_.maximumTransfers)
        return ClientClaim::Busy;
    activeClients_.push_back(client);
    return ClientClaim::Claimed;
}

void TftpServer::releaseClient(const TransferClient* client) {
    std::lock_guard lock(clientsMutex_);
    std::erase_if(activeClients_,
                  [&](const std::shared_ptr<TransferClient>& active) { return active.get() == client; });
}

} // namespace kestrix::sim
