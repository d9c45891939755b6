#pragma once

#include "crypto/aes.h"

#include <array>
#include <cstdint>
#include <optional>

namespace kestrix {

// The PIN-code verification key: 32 bytes.
using PinCodeKey = std::array<std::uint8_t, 32>;

// The keys the setup editor holds until it writes the block: the host key and
// the two LBus keys that CSetEncrypt made, and the PIN-code verification key
// that CSetPrivkey took. An empty slot means no key was made in this editor;
// the pages that own a key's field copy a set one into the working copy.
struct SetupPendingKeys {
    std::optional<AesKey> host;
    std::array<std::optional<AesKey>, 2> lbus; // LBus 1 and LBus 2
    std::optional<PinCodeKey> pinCode;
};

} // namespace kestrix
