#include "platform/pause.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(TimeScale, AcceptsOnlyAPositiveFactor) {
    struct Case {
        const char* text;
        double scale;
    } cases[] = {
        {nullptr, 1.0}, {"", 1.0},     {"0.01", 0.01}, {"2", 2.0},   {"0", 1.0},     {"-1", 1.0},
        {"abc", 1.0},   {"0.5x", 1.0}, {"nan", 1.0},   {"inf", 1.0}, {"1e9", 1.0},   {"1000", 1000.0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(parseTimeScale(c.text), c.scale) << (c.text ? c.text : "(unset)");
}

TEST(TimeScale, PauseLengthFollowsTheFactorInForce) {
    // ctest runs this executable without KESTRIX_TIME_SCALE unless told otherwise.
    double scale = timeScale();
    EXPECT_EQ(scaledPause(40000).count(), static_cast<long long>(40000 * 1000 * scale));
    EXPECT_EQ(scaledPause(0).count(), 0);
    EXPECT_EQ(scaledPause(-5).count(), 0);
}

} // namespace
} // namespace kestrix
