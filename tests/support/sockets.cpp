#include "support/sockets.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrix::test {

int bindDualStackUdp(std::uint16_t port) {
    const int descriptor = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (descriptor < 0)
        return -1;
    const int off = 0;
    ::setsockopt(descriptor, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    sockaddr_in6 local{};
    local.sin6_family = AF_INET6;
    local.sin6_port = htons(port);
    if (::bind(descriptor, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

} // namespace kestrix::test
