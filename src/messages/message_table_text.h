#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

// Number of entries of the message table: ids 0 to 581.
inline constexpr int kMessageCount = 582;

// One entry of the message table.
struct MessagePair {
    std::string german;
    std::string english;
};

// The outcome of reading the message table text: all entries in id order, or
// the first fault and its line (counted from 1).
struct MessageTableReading {
    std::vector<MessagePair> entries;
    std::size_t faultLine = 0;
    std::string fault; // empty when the whole text was read

    bool ok() const { return fault.empty(); }
};

// Reads the text form of the message table (the file messages.tsv): one line
// per entry, "id<TAB>German<TAB>English", the ids 0 to expectedCount - 1 in
// ascending order, each line ended by a line feed (the last one may lack it).
// Inside a text "\n", "\t", "\r" and "\\" stand for a line feed, a tab, a
// carriage return and a backslash. A fault is: another backslash sequence, a
// raw control character (the file must have LF line ends), a wrong number of
// fields, an id out of order, an empty text, a text that is not UTF-8, or a
// table that ends early or runs on. Reading stops at the first fault.
//
// This checks only the form of the table; which dialog shows which id is the
// business of the dialogs (see docs/MESSAGES.md).
MessageTableReading readMessageTable(std::string_view text, std::size_t expectedCount);

// Decodes the escapes of one text field as above; nothing when the field
// holds an unknown escape or ends with a lone backslash.
std::optional<std::string> decodeMessageText(std::string_view field);

// The text of messages.tsv as compiled into the program. Defined by the
// source file that the build generates from messages.tsv.
std::string_view messageTableText();

} // namespace kestrix
