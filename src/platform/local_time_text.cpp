#include "platform/local_time_text.h"

namespace kestrix {

std::tm localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::string dateTimeText(const std::tm& time) {
    char text[64] = {};
    std::strftime(text, sizeof text, "%d.%m.%Y, %H:%M:%S", &time);
    return text;
}

} // namespace kestrix
