#pragma once

// The fields of a configuration block that the terminal keeps enciphered, and
// the one routine that enciphers and deciphers them.
#include "config/config_block.h"
#include "crypto/aes.h"

#include <array>
#include <cstddef>

namespace kestrix {

// One enciphered field: its block offset and width in bytes.
struct SecretField {
    std::size_t offset = 0;
    std::size_t width = 0;
};

// The enciphered fields of one layout, in the order the cipher stream runs
// over them. The first list is enciphered in every block of the layout; the
// second lies in the TCL application area and is enciphered only when the
// terminal has that area (a server's area holds other parameters, in clear).
struct SecretFieldLayout {
    // Setup passwords 1, 2 and 3, then a 48-byte field.
    std::array<SecretField, 4> always;
    // The password for simple access, the password for administrative
    // access, the 16-byte TCL data key and, from "6.20" on, a 32-byte field.
    std::array<SecretField, 4> tclArea;
    std::size_t tclAreaCount = 0;
};

// Blocks from "5.50" (this version index) on have secret fields.
inline constexpr int kFirstSecretFieldIndex = 3;

// The key of the secret-field cipher, the same in every terminal.
inline constexpr AesKey kSecretFieldKey = {0x5e, 0x1c, 0x0a, 0x97, 0xd3, 0xb2, 0xf6, 0x48,
                                           0x0c, 0x7e, 0x19, 0xa2, 0xb4, 0xd6, 0xf8, 0x03};

// The secret fields of a version (a row index of kConfigVersions); nullptr
// for "4.10" to "5.10", which have none, and for an index outside the table.
const SecretFieldLayout* secretFieldLayout(int versionIndex);

// The cipher mode of a version's secret fields: the older mode for "5.50" and
// "5.91", the standard one from "5.92" on.
AesMode secretFieldMode(int versionIndex);

// Enciphers or deciphers (the same operation) the secret fields of a block of
// the given version in place: a fresh key set-up with kSecretFieldKey, then
// one continuous output-feedback stream over the fields in their order, the
// position running on from one field into the next. The TCL application
// area's fields take part only when the owner has that area. A version
// without secret fields leaves the block as it is. Every other byte stays.
void cryptSecretFields(UserParamBlock& block, int versionIndex, const BlockOwner& owner);

} // namespace kestrix
