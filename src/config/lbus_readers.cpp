#include "config/lbus_readers.h"

#include "config/setup_fields.h"

#include <algorithm>
#include <array>

namespace kestrix {

namespace {

constexpr std::array<ReaderType, 7> kReaderTypes{{
    {0, "none", "no reader", ReaderSecurity::NotServed, "kein Leser"},
    {1, "card", "card reader", ReaderSecurity::Served, "Kartenleser"},
    {2, "clock-data", "clock-data reader", ReaderSecurity::NotServed, "Takt-Daten-Leser"},
    {3, "wiegand", "Wiegand reader", ReaderSecurity::NotServed, "Wiegand-Leser"},
    {4, "card-keypad", "card reader with keypad", ReaderSecurity::Served, "Kartenleser mit Tastatur"},
    {5, "keypad", "keypad", ReaderSecurity::NotServed, "Tastatur"},
    {6, "dcu4-card", "card reader of the DCU4 kind", ReaderSecurity::Served, "Kartenleser der DCU4-Art"},
}};

// The internal reader's type (low nibble) and mode that the security functions serve.
constexpr std::uint8_t kServedInternalType = 1; // serial standard
constexpr std::uint8_t kServedInternalMode = 5; // Standard/Chipcard

} // namespace

std::span<const ReaderType> readerTypes() {
    return kReaderTypes;
}

const ReaderType* readerTypeByCode(std::uint8_t code) {
    return code < kReaderTypes.size() ? &kReaderTypes[code] : nullptr;
}

const ReaderType* readerTypeByKey(std::string_view key) {
    const auto found = std::ranges::find(kReaderTypes, key, &ReaderType::key);
    return found == kReaderTypes.end() ? nullptr : &*found;
}

int lbusOfReader(int reader) {
    return reader <= kReadersPerBus ? 1 : 2;
}

std::uint8_t lbusReaderType(const UserParamBlock& block, int reader) {
    if (reader < 1 || reader > kLbusReaders)
        return kNoReaderType;
    const bool first = lbusOfReader(reader) == 1;
    const BlockField& readers = first ? setup_field::Lbus1Readers : setup_field::Lbus2Readers;
    const BlockField& type = first ? setup_field::Lbus1ReaderType : setup_field::Lbus2ReaderType;
    const int bit = (reader - 1) % kReadersPerBus;
    return (block[readers.offset] >> bit & 1) != 0 ? block[type.offset] : kNoReaderType;
}

bool readerServed(const UserParamBlock& block, int reader) {
    if (reader == 0)
        return (block[setup_field::InternalReaderType.offset] & 0x0F) == kServedInternalType &&
               block[setup_field::InternalReaderMode.offset] == kServedInternalMode;
    const ReaderType* type = readerTypeByCode(lbusReaderType(block, reader));
    return type != nullptr && type->security == ReaderSecurity::Served;
}

} // namespace kestrix
