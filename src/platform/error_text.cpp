#include "platform/error_text.h"

#include <cstdio>
#include <cstring>

namespace kestrix {

std::string errorText(int code) {
    const char* text = nullptr;
    if (code > 0 && code != kErrorTooManyPosts)
        text = strerrordesc_np(code);
    if (text != nullptr)
        return text;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "Unknown error from GetLastError(): %ul\n", static_cast<unsigned>(code));
    return buffer;
}

} // namespace kestrix
