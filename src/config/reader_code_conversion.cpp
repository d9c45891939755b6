#include "config/reader_code_conversion.h"

#include <array>

namespace kestrix {

namespace {

constexpr std::uint8_t kTypeMask = 0x0F;
constexpr std::uint8_t kFurtherOption = 0x80;
constexpr std::uint8_t kClockData = 0;
constexpr std::uint8_t kSerialStandard = 1;
// The old codes add 8 for the further option.
constexpr std::uint8_t kCodeFurtherOption = 8;
// The code that stands for anything the other form cannot express.
constexpr std::uint8_t kFallbackCode = 1;
constexpr InternalReaderSetting kFallbackSetting{kClockData, 1};

struct CodeRow {
    std::uint8_t code;
    InternalReaderSetting setting;
};

constexpr std::array<CodeRow, 13> kCodeRows{{
    {0, {0, 0}},
    {2, {0, 2}},
    {3, {0, 3}},
    {4, {0, 4}},
    {5, {1, 5}},
    {7, {2, 7}},
    {8, {128, 0}},
    {9, {128, 1}},
    {10, {128, 2}},
    {11, {128, 3}},
    {12, {128, 4}},
    {13, {129, 5}},
    {16, {1, 6}},
}};

} // namespace

InternalReaderSetting readerSettingFromCode(std::uint8_t code) {
    for (const CodeRow& row : kCodeRows)
        if (row.code == code)
            return row.setting;
    return kFallbackSetting;
}

std::uint8_t readerCodeFromSetting(InternalReaderSetting setting) {
    const std::uint8_t option = (setting.type & kFurtherOption) != 0 ? kCodeFurtherOption : 0;
    switch (setting.type & kTypeMask) {
    case kClockData: {
        const bool knownMode =
            setting.mode == 0 || setting.mode == 2 || setting.mode == 3 || setting.mode == 4;
        return static_cast<std::uint8_t>((knownMode ? setting.mode : kFallbackCode) + option);
    }
    case kSerialStandard:
        if (setting.mode == 5)
            return static_cast<std::uint8_t>(5 + option);
        if (setting.mode == 6)
            return 16;
        return kFallbackCode;
    default:
        return kFallbackCode;
    }
}

} // namespace kestrix
