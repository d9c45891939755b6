#include "support/private_network.h"

#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrix::test {

std::string enterPrivateNetwork() {
    if (unshare(CLONE_NEWNET) != 0)
        return std::string("unshare(CLONE_NEWNET): ") + std::strerror(errno);
    int descriptor = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (descriptor < 0)
        return std::string("socket: ") + std::strerror(errno);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    std::string failure;
    if (ioctl(descriptor, SIOCGIFFLAGS, &request) != 0) {
        failure = std::string("SIOCGIFFLAGS lo: ") + std::strerror(errno);
    } else {
        request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
        if (ioctl(descriptor, SIOCSIFFLAGS, &request) != 0)
            failure = std::string("SIOCSIFFLAGS lo: ") + std::strerror(errno);
    }
    ::close(descriptor);
    return failure;
}

} // namespace kestrix::test
