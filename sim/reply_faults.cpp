#include "sim/reply_faults.h"

namespace kestrix::sim {

ReplyFaults::ReplyFaults(FaultSettings settings, std::function<double()> draw)
    : settings_(settings), draw_(std::move(draw)), generator_(std::random_device{}()) {
    if (!draw_)
        draw_ = [this] { return std::uniform_real_distribution<double>(0.0, 1.0)(generator_); };
}

int ReplyFaults::copies() {
    if (settings_.dropProbability > 0.0 && draw_() < settings_.dropProbability)
        return 0;
    return settings_.duplicate ? 2 : 1;
}

} // namespace kestrix::sim
