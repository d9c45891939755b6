#pragma once

// The internal reader's setting in the two forms blocks hold it. Up to "6.03"
// it is one code at 974. From "6.10" on it is a pair: the type at 974 (low
// nibble 0 clock-data, 1 serial standard, 2 serial Hitag; bit 7 a further
// option) and the mode at 975, numbered across the types (0-4 clock-data:
// track 1, track 2, track 3, Wiegand, barcode; 5-6 serial standard:
// Standard/Chipcard, DNCIN; 7-12 serial Hitag).
//
// The old codes add 8 for the further option and do not cover every pair: a
// clock-data pair without a code becomes code 1 (9 with the further option),
// any other pair without a code becomes 1 (so the Hitag code 7, which has a
// pair, still comes back as 1), and a code without a pair becomes the pair
// of code 1.
#include <cstdint>

namespace kestrix {

struct InternalReaderSetting {
    std::uint8_t type = 0;
    std::uint8_t mode = 0;
    bool operator==(const InternalReaderSetting&) const = default;
};

// The pair of an old code.
InternalReaderSetting readerSettingFromCode(std::uint8_t code);

// The old code of a pair.
std::uint8_t readerCodeFromSetting(InternalReaderSetting setting);

} // namespace kestrix
