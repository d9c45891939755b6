// Feeds any bytes to the word reader and the serial number reader, as a
// datagram from the network would reach them.
#include "protocol/word_reader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    kestrix::WordReader reader(text);
    std::size_t consumed = 0;
    while (auto word = reader.next()) {
        if (word->size() > size)
            __builtin_trap(); // a word can never be longer than the text
        if (++consumed > size + 1)
            __builtin_trap(); // every word uses up at least one character
    }
    kestrix::replySerialNumber(text);
    return 0;
}
