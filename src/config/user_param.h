#pragma once

#include "config/config_block.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kestrix {

class Terminal;
class TerminalFields;

// The byte order of a block's 16- and 32-bit fields and its CRC.
enum class BlockByteOrder { LittleEndian, BigEndian };

// One configuration block ("talmo.cfg") of one terminal, with its version
// index and byte-order flag. It fetches the block from the terminal by TFTP
// or reads it from a local file, validates it (version, length, CRC),
// deciphers its secret fields, converts it to another version and writes it
// back to the terminal or to a local file, enciphered and with a fresh CRC.
//
// The block held is always deciphered: writing enciphers a copy, so a block
// may be written any number of times, to the terminal and to files. A fetch
// or file read that fails validation leaves the block held and its version
// index as they were. Every operation reports failure by returning false and
// writing a trace line; none shows a message. Each cipher pass starts with a
// fresh key set-up, so no cipher state outlives a pass. Used by one thread;
// TFTP calls and the waits of a write block it.
//
// It does not interpret the parameters (the setup editor does) and does not
// convert between byte orders: the byte-order flag follows the block read,
// and a conversion only moves fields.
class UserParam {
public:
    // A zeroed block, index 0, flag clear. It becomes valid by a successful
    // fetch or file read.
    UserParam() = default;
    virtual ~UserParam() = default;
    UserParam(const UserParam&) = default;
    UserParam& operator=(const UserParam&) = default;

    // --- Reading ---

    // Fetches the terminal's talmo.cfg by TFTP (once, no retry), validates it
    // and deciphers its secret fields.
    bool getTerminalUserParam(const Terminal& terminal);
    // Reads up to 1242 bytes from a local file and does the same.
    bool getFileUserParam(const std::string& path, const TerminalFields& terminal);
    bool getFileUserParam(const std::string& path, const BlockOwner& owner);
    // Validates a block as received (its size is the length received): a
    // known version, and for a little-endian block (flag clear) the CRC at
    // the version's length. A wrong length alone is traced, not refused.
    // Nothing beyond the given bytes is read: a CRC that would lie beyond
    // them fails. On success sets the version index.
    bool checkUserParamVersion(std::span<const std::uint8_t> block);
    // What the last fetch or file read delivered, exactly as it came (the
    // secret fields enciphered as on the terminal); empty after a failed
    // transfer or read.
    std::span<const std::uint8_t> receivedBytes() const {
        return std::span(received_).first(receivedLength_);
    }

    // --- Converting ---

    // Converts the block held to another version of the version table, step
    // by step; the terminal supplies the properties some steps read.
    bool setUserParamVersion(std::string_view newVersion, const TerminalFields& terminal);
    bool setUserParamVersion(std::string_view newVersion, const BlockOwner& owner);

    // --- Writing ---

    // Writes the block, enciphered and with its CRC in the block's byte
    // order, as "[SN]" + the read name: up to four attempts 1 s apart, and a
    // wait of 6 s after the one that succeeds (through the platform pause).
    bool setTerminalUserParam(const Terminal& terminal);
    // Writes the block the same way into a local file. The bytes go into a
    // new file beside it first, which replaces the file only once it is
    // complete, so a failed write leaves an existing file as it was.
    // The file holds the setup passwords and the TCL key: a new one is made
    // readable by its owner only. On failure fileError() says why.
    bool setFileUserParam(const std::string& path, const TerminalFields& terminal);
    bool setFileUserParam(const std::string& path, const BlockOwner& owner);
    const std::string& fileError() const { return fileError_; }
    // Why the last fetch from a terminal failed (the transfer's message, with
    // the system's reason); empty after one that succeeded.
    const std::string& transferError() const { return transferError_; }

    // --- The editor's copy ---

    // All 1242 bytes out, in this machine's byte order (swapUserParam under
    // the byte-order flag).
    void copyUserParamOut(UserParamBlock& buffer) const;
    // All 1242 bytes in; under the byte-order flag the caller's buffer is
    // first swapped in place.
    void copyUserParamIn(UserParamBlock& buffer);
    // Reverses the bytes of the 16- and 32-bit fields of the "6.20" layout
    // that the terminal stores in its own byte order; nothing else.
    static void swapUserParam(UserParamBlock& buffer);

    // --- Values ---

    // "6.20" for a little-endian block, "6.21" for a big-endian one: the
    // newest version of the block's byte order.
    std::string getNewestVersion() const;
    // Setup password 1 (6 characters), 2 or 3 (8 characters each) of a block
    // of "5.50" or later, up to its first zero byte; empty for any other kind
    // or an older block. The offsets are those of "6.00" and later.
    std::string getPassword(int kind) const;
    // Copies the TCL data key (from block offset 1072, the "6.10" and later
    // layouts) into the destination, whose size is the number of bytes (16 in
    // use). False for a block older than "5.50" or a destination that would
    // reach beyond the block.
    bool getDataKey(std::span<std::uint8_t> destination) const;

    int actualVersionIndex() const { return m_Actual_VersionIndex; }
    // The version's length in bytes.
    std::size_t actualLength() const;
    BlockByteOrder byteOrder() const {
        return m_Do_Swap ? BlockByteOrder::BigEndian : BlockByteOrder::LittleEndian;
    }
    // The block held, deciphered, in the block's byte order.
    const UserParamBlock& block() const { return m_Block; }

private:
    // Steps 4 and 5 of a fetch on the received bytes.
    bool acceptReceived(const BlockOwner& owner);
    // Whether the block's first four bytes are its index's version (false
    // for a block that was never read).
    bool holdsValidBlock(const char* operation) const;
    // The bytes to write: the block with its secret fields enciphered and its CRC.
    UserParamBlock writeImage(const BlockOwner& owner) const;
    void forgetReceived();

    UserParamBlock m_Block{};
    int m_Actual_VersionIndex = 0;
    bool m_Do_Swap = false; // set by a fetch or file read of a big-endian block, never cleared
    UserParamBlock received_{};
    std::size_t receivedLength_ = 0;
    std::string fileError_;
    std::string transferError_;
};

} // namespace kestrix
