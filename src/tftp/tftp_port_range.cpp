#include "tftp/tftp_port_range.h"

#include <mutex>

namespace kestrix {
namespace {

std::mutex rangeMutex;
TftpPortRange currentRange;

} // namespace

TftpPortRange tftpPortRange() {
    std::lock_guard lock(rangeMutex);
    return currentRange;
}

void setTftpPortRange(TftpPortRange range) {
    std::lock_guard lock(rangeMutex);
    currentRange = range;
}

} // namespace kestrix
