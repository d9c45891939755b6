// Feeds any bytes to the readers of the reader bus answers, as the text after
// the command word of a terminal's reply would reach them, and checks what
// they give back: readers 0-16 only, texts taken from the answer, and the
// message of every start and reader status inside the table.
#include "check.h"
#include "reader_security/lbus_answers.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

void checkEntries(std::string_view answer, std::string_view prefix) {
    for (const kestrix::ReaderAnswerEntry& entry : kestrix::readReaderEntries(answer, prefix)) {
        check(entry.reader >= kestrix::kLowestReader && entry.reader <= kestrix::kHighestReader);
        check(!entry.text.empty() && entry.text.size() <= answer.size());
        check(entry.text.front() != ' ');
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view answer(reinterpret_cast<const char*>(data), size);
    checkEntries(answer, "rkt");
    checkEntries(answer, "rccfg");
    const kestrix::ReaderStatusAnswer status = kestrix::readStatusAnswer(answer);
    check(status.entries.size() + static_cast<std::size_t>(status.malformed) <= size);
    for (const kestrix::ReaderStatusEntry& entry : status.entries) {
        check(entry.reader >= kestrix::kLowestReader && entry.reader <= kestrix::kHighestReader);
        const int message = kestrix::readerStatusMessage(entry.code);
        check(message >= 541 && message <= 558);
        check(kestrix::readerStillPending(entry.code) == (entry.code >= 1 && entry.code != 100));
    }
    const int start = kestrix::startStatusMessage(kestrix::readStartStatus(answer));
    check(start >= 531 && start <= 540);
    return 0;
}
