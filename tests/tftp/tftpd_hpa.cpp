#include "tftp/tftpd_hpa.h"
#include "support/sockets.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <net/if.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrix::test {
namespace {

// True once something holds the UDP port (the server is listening).
bool portTaken(std::uint16_t port) {
    const int descriptor = bindDualStackUdp(port);
    if (descriptor < 0)
        return true;
    ::close(descriptor);
    return false;
}

} // namespace

std::string giveNamespaceAnAddress() {
    // The interface list of this namespace (sysfs may still show another one's).
    std::size_t interfaces = 0;
    if (struct if_nameindex* names = ::if_nameindex()) {
        for (const struct if_nameindex* name = names; name->if_index != 0; ++name)
            if (std::string(name->if_name) != "lo")
                ++interfaces;
        ::if_freenameindex(names);
    }
    if (interfaces > 0)
        return {};
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"ip", "link", "add", "kestrix0", "type", "veth", "peer", "name",
                                   "kestrix1"},
          {"ip", "address", "add", "10.99.0.1/24", "dev", "kestrix0"},
          {"ip", "address", "add", "fd00:99::1/64", "dev", "kestrix0", "nodad"},
          {"ip", "link", "set", "kestrix0", "up"},
          {"ip", "link", "set", "kestrix1", "up"}}) {
        const CommandResult result = runCommand(command);
        if (!result.succeeded())
            return result.output;
    }
    return {};
}

std::string TftpdHpa::program() {
    return toolPath("in.tftpd");
}

TftpdHpa::TftpdHpa(const std::string& listenAddress, std::uint16_t port,
                   const std::filesystem::path& directory)
    : directory_(directory) {
    if (program().empty())
        throw std::runtime_error("tftpd-hpa is not installed (in.tftpd)");
    std::filesystem::create_directories(directory_);
    std::filesystem::permissions(directory_, std::filesystem::perms::all);
    server_ =
        BackgroundProcess::startProgram({program(), "-L", "-a", listenAddress + ":" + std::to_string(port),
                                         "-u", "tftp", "-c", "-s", directory_.string()},
                                        directory_.string() + ".log");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!portTaken(port)) {
        if (std::chrono::steady_clock::now() > deadline || !server_.running())
            throw std::runtime_error("tftpd-hpa did not start on port " + std::to_string(port));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

TftpdHpa::~TftpdHpa() {
    server_.terminate();
    server_.waitUntil(std::chrono::steady_clock::now() + std::chrono::seconds(3));
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
    std::filesystem::remove(directory_.string() + ".log", ignored);
}

void TftpdHpa::putFile(const std::string& name, const std::string& bytes) const {
    const std::filesystem::path path = directory_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    std::filesystem::permissions(
        path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read | std::filesystem::perms::others_read);
}

std::string TftpdHpa::fileBytes(const std::string& name) const {
    std::ifstream file(directory_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

} // namespace kestrix::test
