#pragma once

// The terminal's answers to the reader bus commands, read into numbers and
// texts: the per-reader entries of a key transfer ("rkt") or card
// configuration ("rccfg") answer, the first number of an update's execute
// answer, and the "N=code" entries of a status answer; plus the message-table
// entries of the start and reader status codes. Pure functions: they show
// nothing and send nothing.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

inline constexpr int kLowestReader = 0;
inline constexpr int kHighestReader = 16;

// A reader's line of a key transfer or card configuration answer.
struct ReaderAnswerEntry {
    int reader;
    std::string text; // one word, or two separated by a blank
};
// Every "<prefix>N=word [word]" occurrence with N in 0-16, in the answer's order.
std::vector<ReaderAnswerEntry> readReaderEntries(std::string_view answer, std::string_view prefix);

// One "N=code" entry of a status answer.
struct ReaderStatusEntry {
    int reader;
    int code;
};
struct ReaderStatusAnswer {
    std::vector<ReaderStatusEntry> entries; // readers 0-16 only
    int malformed = 0;                      // entries that do not read as "%d=%d"
};
ReaderStatusAnswer readStatusAnswer(std::string_view answer);

// The first decimal number of an execute answer, if there is one.
std::optional<int> readStartStatus(std::string_view answer);
// The message-table entry explaining an execute answer's status (0 or less).
int startStatusMessage(std::optional<int> status);
// The message-table entry of a reader's status code in a status answer.
int readerStatusMessage(int code);
// Whether a reader with this status code is still busy (1 or more, not 100).
bool readerStillPending(int code);

} // namespace kestrix
