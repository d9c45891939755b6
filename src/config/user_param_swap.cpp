// The fields of the "6.20"/"6.21" layout that a big-endian terminal stores
// most significant byte first.
#include "config/user_param.h"
#include "platform/trace.h"

#include <algorithm>

namespace kestrix {

namespace {

void reverse(UserParamBlock& buffer, std::size_t offset, std::size_t width) {
    std::reverse(buffer.begin() + static_cast<std::ptrdiff_t>(offset),
                 buffer.begin() + static_cast<std::ptrdiff_t>(offset + width));
}

} // namespace

void UserParam::swapUserParam(UserParamBlock& buffer) {
    trace("swapUserParam()\n");
    reverse(buffer, 60, 2);  // maintenance group
    reverse(buffer, 146, 2); // TCP port of the host channel
    for (std::size_t rule = 0; rule < 5; ++rule) {
        reverse(buffer, 152 + 12 * rule + 8, 2);  // service of an IPv4 firewall rule
        reverse(buffer, 212 + 20 * rule + 18, 2); // service of an IPv6 firewall rule
    }
    for (std::size_t channel = 0; channel < 6; ++channel) {
        const std::size_t record = 312 + 80 * channel;
        for (std::size_t value : {4, 6, 8, 10})
            reverse(buffer, record + value, 2);
        reverse(buffer, record + 24, 4);
    }
    reverse(buffer, 826, 2); // deviation from GMT
    reverse(buffer, 978, 2); // chipcard parameters of the internal reader
    reverse(buffer, 980, 2);
    reverse(buffer, 1036, 2); // np_gr and tf_gr of the TCL application area
    reverse(buffer, 1038, 2);
    reverse(buffer, 1236, 4); // time of the last write
}

} // namespace kestrix
