#include "sim/tftp/tftp_transfer.h"

#include "platform/error_text.h"
#include "platform/trace.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrix::sim {

namespace {

// The TFTP error for a failed file operation.
std::pair<TftpErrorCode, std::string> fileError(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
        return {TftpErrorCode::FileNotFound, tftpErrorText(TftpErrorCode::FileNotFound)};
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ELOOP:
        return {TftpErrorCode::AccessViolation, tftpErrorText(TftpErrorCode::AccessViolation)};
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return {TftpErrorCode::DiskFull, tftpErrorText(TftpErrorCode::DiskFull)};
    default:
        return {TftpErrorCode::Undefined, errorText(error)};
    }
}

// Reads up to count bytes, fewer only at the end of the file; -1 on error.
ssize_t readBlock(int file, std::uint8_t* into, std::size_t count) {
    std::size_t total = 0;
    while (total < count) {
        ssize_t got = ::read(file, into + total, count - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        total += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(total);
}

bool writeAll(int file, const std::uint8_t* from, std::size_t count) {
    while (count > 0) {
        ssize_t put = ::write(file, from, count);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        from += put;
        count -= static_cast<std::size_t>(put);
    }
    return true;
}

// A file descriptor closed by the destructor.
class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
    ~FileDescriptor() {
        if (descriptor_ >= 0)
            ::close(descriptor_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return descriptor_; }
    // Closes now and answers whether the close succeeded (errno tells why not).
    bool close() {
        int descriptor = descriptor_;
        descriptor_ = -1;
        return ::close(descriptor) == 0;
    }

private:
    int descriptor_;
};

// The file a write goes to until its last block: ".tftp-XXXXXX" beside the
// target (the name mapping never lets a client name a file beginning with
// "."), removed by the destructor unless it was put in place.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::filesystem::path& folder)
        : path_((folder / ".tftp-XXXXXX").string()), file_(::mkostemp(path_.data(), O_CLOEXEC)) {
        if (file_.get() < 0)
            path_.clear();
    }
    ~TemporaryFile() {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool opened() const { return file_.get() >= 0; }
    int descriptor() const { return file_.get(); }
    const std::string& path() const { return path_; }
    // Closes the file and renames it to target; false with errno set when either fails.
    bool putInPlace(const std::filesystem::path& target) {
        if (!file_.close())
            return false;
        if (::fchmodat(AT_FDCWD, path_.c_str(), 0644, 0) != 0 || ::rename(path_.c_str(), target.c_str()) != 0)
            return false;
        path_.clear();
        return true;
    }

private:
    std::string path_;
    FileDescriptor file_;
};

bool isReadRequest(const TransferRequest& request) {
    return request.direction == TransferDirection::Read;
}

} // namespace

TftpTransfer::TftpTransfer(TftpSocket socket, std::shared_ptr<TransferClient> client, MappedFileName name,
                           const TftpServerOptions& options, int stopDescriptor,
                           std::function<void()> releaseClient)
    : socket_(std::move(socket)), client_(std::move(client)), endpoint_(client_->endpoint),
      request_(client_->request), name_(std::move(name)), options_(options), stopDescriptor_(stopDescriptor),
      releaseClient_(std::move(releaseClient)),
      traceName_("TftpTransfer(" + endpointText(endpoint_) + ", '" + request_.fileName + "')") {}

void TftpTransfer::run() {
    try {
        if (isReadRequest(request_))
            serveRead();
        else
            serveWrite();
    } catch (const std::exception& error) {
        trace("%s: %s\n", traceName_.c_str(), error.what());
    }
    releaseClientOnce();
}

void TftpTransfer::releaseClientOnce() {
    if (releaseClient_) {
        releaseClient_();
        releaseClient_ = nullptr;
    }
}

void TftpTransfer::refuse(TftpErrorCode code, const std::string& text) {
    trace("%s: sends ERROR %u '%s'\n", traceName_.c_str(), static_cast<unsigned>(code), text.c_str());
    socket_.send(TftpPacket::error(code, text).bytes(), endpoint_);
}

void TftpTransfer::serveRead() {
    std::filesystem::path path = options_.directory / name_.relativePath;
    // Non-blocking, so that a FIFO in the directory cannot hold the transfer.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0) {
        auto [code, text] = fileError(errno);
        refuse(code, text);
        return;
    }
    if (!S_ISREG(status.st_mode)) {
        refuse(TftpErrorCode::FileNotFound);
        return;
    }
    trace("%s: read of %s started\n", traceName_.c_str(), path.c_str());
    std::array<std::uint8_t, kTftpBlockSize> block{};
    std::uint16_t number = 1;
    std::uint64_t sent = 0;
    while (true) {
        ssize_t count = readBlock(file.get(), block.data(), block.size());
        if (count < 0) {
            refuse(TftpErrorCode::Undefined, errorText(errno));
            return;
        }
        if (options_.adjustServedBlock)
            options_.adjustServedBlock(ServedBlock{name_.relativePath,
                                                   static_cast<std::uint64_t>(status.st_size), sent,
                                                   std::span(block.data(), static_cast<std::size_t>(count))});
        auto data = TftpPacket::data(number, std::span(block.data(), static_cast<std::size_t>(count)));
        if (static_cast<std::size_t>(count) < kTftpBlockSize)
            client_->requestMayBeRepeated = false; // the last block goes out
        if (sendAndAwait(data, TftpOpcode::Acknowledgement, number) == Await::Ended)
            return;
        sent += static_cast<std::uint64_t>(count);
        if (static_cast<std::size_t>(count) < kTftpBlockSize)
            break;
        ++number; // wraps from 65535 to 0
    }
    trace("%s: read done, %llu bytes sent\n", traceName_.c_str(), static_cast<unsigned long long>(sent));
}

void TftpTransfer::serveWrite() {
    std::filesystem::path target = options_.directory / name_.relativePath;
    std::error_code folderError;
    std::filesystem::create_directories(target.parent_path(), folderError);
    if (folderError) {
        auto [code, text] = fileError(folderError.value());
        refuse(code, text);
        return;
    }
    struct stat status {};
    if (::stat(target.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        refuse(TftpErrorCode::AccessViolation); // a folder or device keeps its name
        return;
    }
    TemporaryFile file(target.parent_path());
    if (!file.opened()) {
        auto [code, text] = fileError(errno);
        refuse(code, text);
        return;
    }
    trace("%s: write of %s started\n", traceName_.c_str(), target.c_str());
    std::uint16_t expected = 1;
    std::uint64_t size = 0;
    auto acknowledgement = TftpPacket::acknowledgement(0);
    while (true) {
        if (sendAndAwait(acknowledgement, TftpOpcode::Data, expected) == Await::Ended)
            return;
        std::size_t count = received_ - kTftpHeaderSize;
        if (size + count > options_.maximumWriteSize) {
            refuse(TftpErrorCode::DiskFull);
            return;
        }
        if (!writeAll(file.descriptor(), buffer_.data() + kTftpHeaderSize, count)) {
            auto [code, text] = fileError(errno);
            refuse(code, text);
            return;
        }
        size += count;
        acknowledgement = TftpPacket::acknowledgement(expected);
        if (count < kTftpBlockSize)
            break;
        ++expected; // wraps from 65535 to 0
    }
    if (options_.checkWrite) {
        if (auto refusal = options_.checkWrite(
                AcceptedWrite{request_.fileName, name_.relativePath, file.path(), size})) {
            refuse(TftpErrorCode::Undefined, *refusal);
            return;
        }
    }
    if (!file.putInPlace(target)) {
        auto [code, text] = fileError(errno);
        refuse(code, text);
        return;
    }
    trace("%s: write done, %llu bytes stored\n", traceName_.c_str(), static_cast<unsigned long long>(size));
    // Told before the last ACK: once the client sees its write succeed, the
    // terminal knows of the new file.
    if (options_.onWriteAccepted)
        options_.onWriteAccepted(AcceptedWrite{request_.fileName, name_.relativePath, target, size});
    socket_.send(acknowledgement.bytes(), endpoint_);
    releaseClientOnce();
    linger(acknowledgement, expected);
}

TftpTransfer::Await TftpTransfer::sendAndAwait(const TftpPacket& packet, TftpOpcode expected,
                                               std::uint16_t block) {
    auto previous = static_cast<std::uint16_t>(block - 1);
    int retries = 0;
    socket_.send(packet.bytes(), endpoint_);
    auto deadline = std::chrono::steady_clock::now() + options_.retransmitTimeout;
    while (true) {
        TftpSocket::Datagram datagram;
        auto result = socket_.receive(buffer_, deadline, stopDescriptor_, datagram);
        if (result == TftpSocket::WaitResult::Stopping) {
            refuse(TftpErrorCode::Undefined, "Terminal shuts down");
            return Await::Ended;
        }
        if (result == TftpSocket::WaitResult::TimedOut) {
            if (++retries > options_.maximumRetries) {
                trace("%s: no answer after %d retries, transfer abandoned\n", traceName_.c_str(),
                      options_.maximumRetries);
                return Await::Ended;
            }
            socket_.send(packet.bytes(), endpoint_);
            deadline = std::chrono::steady_clock::now() + options_.retransmitTimeout;
            continue;
        }
        if (!sameEndpoint(datagram.sender, endpoint_)) {
            trace("%s: packet from %s, not the client\n", traceName_.c_str(),
                  endpointText(datagram.sender).c_str());
            socket_.send(TftpPacket::error(TftpErrorCode::UnknownTransferId).bytes(), datagram.sender);
            continue;
        }
        auto span = std::span<const std::uint8_t>(buffer_.data(), datagram.length);
        auto header = readTftpHeader(span);
        if (!header)
            continue; // a runt: wait on, the time-out resends if needed
        if (header->opcode == static_cast<std::uint16_t>(TftpOpcode::Error)) {
            trace("%s: client sent ERROR %u '%s'\n", traceName_.c_str(), header->word,
                  tftpErrorMessage(span).c_str());
            return Await::Ended;
        }
        if (header->opcode != static_cast<std::uint16_t>(expected) || datagram.truncated) {
            refuse(TftpErrorCode::IllegalOperation);
            return Await::Ended;
        }
        if (header->word == block) {
            client_->requestMayBeRepeated = false;
            received_ = datagram.length;
            return Await::Accepted;
        }
        // A repeated DATA block means that its ACK was lost: acknowledge it
        // again. A repeated ACK is not answered, else every later block would
        // travel twice.
        if (expected == TftpOpcode::Data && header->word == previous)
            socket_.send(packet.bytes(), endpoint_);
    }
}

void TftpTransfer::linger(const TftpPacket& lastAcknowledgement, std::uint16_t lastBlock) {
    auto deadline = std::chrono::steady_clock::now() + options_.retransmitTimeout;
    while (true) {
        TftpSocket::Datagram datagram;
        if (socket_.receive(buffer_, deadline, stopDescriptor_, datagram) != TftpSocket::WaitResult::Received)
            return;
        if (!sameEndpoint(datagram.sender, endpoint_)) {
            socket_.send(TftpPacket::error(TftpErrorCode::UnknownTransferId).bytes(), datagram.sender);
            continue;
        }
        auto header = readTftpHeader(std::span<const std::uint8_t>(buffer_.data(), datagram.length));
        if (header && header->opcode == static_cast<std::uint16_t>(TftpOpcode::Data) &&
            header->word == lastBlock)
            socket_.send(lastAcknowledgement.bytes(), endpoint_);
    }
}

} // namespace kestrix::sim
