#pragma once

// The readers of a terminal as its configuration block describes them: the
// reader types that the LBus pages offer, the LBus security dialog enables
// and the simulator's reader bus knows, and which of the readers 0 to 16 the
// security functions (key transfer, parameter card, reader updates) serve.
//
// Readers 1-8 are on LBus1 and readers 9-16 on LBus2. Each bus has one
// reader type and a byte of selected readers (the field map's lbus fields);
// reader 0 is the internal reader, served when it is a serial standard
// reader in Standard/Chipcard mode. It does not show or edit anything.
#include "config/config_block.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace kestrix {

// Whether the security functions serve the readers of a type.
enum class ReaderSecurity { Served, NotServed };

// One reader type: its code in a bus's reader-type byte, a short key for the
// command line and the simulator's configuration, and its name in English and
// in German (the LBus pages' list).
struct ReaderType {
    std::uint8_t code;
    std::string_view key;
    std::string_view name;
    ReaderSecurity security;
    std::string_view germanName;
};

inline constexpr int kLbusReaders = 16;
inline constexpr int kReadersPerBus = 8;
inline constexpr std::uint8_t kNoReaderType = 0;

// Every reader type, ordered by code; a code is also its index.
std::span<const ReaderType> readerTypes();
// The type of a code or key, or nullptr.
const ReaderType* readerTypeByCode(std::uint8_t code);
const ReaderType* readerTypeByKey(std::string_view key);

// The bus (1 or 2) of reader 1-16.
int lbusOfReader(int reader);
// The type of reader 1-16: its bus's reader type when the reader is selected
// there, else kNoReaderType (also for a number outside 1-16).
std::uint8_t lbusReaderType(const UserParamBlock& block, int reader);
// Whether the security functions serve reader 0-16 of the block.
bool readerServed(const UserParamBlock& block, int reader);

} // namespace kestrix
