#include "netbed/bed_availability.h"

#include "netbed/child_process.h"
#include "netbed/network_bed.h"

#include <unistd.h>

namespace kestrix::test {

std::string networkBedUnavailable() {
    if (::geteuid() != 0)
        return "the network bed needs root (namespaces, links, iptables)";
    for (const char* tool : {"ip", "iptables", "ip6tables", "iptables-restore", "sysctl", "bash"})
        if (toolPath(tool).empty())
            return std::string("the network bed needs ") + tool + " (scripts/setup installs it)";
    for (const std::string& file : {bedScript(), delayHelperProgram()})
        if (::access(file.c_str(), R_OK) != 0)
            return "the network bed needs " + file;
    return {};
}

void NetworkBedTest::SetUp() {
    const std::string reason = networkBedUnavailable();
    if (!reason.empty())
        KESTRIX_SKIP_OR_FAIL(reason);
}

} // namespace kestrix::test
