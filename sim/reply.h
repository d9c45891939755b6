#pragma once

#include "sim/commands.h"
#include "sim/terminal_config.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix::sim {

// The most a reply datagram may hold: the program reads no more.
inline constexpr std::size_t kMaxReplyBytes = 1024;

// The words at the start of every reply: "TALMO", the product words, the
// third word and the serial number.
std::vector<std::string> replyHead(const TerminalConfig& config);

// The words that follow the reply head in the identification line of the
// find and echo replies: in application mode the kind word (when there is one)
// and the firmware version, in monitor mode the monitor words and the monitor
// version (the versions as the terminal runs them now).
std::vector<std::string> identificationWords(const TerminalConfig& config, const TerminalState& state);

// A word sent quoted with single quotes (a quote inside is doubled), so that
// the word reader reads it back as one word, blanks included.
std::string quoted(std::string_view text);

// Lays out one reply datagram: the fields one after the other, each followed
// by one zero byte (so the datagram ends with a zero byte, as a request does).
// A field may hold any bytes, zero bytes included (the EEPROM contents).
// Nothing when the datagram would exceed kMaxReplyBytes.
std::optional<std::string> replyDatagram(const std::vector<std::string>& fields);

} // namespace kestrix::sim
