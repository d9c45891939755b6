#include "crypto/aes_ofb.h"

#include <stdexcept>

namespace kestrix {

std::uint8_t aesOfbStream(AesMode mode, std::span<std::uint8_t> bytes, AesContext& context) {
    return aesOfbStream(mode, std::span<const std::uint8_t>(bytes), bytes, context);
}

std::uint8_t aesOfbStream(AesMode mode, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                          AesContext& context) {
    if (input.size() != output.size())
        throw std::length_error("aesOfbStream: output size differs from input size");
    // A position outside 0-15 can only come from a context changed by hand;
    // it is taken modulo 16 so that the register is never read out of bounds.
    unsigned position = context.position % 16u;
    for (std::size_t index = 0; index < input.size(); ++index) {
        if (position == 0)
            aesEncryptBlock(mode, context.feedback, context.feedback, context);
        output[index] = static_cast<std::uint8_t>(input[index] ^ context.feedback[position]);
        position = (position + 1) % 16u;
    }
    context.position = static_cast<std::uint8_t>(position);
    return context.position;
}

} // namespace kestrix
