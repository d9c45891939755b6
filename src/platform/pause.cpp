#include "platform/pause.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>

namespace kestrix {

namespace {

std::atomic<long long> pausedMicroseconds{0};

} // namespace

double parseTimeScale(const char* text) {
    if (text == nullptr || *text == '\0')
        return 1.0;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(value) || value <= 0.0 || value > 1000.0)
        return 1.0;
    return value;
}

double timeScale() {
    static const double scale = parseTimeScale(std::getenv("KESTRIX_TIME_SCALE"));
    return scale;
}

std::chrono::microseconds scaledPause(int milliseconds) {
    if (milliseconds <= 0)
        return std::chrono::microseconds::zero();
    double micros = static_cast<double>(milliseconds) * 1000.0 * timeScale();
    return std::chrono::microseconds(static_cast<long long>(std::llround(micros)));
}

void pause(int milliseconds) {
    auto length = scaledPause(milliseconds);
    if (length > std::chrono::microseconds::zero()) {
        pausedMicroseconds.fetch_add(length.count(), std::memory_order_relaxed);
        std::this_thread::sleep_for(length);
    }
}

std::chrono::microseconds pausedInTotal() {
    return std::chrono::microseconds(pausedMicroseconds.load(std::memory_order_relaxed));
}

} // namespace kestrix
