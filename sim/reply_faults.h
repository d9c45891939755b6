#pragma once

#include "sim/terminal_config.h"

#include <functional>
#include <random>

namespace kestrix::sim {

// Decides, reply by reply, what the [faults] make of it: how many copies
// leave (0 when dropped, 2 when duplicated) and how late. A silent terminal
// does not get this far: it carries nothing out.
class ReplyFaults {
public:
    // draw gives numbers in [0, 1) for the drop decision; by default a
    // generator seeded from the system.
    explicit ReplyFaults(FaultSettings settings, std::function<double()> draw = {});

    bool silent() const { return settings_.silent; }
    int delayMilliseconds() const { return settings_.delayMilliseconds; }
    // The number of copies of the next reply to send.
    int copies();

private:
    FaultSettings settings_;
    std::function<double()> draw_;
    std::mt19937 generator_;
};

} // namespace kestrix::sim
