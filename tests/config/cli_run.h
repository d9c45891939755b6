#pragma once

// kestrix-cli as the tests run it: in a directory of the test's, so that no
// trace or settings file of the caller is read.
#include "block_files.h"
#include "config/config_block.h"

#include <string>
#include <vector>

namespace kestrix::test {

struct CliRun {
    int exitCode = -1;  // -1 when it did not end by exit
    std::string output; // standard output and standard error
};

// The shell command line that runs kestrix-cli with the words in the directory.
std::string cliCommandLine(const std::filesystem::path& directory, const std::vector<std::string>& words);

CliRun runCli(const ScratchDirectory& directory, const std::vector<std::string>& words);

// A "6.20" block as a terminal keeps it (secret fields enciphered for a TCL
// terminal, right CRC) with these values: IPv4 10.0.0.5, router 10.0.0.1,
// mask 255.255.255.0, IPv6 2001:db8::5/64, IPv4 and IPv6, 100Base-TX full
// duplex, maintenance group 4711, DHCP name "talmo-100101", host A 10.0.0.1,
// TCP port 3001, firewall on, automatic summer time from "M3.5.0/2" to
// "10270202402", GMT -60 minutes, reader serial Hitag ID/SN, last write
// 2024-05-01 12:00:00 UTC; setup passwords "abc123", "PASSWD12", "pw3", TCL
// passwords "simple1", "admin123", data key 00 01 ... 0f.
UserParamBlock namedBlock620();

} // namespace kestrix::test
