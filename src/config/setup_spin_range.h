#pragma once

#include <algorithm>

namespace kestrix {

// The range of a spin control of a setup page: minimum, maximum and step.
// The value a block holds may lie outside the range the page offers (another
// tool wrote it, or an older layout allowed it); the page then widens the
// range to that value, so that a page the user did not touch writes back
// what it read.
struct SpinRange {
    int minimum = 0;
    int maximum = 0;
    int step = 1;

    // The range widened to take a value shown from the block.
    constexpr SpinRange including(int value) const {
        return SpinRange{std::min(minimum, value), std::max(maximum, value), step};
    }
    // A value the control can hold: inside the range and a whole number of
    // steps above the minimum (rounded down).
    constexpr int clamp(int value) const {
        const int inside = std::clamp(value, minimum, maximum);
        return inside - (inside - minimum) % step;
    }
};

} // namespace kestrix
