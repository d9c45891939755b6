// talmo-sim --config FILE [--ready-file PATH]
//
// One simulated terminal: answers the maintenance protocol on UDP [::]:57005
// and serves files by TFTP, and a passive terminal listens on its TCL port,
// until SIGTERM or SIGINT (exit 0). A start failure exits with 1 and one line
// on stderr. Once the sockets are bound the ready file is created (empty) and
// the trace goes to stderr.
#include "platform/trace.h"
#include "settings_files/ini_file.h"
#include "sim/configuration_file.h"
#include "sim/firmware_files.h"
#include "sim/keyboard_file.h"
#include "sim/maintenance_server.h"
#include "sim/tcl_host_port.h"
#include "sim/terminal_config.h"
#include "sim/tftp/tftp_server.h"

#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

struct Arguments {
    std::string configFile;
    std::string readyFile;
};

Arguments parseArguments(int argc, char** argv) {
    Arguments arguments;
    for (int index = 1; index < argc; ++index) {
        std::string option = argv[index];
        if ((option == "--config" || option == "--ready-file") && index + 1 < argc) {
            (option == "--config" ? arguments.configFile : arguments.readyFile) = argv[++index];
        } else {
            throw std::runtime_error("usage: talmo-sim --config FILE [--ready-file PATH]");
        }
    }
    if (arguments.configFile.empty())
        throw std::runtime_error("usage: talmo-sim --config FILE [--ready-file PATH]");
    return arguments;
}

// An optional count of the [tftp] section; a missing key leaves value as it is.
void readCount(const kestrix::IniData& ini, const char* key, const char* what, std::uint64_t& value) {
    const std::string text = ini.getValue("tftp", key, "");
    if (text.empty())
        return;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        throw std::runtime_error(std::string("[tftp] ") + key + ": must be " + what);
}

kestrix::sim::TftpServerOptions tftpOptions(const kestrix::IniData& ini, const std::string& serialNumber) {
    kestrix::sim::TftpServerOptions options;
    options.directory = ini.getValue("tftp", "directory", "");
    if (options.directory.empty())
        throw std::runtime_error("[tftp] directory: needed");
    options.serialNumber = serialNumber;
    const std::string port = ini.getValue("tftp", "tftp_port", "69");
    unsigned value = 0;
    auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (error != std::errc() || end != port.data() + port.size() || value > 65535)
        throw std::runtime_error("[tftp] tftp_port: must be a port number from 0 to 65535");
    options.port = static_cast<std::uint16_t>(value);
    readCount(ini, "maximum_write_size", "a number of bytes", options.maximumWriteSize);
    readCount(ini, "refused_writes", "a number of writes", options.refusedWrites);
    return options;
}

// SIGTERM and SIGINT, blocked in every thread, arrive through this descriptor.
int signalDescriptor() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0)
        throw std::runtime_error("blocking signals failed");
    int descriptor = signalfd(-1, &signals, SFD_CLOEXEC);
    if (descriptor < 0)
        throw std::runtime_error(std::string("signalfd: ") + std::strerror(errno));
    return descriptor;
}

void createReadyFile(const std::string& path) {
    if (path.empty())
        return;
    int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (descriptor < 0)
        throw std::runtime_error("ready file " + path + ": " + std::strerror(errno));
    ::close(descriptor);
}

} // namespace

int main(int argc, char** argv) {
    try {
        const Arguments arguments = parseArguments(argc, argv);
        const int signals = signalDescriptor(); // before any thread starts
        kestrix::IniFile ini(arguments.configFile, ": not found");
        kestrix::sim::TerminalConfig config = kestrix::sim::readTerminalConfig(ini);
        const auto faults = config.faults;
        auto options = tftpOptions(ini, config.serialNumber);
        kestrix::sim::NetlinkInterfaceAddress interfaceAddress;
        kestrix::sim::Responder responder(std::move(config), interfaceAddress);
        // The talmo.cfg that TFTP serves carries the TCL key; a written one is
        // checked and taken at the next restart.
        kestrix::sim::ConfigurationFile configurationFile(responder, options.directory);
        configurationFile.attachTo(options);
        // Firmware files: a monitor restarts the terminal, a TCL file gives
        // the version it reports after the next restart.
        kestrix::sim::FirmwareFiles firmwareFiles(responder);
        firmwareFiles.attachTo(options);
        // The keyboard layout file: a written one is installed at the next
        // restart (platform group 6 installs it at once).
        kestrix::sim::KeyboardFile keyboardFile(responder, options.directory);
        keyboardFile.attachTo(options);
        kestrix::sim::TftpServer tftp(std::move(options));

        kestrix::sim::MaintenanceServer maintenance(responder, faults);
        // An active terminal, or one whose host is online, never listens.
        std::optional<kestrix::sim::TclHostPort> tclPort;
        if (responder.config().tclConnect == kestrix::sim::TclConnect::Passive &&
            responder.config().tclHost.empty())
            tclPort.emplace(responder);
        tftp.start();
        createReadyFile(arguments.readyFile);
        kestrix::setTraceFile(stderr);
        maintenance.serve(signals);
        tclPort.reset();
        kestrix::setTraceFile(nullptr);
        tftp.stop();
        ::close(signals);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "talmo-sim: %s\n", error.what());
        return 1;
    }
}
