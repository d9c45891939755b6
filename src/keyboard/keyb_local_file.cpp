#include "keyboard/keyb_local_file.h"

#include "platform/file_replacement.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace kestrix {

int keybRefusalMessageId(KeybFileRefusal refusal) {
    switch (refusal) {
    case KeybFileRefusal::CannotOpen:
        return 163;
    case KeybFileRefusal::WrongSize:
        return 164;
    case KeybFileRefusal::UnknownFormat:
        return 165;
    case KeybFileRefusal::None:
        break;
    }
    return 0;
}

KeybFileRefusal loadLocalKeybFile(const std::string& path, KeybFile& file) {
    // A FIFO or a device would block the reader (or never end): only regular files are read.
    if (!checkRegularInput(path).empty())
        return KeybFileRefusal::CannotOpen;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!stream)
        return KeybFileRefusal::CannotOpen;
    // One byte more than the buffer holds tells a file that is too long.
    std::vector<std::uint8_t> bytes(kKeybBufferSize + 1);
    const std::size_t length = std::fread(bytes.data(), 1, bytes.size(), stream.get());
    if (std::ferror(stream.get()) != 0 || length > kKeybBufferSize)
        return KeybFileRefusal::WrongSize;
    file.setContents(std::span(bytes).first(length));
    return file.LoadKeybFile(length) ? KeybFileRefusal::None : KeybFileRefusal::UnknownFormat;
}

} // namespace kestrix
