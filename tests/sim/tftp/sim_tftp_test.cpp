// Smoke test of the simulator's TFTP server with the program's client over
// IPv4 and IPv6: the program's file names map to the terminal's files, writes
// need the serial number prefix, and names that leave the directory are
// refused (the program's bed tests exercise the rest).
#include "sim/tftp/tftp_server.h"
#include "tftp/tftp_connection.h"
#include "tftp/tftp_packets.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <unistd.h>

namespace kestrix::sim {
namespace {

using test::patternBytes;

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(SimTftp, ProgramClientReadsAndWritesTheTerminalsFiles) {
    const std::filesystem::path directory =
        std::filesystem::temp_directory_path() / ("kestrix-sim-tftp-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    std::ofstream(directory / "talmo.cfg", std::ios::binary) << patternBytes(1024);
    TftpServerOptions options;
    options.directory = directory;
    options.serialNumber = "100101";
    options.port = 0;
    TftpServer server(options);
    server.start();
    for (const std::string address : {"::ffff:127.0.0.1", "::1"}) {
        SCOPED_TRACE(address);
        std::vector<std::uint8_t> buffer(2000);
        const std::size_t length = TFTPConnection(address, 0, 0, server.port())
                                       .read(buffer.data(), buffer.size(), "C@\\t7000\\talmo.cfg");
        EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<long>(length)),
                  patternBytes(1024));
        const std::string written = patternBytes(700) + address;
        TFTPConnection(address, 0, 0, server.port())
            .write(reinterpret_cast<const std::uint8_t*>(written.data()), written.size(),
                   "[100101]/talmo/terminal-ui.xml");
        EXPECT_EQ(fileBytes(directory / "talmo" / "terminal-ui.xml"), written);
    }
    for (const auto& [name, reading] : {std::pair{"[100102]C@\\t7000\\talmo.cfg", false},
                                        {"talmo.cfg", false},
                                        {"C@\\t7000\\..\\..\\etc\\passwd", true}}) {
        std::string error;
        try {
            const std::uint8_t byte = 0;
            TFTPConnection connection("::1", 0, 0, server.port());
            if (reading)
                connection.read(directory.string() + "-copy", name);
            else
                connection.write(&byte, 1, name);
        } catch (const TFTPConnection::TFTPError& failure) {
            error = failure.text;
        }
        EXPECT_NE(error.find("received error code 2: 'Access violation'"), std::string::npos)
            << name << ": " << error;
    }
    EXPECT_EQ(fileBytes(directory / "talmo.cfg"), patternBytes(1024));
    server.stop();
    std::filesystem::remove_all(directory);
    std::filesystem::remove(directory.string() + "-copy");
}

} // namespace
} // namespace kestrix::sim
