// Serves any bytes as a terminal's autoexec.bat (the simulated terminal's
// TFTP server on port 69) and lets the record read it the way the command set
// does: by TFTP into a buffer of 1024 bytes, then scanned for the drivers it
// loads. Checks what the record may then hold.
#include "messages/toolbox_lang.h"
#include "protocol/t7000ip.h"
#include "sim/tftp/tftp_server.h"
#include "terminal/terminal.h"

#include "answering_network.h"
#include "check.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace kestrix;

constexpr std::size_t kAutoexecBuffer = 1024;

bool holdsNo(const std::string& text, std::string_view characters) {
    return text.find_first_of(characters) == std::string::npos;
}

struct Network {
    Network() {
        fuzz::enterAnsweringNetwork();
        char name[] = "/tmp/kestrix-autoexec-fuzzer-XXXXXX";
        if (::mkdtemp(name) == nullptr)
            __builtin_trap();
        directory = name;
        sim::TftpServerOptions options;
        options.directory = directory;
        options.serialNumber = "100200";
        server = new sim::TftpServer(options);
        server->start();
        static const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
        engine = &T7000ip::getT7000ip(&language);
    }
    std::filesystem::path directory;
    sim::TftpServer* server;
    T7000ip* engine;
};

Network* network = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    network = new Network;
    std::atexit([] { std::filesystem::remove_all(network->directory); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::ofstream(network->directory / "autoexec.bat", std::ios::binary | std::ios::trunc) << text;
    TerminalFields fields;
    fields.SerialNumber = "100200";
    fields.ProductType = product::Talmo7000;
    fields.PlatformGroup = productPlatformGroup(fields.ProductType);
    fields.AddrInUse = Ip6Address::fromIPv4Bytes(127, 0, 0, 1);
    Terminal terminal(*network->engine, fields);

    check(terminal.getAutoexec() == (size <= kAutoexecBuffer));
    check(terminal.AutoexecKnown && terminal.getAutoexec());
    // Each name is a piece of one line of the file; the network driver is
    // the folder before the first backslash, both drivers in lower case.
    check(terminal.KeyboardFile.empty() || text.find(terminal.KeyboardFile) != std::string::npos);
    check(holdsNo(terminal.KeyboardFile + terminal.NetDriver + terminal.ReaderDriver, "\r"));
    check(holdsNo(terminal.NetDriver, "\\"));
    check(holdsNo(terminal.NetDriver + terminal.ReaderDriver, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    check(terminal.KeyboardFile.empty() || (terminal.NetDriver.empty() && terminal.ReaderDriver.empty()));
    return 0;
}
