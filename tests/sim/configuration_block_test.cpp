// A talmo.cfg written to the simulated terminal by TFTP, as the program
// writes it (its field map, secret-field cipher, byte order and CRC): checked
// when it arrives, taken at the next reset and seen in the replies; a refused
// one changes neither the file nor the terminal. packet.ini is stored.
#include "config/setup_block.h"
#include "config/user_param.h"
#include "crypto/crc16_arc.h"
#include "crypto/md5.h"
#include "settings_files/ini_data.h"
#include "sim/configuration_file.h"
#include "sim/tcl_host_port.h"
#include "sim/tftp/tftp_server.h"
#include "support/scratch_directory.h"
#include "tftp/tftp_connection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrix::sim {
namespace {

using namespace std::chrono_literals;

const bool kTimeScaleSet = setenv("KESTRIX_TIME_SCALE", "0.01", 0) == 0;

// A port that nothing listens on now.
std::uint16_t freePort() {
    const int probe = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 address = toSocketAddress(Ip6Address{}, 0);
    socklen_t length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin6_port);
}

bool listens(std::uint16_t port) {
    const int client = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in6 address = toSocketAddress(*addressFromText("::1"), port);
    const bool connected =
        ::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(client);
    return connected;
}

// The file the program's write sends for a block of this version whose
// fields the setup editor set (a zeroed block read from a file first).
std::vector<std::uint8_t> programBlock(const std::string& version, std::uint16_t tclPort) {
    const test::ScratchDirectory work;
    const std::size_t length = version == "6.02" ? 1116 : 1242;
    std::vector<std::uint8_t> start(length, 0);
    std::copy(version.begin(), version.end(), start.begin());
    const std::uint16_t crc = crc16Arc(std::span(start).first(length - 2));
    start[length - 2] = static_cast<std::uint8_t>(crc),
                   start[length - 1] = static_cast<std::uint8_t>(crc >> 8);
    work.write("start.cfg", std::span(start));
    UserParam param;
    const BlockOwner owner;
    EXPECT_TRUE(param.getFileUserParam(work.file("start.cfg"), owner));
    if (version != "6.02") {
        UserParamBlock native{};
        param.copyUserParamOut(native);
        SetupBlock block(native);
        block.setIpv4Number(setup_field::Ipv4Address.offset, 0x0A4D0032); // 10.77.0.50
        block.setIpv4Number(setup_field::Ipv4Mask.offset, 0xFFFF0000);
        block.setIpv4Number(setup_field::Ipv4Router.offset, 0x0A4D0001);
        block.setText(setup_field::DhcpHostName, "kasse-3");
        block.setNumber(setup_field::MaintenanceGroup, 4712);
        block.setNumber(setup_field::HostPort, tclPort);
        block.setNumber(setup_field::HostEncryption, 1);
        const AesKey key = md5("geheim");
        std::ranges::copy(key, block.span(setup_field::TclDataKey.offset, key.size()).begin());
        param.copyUserParamIn(block.bytes());
    }
    EXPECT_TRUE(param.setFileUserParam(work.file("written.cfg"), owner));
    return work.bytes("written.cfg");
}

TEST(ConfigurationBlock, WrittenBlockCheckedAndTakenAtTheReset) {
    ASSERT_TRUE(kTimeScaleSet);
    const std::uint16_t tclPort = freePort();
    const auto changed = [](std::vector<std::uint8_t> file, std::size_t at, int grow) {
        if (grow < 0)
            file.pop_back();
        else if (grow > 0)
            file.push_back(0);
        else
            file[at] ^= 1;
        return file;
    };
    const std::vector<std::uint8_t> little = programBlock("6.20", tclPort),
                                    big = programBlock("6.21", tclPort);
    struct Row {
        std::string what;
        std::vector<std::uint8_t> file;
        std::string refusal; // the TFTP error text; empty: accepted
        bool taken;
    };
    const Row rows[] = {
        {"6.20", little, "", true},
        {"6.21", big, "", true},
        {"6.21 whose CRC is not checked", changed(big, 1241, 0), "", true},
        {"6.20 with a CRC error", changed(little, 700, 0), "talmo.cfg 6.20 has a CRC error", false},
        {"6.20 one byte short", changed(little, 0, -1), "talmo.cfg 6.20 has 1241 bytes, not 1242", false},
        {"6.20 one byte long", changed(little, 0, 1), "talmo.cfg 6.20 has 1243 bytes, not 1242", false},
        {"unknown version", changed(little, 0, 0), "talmo.cfg of an unknown version", false},
        {"6.02, stored only", programBlock("6.02", 0), "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        IniData ini;
        for (const auto& [section, key, value] : {std::tuple{"network", "ipv4", "10.77.0.11"},
                                                  {"network", "mask", "255.255.255.0"},
                                                  {"network", "gateway", "10.77.0.254"},
                                                  {"network", "dhcp_name", "talmo-100101"},
                                                  {"terminal", "serial_number", "100101"},
                                                  {"terminal", "authentication", "none"},
                                                  {"terminal", "maintenance_group", "7"},
                                                  {"terminal", "tcl_connect", "passive"},
                                                  {"terminal", "tcl_port", "0"}})
            ini.setValue(section, key, value);
        struct Recorder : InterfaceAddress {
            std::string changes;
            void replaceIPv4(const std::string& name, const Ipv4Settings& from,
                             const Ipv4Settings& to) override {
                changes += name + " " + ipv4ToText(from.address) + " -> " + ipv4ToText(to.address) + "/" +
                           std::to_string(to.prefixLength) + ";";
            }
        } network;
        Responder terminal(readTerminalConfig(ini), network);
        TclHostPort tclHostPort(terminal);
        const test::ScratchDirectory files;
        files.write("talmo.cfg", "old");
        ConfigurationFile configuration(terminal, files.path());
        TftpServerOptions options;
        options.directory = files.path();
        options.serialNumber = "100101";
        options.port = 0;
        configuration.attachTo(options);
        TftpServer server(std::move(options));
        server.start();
        const auto ask = [&terminal](std::string request) {
            std::replace(request.begin(), request.end(), ' ', '\0');
            request += '\0';
            std::string reply =
                terminal.answer({reinterpret_cast<const std::uint8_t*>(request.data()), request.size()}, {})
                    .value_or("(none)");
            std::replace(reply.begin(), reply.end(), '\0', '|');
            return reply;
        };
        const std::string before = ask("echo 100101") + ask("find 100101") + ask("data 100101");

        // packet.ini is stored as it comes.
        const std::string packet = "[WLAN]\nESSID=test\n";
        TFTPConnection("::1", 0, 0, server.port())
            .write(reinterpret_cast<const std::uint8_t*>(packet.data()), packet.size(),
                   "[100101]C@\\packet.ini");
        EXPECT_EQ(files.read("packet.ini"), packet);
        std::string refusal;
        try {
            TFTPConnection("::1", 0, 0, server.port())
                .write(row.file.data(), row.file.size(), "[100101]talmo.cfg");
        } catch (const TFTPConnection::TFTPError& error) {
            refusal = error.text;
        }
        EXPECT_NE(refusal.find(row.refusal), std::string::npos) << refusal;
        EXPECT_EQ(refusal.empty(), row.refusal.empty()) << refusal;
        const std::vector<std::uint8_t> old{'o', 'l', 'd'};
        EXPECT_EQ(files.bytes("talmo.cfg"), row.refusal.empty() ? row.file : old);
        EXPECT_EQ(ask("echo 100101") + ask("find 100101") + ask("data 100101"), before)
            << "nothing before the reset";

        ASSERT_EQ(ask("reset 100101"), "TALMO|7450|IP|100101|reset.|");
        ASSERT_TRUE(terminal.waitUntilRunning(10s));
        const std::string after = ask("echo 100101") + ask("find 100101") + ask("data 100101");
        if (!row.taken) {
            EXPECT_EQ(after, before);
            EXPECT_EQ(network.changes, "");
            continue;
        }
        const std::string port = std::to_string(tclPort);
        EXPECT_EQ(after,
                  "TALMO|7450|IP|100101|ACM|6.12|port=" + port +
                      "|connect=passive|encrypt=YES|addr=10.77.0.50|mask=255.255.0.0|gateway=10.77.0.1|"
                      "TALMO|7450|IP|100101|ACM|6.12|DEVID=0|DHCPNAME=kasse-3|IPv4=10.77.0.50/16|"
                      "TALMO|7450|IP|100101|host|information.|port=" +
                      port + "|connect=passive|host=offline|encrypt=YES|");
        EXPECT_EQ(network.changes, "eth0 10.77.0.11 -> 10.77.0.50/16;");
        EXPECT_EQ(terminal.state().maintenanceGroup, 4712);
        EXPECT_EQ(terminal.state().tcl.key, md5("geheim"));
        // The TCL port listens on the new port; the block the terminal now
        // serves gives the program the key it wrote.
        bool listening = false;
        for (int attempt = 0; attempt < 500 && !(listening = listens(tclPort)); ++attempt)
            std::this_thread::sleep_for(10ms);
        EXPECT_TRUE(listening);
        UserParamBlock served{};
        const std::size_t length =
            TFTPConnection("::1", 0, 0, server.port()).read(served.data(), served.size(), "talmo.cfg");
        const test::ScratchDirectory work;
        work.write("served.cfg", std::span(served).first(length));
        UserParam param;
        ASSERT_TRUE(param.getFileUserParam(work.file("served.cfg"), BlockOwner{}));
        AesKey key{};
        ASSERT_TRUE(param.getDataKey(key));
        EXPECT_EQ(key, md5("geheim"));
    }
}

} // namespace
} // namespace kestrix::sim
