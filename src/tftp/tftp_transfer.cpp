// The four transfers of TFTPConnection: reading into a file or memory,
// writing from a file or memory.
#include "platform/error_text.h"
#include "platform/trace.h"
#include "tftp/tftp_connection.h"
#include "tftp/tftp_operation.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace kestrix {
namespace {

const TftpOperation kReadFile{
    "TFTPConnection::read(file)", kOpcodeData, 10000, 1, "", "", "", "ack\n", RepeatAnswer::EveryTime,
};
const TftpOperation kReadMemory{
    "TFTPConnection::read(mem,file)", kOpcodeData, 10000, 1, "", "\n", "", "ack\n", RepeatAnswer::EveryTime,
};
const TftpOperation kWriteFile{
    "TFTPConnection::write(file)", kOpcodeAcknowledge, 25000, 2, "\n", "\n", "\n", "data",
    RepeatAnswer::WhenLate,
};
const TftpOperation kWriteMemory{
    "TFTPConnection::write(mem)", kOpcodeAcknowledge, 25000, 2, "", "\n", "\n", "data",
    RepeatAnswer::WhenLate,
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

std::uint64_t roundedUpKiB(std::uint64_t bytes) {
    return (bytes + 1023) / 1024;
}

// Closes the file and answers the error of its last buffered write, 0 when none.
int closeFile(FileHandle& file) {
    const int result = std::fclose(file.release());
    return result == 0 ? 0 : errno;
}

} // namespace

bool TFTPConnection::receiveBlocks(const TftpOperation& operation, std::FILE* file,
                                   const std::string& localName, std::uint8_t* buffer, std::size_t bufferSize,
                                   std::uint64_t& received, bool& overflow) {
    std::uint16_t expected = 1;
    std::uint16_t lastAccepted = 0;
    int timeouts = 0;
    bool success = false;
    for (;;) {
        if (exchange(operation, expected, timeouts) == Exchange::Failed)
            break;
        const std::size_t dataLength = incomingLength_ - 4;
        const std::uint8_t* data = incoming_.data() + 4;
        lastAccepted = expected;
        if (file != nullptr) {
            if (std::fwrite(data, 1, dataLength, file) != dataLength) {
                const int error = errno;
                try {
                    tftp_nak(100 + error);
                } catch (const TFTPError&) {
                    // The write failure is the reason that counts.
                }
                record("File '%s' cannot be written: %s (%d)", localName.c_str(), errorText(error).c_str(),
                       error);
                break;
            }
            received += dataLength;
        } else if (!overflow) {
            if (dataLength > bufferSize - received) {
                record("%s: received packet exceeds buffer size %zu", operation.prefix, bufferSize);
                overflow = true;
                received = 0;
            } else if (dataLength > 0) {
                std::memcpy(buffer + received, data, dataLength);
                received += dataLength;
            }
        }
        // Past a buffer overflow the count goes on, so that a server that
        // stops answering still ends the transfer after the stated waits.
        if (!overflow)
            timeouts = 0;
        if (dataLength < kBlockSize) {
            success = !overflow;
            break;
        }
        buildAcknowledge(expected);
        ++expected;
    }
    // The final acknowledgement goes out once, whatever the outcome.
    buildAcknowledge(lastAccepted);
    ::sendto(socket_, outgoing_.data(), outgoingLength_, 0, reinterpret_cast<const sockaddr*>(&peerAddress_),
             sizeof peerAddress_);
    return success;
}

bool TFTPConnection::sendBlocks(const TftpOperation& operation, std::FILE* file, const std::uint8_t* data,
                                std::size_t length, TransferProgress* progress, int slot,
                                std::uint64_t& sent) {
    std::uint16_t block = 0;
    std::size_t outstandingData = 0;
    bool dataOutstanding = false;
    std::uint64_t reportedKiB = 0;
    int timeouts = 0;
    for (;;) {
        const Outgoing outgoing =
            dataOutstanding && outstandingData < kBlockSize ? Outgoing::LastBlock : Outgoing::Other;
        if (exchange(operation, block, timeouts, outgoing) == Exchange::Failed)
            return false;
        timeouts = 0;
        if (dataOutstanding) {
            sent += outstandingData;
            if (progress != nullptr && sent / 1024 != reportedKiB) {
                reportedKiB = sent / 1024;
                progress->slotValue(slot, ProgressValue::SentKiB, reportedKiB);
            }
            // A full block is followed by another one, an empty one at the end.
            if (outstandingData < kBlockSize)
                return true;
        }
        ++block;
        std::uint8_t* payload = outgoing_.data() + 4;
        if (file != nullptr) {
            outstandingData = std::fread(payload, 1, kBlockSize, file);
            if (outstandingData < kBlockSize && std::ferror(file)) {
                const int error = errno;
                try {
                    tftp_nak(100 + error);
                } catch (const TFTPError&) {
                    // The read failure is the reason that counts.
                }
                return false;
            }
        } else {
            outstandingData = std::min(kBlockSize, length - static_cast<std::size_t>(sent));
            if (outstandingData > 0)
                std::memcpy(payload, data + sent, outstandingData);
        }
        outgoing_[0] = 0;
        outgoing_[1] = static_cast<std::uint8_t>(kOpcodeData);
        outgoing_[2] = static_cast<std::uint8_t>(block >> 8);
        outgoing_[3] = static_cast<std::uint8_t>(block & 0xff);
        outgoingLength_ = 4 + outstandingData;
        dataOutstanding = true;
    }
}

void TFTPConnection::read(const std::string& localName, const std::string& remoteName) {
    trace("TFTPConnection::read(file) called with local='%s' and remote='%s'\n", localName.c_str(),
          remoteName.c_str());
    lastMessage_[0] = '\0';
    FileHandle file(std::fopen(localName.c_str(), "wb"));
    if (!file) {
        const int error = errno;
        record("TFTPConnection::read(file): File '%s' cannot be written: %s (%d)", localName.c_str(),
               errorText(error).c_str(), error);
        trace("%s\n", lastMessage_.data());
        throw TFTPError(2, lastMessage(), lastSystemError_);
    }
    std::uint64_t received = 0;
    bool overflow = false;
    bool success = requestFits(kReadFile, remoteName);
    if (success) {
        buildRequest(kOpcodeReadRequest, remoteName);
        success = receiveBlocks(kReadFile, file.get(), localName, nullptr, 0, received, overflow);
    }
    const int closeError = closeFile(file);
    if (success && closeError != 0) {
        // A buffered write that fails only at the close loses the file's end.
        record("File '%s' cannot be written: %s (%d)", localName.c_str(), errorText(closeError).c_str(),
               closeError);
        success = false;
    }
    if (!success) {
        if (lastMessage_[0] == '\0')
            record("TFTPConnection::read(file) not successful: received %lu Bytes (local='%s', remote='%s')",
                   static_cast<unsigned long>(received), localName.c_str(), remoteName.c_str());
        trace("%s\n", lastMessage_.data());
        throw TFTPError(4, lastMessage(), lastSystemError_);
    }
    trace("TFTPConnection::read(file) successful: received %lu Bytes (local='%s', remote='%s')\n",
          static_cast<unsigned long>(received), localName.c_str(), remoteName.c_str());
}

std::size_t TFTPConnection::read(std::uint8_t* buffer, std::size_t bufferSize,
                                 const std::string& remoteName) {
    trace("TFTPConnection::read(%s) startet\n", remoteName.c_str());
    lastMessage_[0] = '\0';
    std::uint64_t received = 0;
    bool overflow = false;
    bool success = requestFits(kReadMemory, remoteName);
    if (success) {
        buildRequest(kOpcodeReadRequest, remoteName);
        success = receiveBlocks(kReadMemory, nullptr, {}, buffer, buffer == nullptr ? 0 : bufferSize,
                                received, overflow);
    }
    if (!success) {
        trace("%s\n", lastMessage_.data());
        throw TFTPError(overflow ? 2 : 4, lastMessage(), lastSystemError_);
    }
    trace("TFTPConnection::read(%s) successful (len %lu bytes)\n", remoteName.c_str(),
          static_cast<unsigned long>(received));
    return static_cast<std::size_t>(received);
}

void TFTPConnection::write(const std::string& localName, const std::string& remoteName,
                           TransferProgress* progress, int slot) {
    trace("TFTPConnection::write(file) called with local='%s' and remote='%s'\n", localName.c_str(),
          remoteName.c_str());
    lastMessage_[0] = '\0';
    // A file that cannot be opened fails the same way with or without an
    // observer: a firmware update must not count a missing file as sent.
    FileHandle file(std::fopen(localName.c_str(), "rb"));
    if (!file) {
        const int error = errno;
        record("TFTPConnection::write(file): File '%s' cannot be read: %s (%d)", localName.c_str(),
               errorText(error).c_str(), error);
        trace("%s\n", lastMessage_.data());
        throw TFTPError(2, lastMessage(), lastSystemError_);
    }
    if (progress != nullptr) {
        std::fseek(file.get(), 0, SEEK_END);
        const long size = std::ftell(file.get());
        std::rewind(file.get());
        progress->slotLabel(slot, localName + ":");
        progress->slotValue(slot, ProgressValue::TotalKiB,
                            roundedUpKiB(size < 0 ? 0 : static_cast<std::uint64_t>(size)));
    }
    std::uint64_t sent = 0;
    bool success = requestFits(kWriteFile, remoteName);
    if (success) {
        buildRequest(kOpcodeWriteRequest, remoteName);
        success = sendBlocks(kWriteFile, file.get(), nullptr, 0, progress, slot, sent);
    }
    file.reset();
    if (!success) {
        if (lastMessage_[0] == '\0')
            record("TFTPConnection::write(file) not successful: sent %lu Bytes (local='%s', remote='%s')",
                   static_cast<unsigned long>(sent), localName.c_str(), remoteName.c_str());
        trace("%s\n", lastMessage_.data());
        throw TFTPError(3, lastMessage(), lastSystemError_);
    }
    if (progress != nullptr)
        progress->slotValue(slot, ProgressValue::SentKiB, roundedUpKiB(sent));
    trace("TFTPConnection::write(file) successful: sent %lu Bytes (local='%s', remote='%s')\n",
          static_cast<unsigned long>(sent), localName.c_str(), remoteName.c_str());
}

void TFTPConnection::write(const std::uint8_t* data, std::size_t length, const std::string& remoteName,
                           TransferProgress* progress, int slot, const std::string& displayName) {
    trace("TFTPConnection::write(%s) startet\n", remoteName.c_str());
    lastMessage_[0] = '\0';
    if (data == nullptr)
        length = 0;
    if (progress != nullptr) {
        progress->slotLabel(slot, displayName + ":");
        progress->slotValue(slot, ProgressValue::TotalKiB, roundedUpKiB(length));
    }
    std::uint64_t sent = 0;
    bool success = requestFits(kWriteMemory, remoteName);
    if (success) {
        buildRequest(kOpcodeWriteRequest, remoteName);
        success = sendBlocks(kWriteMemory, nullptr, data, length, progress, slot, sent);
    }
    if (!success) {
        trace("%s\n", lastMessage_.data());
        throw TFTPError(3, lastMessage(), lastSystemError_);
    }
    if (progress != nullptr)
        progress->slotValue(slot, ProgressValue::SentKiB, roundedUpKiB(sent));
    trace("TFTPConnection::write(%s) successful (len %lu bytes)\n", remoteName.c_str(),
          static_cast<unsigned long>(sent));
}

} // namespace kestrix
