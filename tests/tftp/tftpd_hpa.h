#pragma once

#include "netbed/child_process.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace kestrix::test {

// tftpd-hpa in the foreground on a test port of this namespace, serving (and
// accepting new files into) a fresh directory of its own. Needs root (the
// server changes to the tftp user and into its directory). It does not check
// what the server writes; the test reads the directory.
class TftpdHpa {
public:
    // listenAddress as the server takes it: "127.0.0.1", "[::1]", "10.77.0.11".
    TftpdHpa(const std::string& listenAddress, std::uint16_t port, const std::filesystem::path& directory);
    ~TftpdHpa();
    TftpdHpa(const TftpdHpa&) = delete;
    TftpdHpa& operator=(const TftpdHpa&) = delete;

    const std::filesystem::path& directory() const { return directory_; }
    // Puts a file into the served directory, readable by the server.
    void putFile(const std::string& name, const std::string& bytes) const;
    std::string fileBytes(const std::string& name) const;

    // The server program, empty when tftpd-hpa is not installed.
    static std::string program();

private:
    std::filesystem::path directory_;
    BackgroundProcess server_;
};

// tftpd-hpa resolves its listen address with AI_ADDRCONFIG, which finds
// nothing in a namespace with loopback alone. In such a namespace (and only
// there: where other interfaces exist nothing changes) this adds a veth pair
// with an IPv4 and an IPv6 address. Answers an empty text or what failed.
std::string giveNamespaceAnAddress();

} // namespace kestrix::test
