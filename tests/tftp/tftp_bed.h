#pragma once

#include "netbed/child_process.h"
#include "netbed/network_bed.h"
#include "tftp/tftp_packets.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace kestrix::test {

// A test bed with one terminal that runs tftpd-hpa, a server written
// elsewhere, on port 69 (retransmit time-out 100 ms, new files allowed)
// serving a directory of the test's.
struct TftpBed {
    static constexpr const char* kServer = "::ffff:10.77.0.11";

    // The server program, empty when tftpd-hpa is not installed.
    static std::string program() { return toolPath("in.tftpd"); }

    explicit TftpBed(const LinkFaults& faults = {})
        : directory(std::filesystem::temp_directory_path() /
                    ("kestrix-tftp-bed-" + std::to_string(::getpid()))),
          bed(layout(directory, faults)) {}
    ~TftpBed() {
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }

    void putFile(const std::string& name, const std::string& bytes) const {
        const std::filesystem::path path = directory / name;
        std::ofstream(path, std::ios::binary) << bytes;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all |
                                               std::filesystem::perms::group_read |
                                               std::filesystem::perms::others_read);
    }
    std::string fileBytes(const std::string& name) const { return readFile(directory / name); }
    static std::string readFile(const std::filesystem::path& path) {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    static BedLayout layout(const std::filesystem::path& served, const LinkFaults& faults) {
        std::filesystem::create_directories(served);
        std::filesystem::permissions(served, std::filesystem::perms::all);
        TerminalSetup terminal;
        terminal.ipv4 = "10.77.0.11/24";
        terminal.program = TerminalProgram::Command;
        terminal.command = {program(), "-L", "-a", "10.77.0.11:69", "-T", "100000", "-u",
                            "tftp",    "-c", "-s", served.string()};
        terminal.readyPort = 69;
        terminal.linkFaults = faults;
        BedLayout result;
        result.terminals = {terminal};
        return result;
    }

    std::filesystem::path directory;
    NetworkBed bed;
};

} // namespace kestrix::test
