// Writing a configuration block to the terminal or to a local file.
#include "config/block_bytes.h"
#include "platform/file_replacement.h"
#include "config/secret_fields.h"
#include "config/user_param.h"
#include "crypto/crc16_arc.h"
#include "platform/pause.h"
#include "platform/trace.h"
#include "terminal/terminal.h"
#include "tftp/tftp_connection.h"
#include "tftp/tftp_port_range.h"

#include <algorithm>
#include <string>

namespace kestrix {

namespace {

constexpr int kWriteAttempts = 4;
constexpr int kRetryPauseMilliseconds = 1000;
// The terminal takes the new block over after the transfer.
constexpr int kSettlePauseMilliseconds = 6000;

} // namespace

bool UserParam::holdsValidBlock(const char* operation) const {
    const std::string_view version = kConfigVersions[static_cast<std::size_t>(m_Actual_VersionIndex)].text;
    if (std::equal(version.begin(), version.end(), m_Block.begin()))
        return true;
    // A block that was never read (or whose version bytes were overwritten)
    // would reach the terminal without a valid version.
    trace("%s: no valid configuration block held (driver_version '%4.4s', index %d)\n", operation,
          versionCharacters(m_Block).text.data(), m_Actual_VersionIndex);
    return false;
}

UserParamBlock UserParam::writeImage(const BlockOwner& owner) const {
    UserParamBlock image = m_Block;
    if (m_Actual_VersionIndex >= kFirstSecretFieldIndex)
        cryptSecretFields(image, m_Actual_VersionIndex, owner);
    const std::size_t length = actualLength();
    writeUnsigned16(image, length - 2, crc16Arc(std::span(image).first(length - 2)), byteOrder());
    return image;
}

bool UserParam::setTerminalUserParam(const Terminal& terminal) {
    trace("setTerminalUserParam(): m_Actual_VersionIndex %d\n", m_Actual_VersionIndex);
    if (!holdsValidBlock("setTerminalUserParam()"))
        return false;
    const UserParamBlock image = writeImage(blockOwnerOf(terminal));
    const std::string remoteName = terminal.terminalPath(kConfigFileName, TerminalPathForm::Write);
    for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
        try {
            const TftpPortRange range = tftpPortRange();
            TFTPConnection connection(terminal.tftpAddress(), range.minPort, range.maxPort);
            trace("setTerminalUserParam(): got TFTPConnection for IP Address: %s, Seriennummer: %s\n",
                  terminal.IPAddrInUse.c_str(), terminal.SerialNumber.c_str());
            connection.write(image.data(), actualLength(), remoteName);
        } catch (const TFTPConnection::TFTPError& error) {
            // The connection is released when the exception leaves its scope.
            trace("setTerminalUserParam(): TFTP Write Error: ID=%d, Text=%s\n", error.id(),
                  error.text.c_str());
            if (attempt < kWriteAttempts)
                pause(kRetryPauseMilliseconds);
            continue;
        }
        pause(kSettlePauseMilliseconds);
        return true;
    }
    return false;
}

bool UserParam::setFileUserParam(const std::string& path, const TerminalFields& terminal) {
    return setFileUserParam(path, blockOwnerOf(terminal));
}

bool UserParam::setFileUserParam(const std::string& path, const BlockOwner& owner) {
    if (!holdsValidBlock("setFileUserParam()"))
        return false;
    const UserParamBlock image = writeImage(owner);
    // Writing over the file itself would lose the copy there when the write
    // fails half way; the file is replaced only once the new one is complete.
    FileReplacement replacement(path, FileSecrecy::OwnerOnly);
    if (!replacement.isOpen()) {
        fileError_ = replacement.error();
        trace("setFileUserParam(): Cannot open %s for writing\n", path.c_str());
        return false;
    }
    if (!replacement.write(std::span(image).first(actualLength())) || !replacement.commit()) {
        fileError_ = replacement.error();
        trace("setFileUserParam(): I/O error on %s\n", path.c_str());
        return false;
    }
    fileError_.clear();
    return true;
}

} // namespace kestrix
