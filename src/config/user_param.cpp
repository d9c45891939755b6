// Reading and validating a configuration block, and the editor's copy.
#include "config/user_param.h"

#include "config/block_bytes.h"
#include "config/secret_fields.h"
#include "config/setup_fields.h"
#include "crypto/crc16_arc.h"
#include "platform/trace.h"
#include "terminal/terminal.h"
#include "tftp/tftp_connection.h"
#include "tftp/tftp_port_range.h"

#include <algorithm>
#include <cstdio>

namespace kestrix {

namespace {

// The three setup passwords, at the same places from "6.00" on.
constexpr std::array<const BlockField*, 3> kSetupPasswords{&setup_field::Password1, &setup_field::Password2,
                                                           &setup_field::Password3};
// The TCL data key, at the same place from "6.10" on.
constexpr std::size_t kDataKeyOffset = setup_field::TclDataKey.offset;

} // namespace

void UserParam::forgetReceived() {
    received_.fill(0);
    receivedLength_ = 0;
}

bool UserParam::getTerminalUserParam(const Terminal& terminal) {
    trace("getTerminalUserParam(%s == %s) startet\n", terminal.IPAddrInUse.c_str(),
          terminal.SerialNumber.c_str());
    forgetReceived();
    transferError_.clear();
    try {
        const TftpPortRange range = tftpPortRange();
        TFTPConnection connection(terminal.tftpAddress(), range.minPort, range.maxPort);
        trace("getTerminalUserParam(%s == %s): got TFTPConnection\n", terminal.IPAddrInUse.c_str(),
              terminal.SerialNumber.c_str());
        receivedLength_ = connection.read(received_.data(), received_.size(),
                                          terminal.terminalPath(kConfigFileName, TerminalPathForm::Read));
    } catch (const TFTPConnection::TFTPError& error) {
        trace("getTerminalUserParam(): TFTP Read Error: ID=%d, Text=%s\n", error.id(), error.text.c_str());
        transferError_ = error.withReason();
        forgetReceived(); // a transfer that overran the buffer leaves it undefined
        return false;
    }
    return acceptReceived(blockOwnerOf(terminal));
}

bool UserParam::getFileUserParam(const std::string& path, const TerminalFields& terminal) {
    return getFileUserParam(path, blockOwnerOf(terminal));
}

bool UserParam::getFileUserParam(const std::string& path, const BlockOwner& owner) {
    forgetReceived();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        trace("getFileUserParam(): %s does not exist\n", path.c_str());
        return false;
    }
    const std::size_t length = std::fread(received_.data(), 1, received_.size(), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        trace("getFileUserParam(): I/O error on %s\n", path.c_str());
        forgetReceived();
        return false;
    }
    receivedLength_ = length;
    return acceptReceived(owner);
}

bool UserParam::acceptReceived(const BlockOwner& owner) {
    const std::span<const std::uint8_t> bytes = receivedBytes();
    const VersionCharacters version = versionCharacters(bytes);
    if (isBigEndianVersion(version.view()))
        m_Do_Swap = true;
    trace("getTerminalUserParam(): talmo.cfg has driver_version: %4.4s (m_Do_Swap: %d)\n",
          version.text.data(), m_Do_Swap ? 1 : 0);
    if (!checkUserParamVersion(bytes))
        return false;
    // Bytes beyond what was received, and beyond the version's length, are zero.
    m_Block.fill(0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), actualLength()), m_Block.begin());
    if (m_Actual_VersionIndex >= kFirstSecretFieldIndex)
        cryptSecretFields(m_Block, m_Actual_VersionIndex, owner);
    return true;
}

bool UserParam::checkUserParamVersion(std::span<const std::uint8_t> block) {
    const VersionCharacters version = versionCharacters(block);
    const std::optional<int> index = configVersionIndex(version.view());
    if (!index) {
        trace("checkUserParamVersion(): talmo.cfg has invalid or unknown driver_version '%4.4s'\n",
              version.text.data());
        return false;
    }
    const std::size_t length = kConfigVersions[static_cast<std::size_t>(*index)].length;
    if (block.size() != length)
        trace(
            "checkUserParamVersion(): talmo.cfg (driver_version '%4.4s') has wrong length (%d must be %d)\n",
            version.text.data(), static_cast<int>(block.size()), static_cast<int>(length));
    const BlockByteOrder order = m_Do_Swap ? BlockByteOrder::BigEndian : BlockByteOrder::LittleEndian;
    const std::optional<std::uint16_t> storedCrc = readUnsigned16(block, length - 2, order);
    trace("checkUserParamVersion(): talmo.cfg: driver_version '%4.4s', file_len: %d, CRC: %u\n",
          version.text.data(), static_cast<int>(block.size()), static_cast<unsigned>(storedCrc.value_or(0)));
    // A big-endian terminal's block is not CRC-checked on reading.
    if (!m_Do_Swap && (!storedCrc || *storedCrc != crc16Arc(block.first(length - 2)))) {
        trace("checkUserParamVersion(): talmo.cfg (driver_version '%4.4s') has CRC error\n",
              version.text.data());
        return false;
    }
    m_Actual_VersionIndex = *index;
    trace("checkUserParamVersion(): Ok, m_Cfg_Versions-Index: %d == '%s'\n", *index, version.text.data());
    return true;
}

std::size_t UserParam::actualLength() const {
    return kConfigVersions[static_cast<std::size_t>(m_Actual_VersionIndex)].length;
}

void UserParam::copyUserParamOut(UserParamBlock& buffer) const {
    buffer = m_Block;
    if (m_Do_Swap)
        swapUserParam(buffer);
}

void UserParam::copyUserParamIn(UserParamBlock& buffer) {
    if (m_Do_Swap)
        swapUserParam(buffer);
    m_Block = buffer;
}

std::string UserParam::getNewestVersion() const {
    for (std::size_t index = kConfigVersions.size(); index-- > 0;)
        if (isBigEndianVersion(kConfigVersions[index].text) == m_Do_Swap)
            return std::string(kConfigVersions[index].text);
    return "0.00";
}

std::string UserParam::getPassword(int kind) const {
    if (m_Actual_VersionIndex < kFirstSecretFieldIndex || kind < 1 || kind > 3)
        return {};
    const BlockField& field = *kSetupPasswords[static_cast<std::size_t>(kind - 1)];
    const auto begin = m_Block.begin() + static_cast<std::ptrdiff_t>(field.offset);
    return std::string(begin, std::find(begin, begin + static_cast<std::ptrdiff_t>(field.width), 0));
}

bool UserParam::getDataKey(std::span<std::uint8_t> destination) const {
    if (m_Actual_VersionIndex < kFirstSecretFieldIndex ||
        destination.size() > m_Block.size() - kDataKeyOffset)
        return false;
    std::copy_n(m_Block.begin() + kDataKeyOffset, destination.size(), destination.begin());
    if (traceOn()) {
        trace("data_key:\n");
        char hex[2 * 16 + 2] = {};
        for (std::size_t index = 0; index < 16; ++index)
            std::snprintf(hex + 2 * index, 3, "%02x", m_Block[kDataKeyOffset + index]);
        trace("%s\n", hex);
    }
    return true;
}

} // namespace kestrix
