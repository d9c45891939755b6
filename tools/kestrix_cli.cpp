// kestrix-cli: terminal maintenance from the command line, one subcommand per
// call.
//
//   kestrix-cli file get ADDRESS REMOTE LOCAL   fetches a file by TFTP
//   kestrix-cli file put ADDRESS LOCAL REMOTE   sends a file by TFTP
//   kestrix-cli [--group N] info TERMINAL       what the terminal tells of itself
//
// TERMINAL is what a line of a terminal list holds: an address, a DNS name,
// or "SN;IP;DNS" (the serial number alone as "SN;;"). --group gives the
// maintenance group for the authenticated requests (0 without it).
//
// The file commands talk to a plain IPv4 or IPv6 address (no locating, so any
// TFTP server will do) and send the remote name exactly as given. The local
// TFTP port range comes from "Kestrix.ini" in the current directory. With a
// file "KestrixTrace.txt" in the current directory the run is traced into it.
#include "mainwindow/start_directory.h"
#include "mainwindow/toolbox_lang.h"
#include "mainwindow/trace_file.h"
#include "platform/ip_address.h"
#include "protocol/t7000ip.h"
#include "settings_files/ini_file.h"
#include "terminal/lan_interfaces.h"
#include "terminal/terminal.h"
#include "tftp/tftp_connection.h"
#include "tftp/tftp_port_range.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace kestrix;

namespace {

// What a subcommand works with: its words after the subcommand's own, and the
// server port (69 unless --port says otherwise).
struct Invocation {
    std::vector<std::string> arguments;
    std::uint16_t tftpPort = TFTPConnection::kServerPort;
    std::uint16_t maintenanceGroup = 0;
};

struct Subcommand {
    const char* group;     // "file"
    const char* name;      // "get"; nullptr for a one-word subcommand
    std::size_t arguments; // how many words follow
    const char* usage;
    int (*run)(const Invocation&);
};

// Reads the TFTP port range from "Kestrix.ini" in the current directory the
// way the program does at start-up: a missing file or section means 0 and 0;
// a range that is not 1024 <= minPort <= maxPort (unless both are 0) is not used.
TftpPortRange portRangeFromSettings() {
    TftpPortRange range;
    if (!std::filesystem::exists("Kestrix.ini"))
        return range;
    const IniFile settings("Kestrix.ini", " not found");
    const auto number = [&](const char* key) {
        const std::string text = settings.getValue("TFTP", key, "");
        int value = 0;
        return std::sscanf(text.c_str(), "%d", &value) == 1 ? value : 0;
    };
    range.minPort = number("minPort");
    range.maxPort = number("maxPort");
    if ((range.minPort != 0 || range.maxPort != 0) &&
        (range.minPort == 0 || range.maxPort == 0 || range.maxPort < range.minPort || range.minPort < 1024 ||
         range.maxPort > 65535)) {
        std::fprintf(stderr,
                     "kestrix-cli: the TFTP port numbers in Kestrix.ini are wrong and are not used\n");
        return {};
    }
    return range;
}

// The address as the TFTP client takes it: IPv4 in its mapped form.
std::optional<std::string> serverAddress(const std::string& text) {
    const std::optional<Ip6Address> address = addressFromText(text);
    if (!address)
        return std::nullopt;
    std::string result = addressToText(*address);
    if (address->scopeId != 0 && text.find('%') != std::string::npos)
        result += text.substr(text.find('%'));
    return result;
}

// One progress line on standard error, rewritten in place.
class ProgressLine : public TransferProgress {
public:
    void slotLabel(int, const std::string& text) override { label_ = text; }
    void slotValue(int, ProgressValue kind, std::uint64_t kibibytes) override {
        if (kind == ProgressValue::TotalKiB)
            total_ = kibibytes;
        else
            std::fprintf(stderr, "\r%s %llu of %llu KiB", label_.c_str(),
                         static_cast<unsigned long long>(kibibytes), static_cast<unsigned long long>(total_));
    }
    void finish() const { std::fprintf(stderr, "\n"); }

private:
    std::string label_;
    std::uint64_t total_ = 0;
};

// The progress of a file fetch on a terminal screen: the reading side of the
// TFTP client reports nothing while it runs, so this watches the growing file
// and rewrites one line four times a second until it is destroyed.
class ReceiveProgressLine {
public:
    ReceiveProgressLine(std::string file, std::string label)
        : file_(std::move(file)), label_(std::move(label)), shown_(::isatty(STDERR_FILENO) == 1) {
        if (shown_)
            watcher_ = std::thread([this] { watch(); });
    }
    ~ReceiveProgressLine() {
        if (!shown_)
            return;
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        ended_.notify_one();
        watcher_.join();
        std::fprintf(stderr, "\n");
    }
    ReceiveProgressLine(const ReceiveProgressLine&) = delete;
    ReceiveProgressLine& operator=(const ReceiveProgressLine&) = delete;

private:
    void watch() {
        std::unique_lock lock(mutex_);
        while (!ended_.wait_for(lock, std::chrono::milliseconds(250), [this] { return done_; })) {
            std::error_code error;
            const auto size = std::filesystem::file_size(file_, error);
            if (!error)
                std::fprintf(stderr, "\r%s: %ju KiB received", label_.c_str(), static_cast<std::uintmax_t>(size / 1024));
        }
    }

    const std::string file_;
    const std::string label_;
    const bool shown_;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;
    std::thread watcher_;
};

int fail(const std::string& text) {
    std::fprintf(stderr, "kestrix-cli: %s\n", text.c_str());
    return 1;
}

int fileGet(const Invocation& invocation) {
    const std::string& remote = invocation.arguments[1];
    const std::filesystem::path local = invocation.arguments[2];
    const std::optional<std::string> address = serverAddress(invocation.arguments[0]);
    if (!address)
        return fail("not an IPv4 or IPv6 address: " + invocation.arguments[0]);
    // The transfer goes into a file beside LOCAL, which replaces LOCAL only
    // once it is complete.
    std::string temporary = local.string() + ".kestrix-XXXXXX";
    const int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0)
        return fail("cannot create a file beside " + local.string() + ": " + std::strerror(errno));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(descriptor, 0666 & ~mask);
    ::close(descriptor);
    try {
        const TftpPortRange range = tftpPortRange();
        TFTPConnection connection(*address, range.minPort, range.maxPort, invocation.tftpPort);
        ReceiveProgressLine progress(temporary, remote);
        connection.read(temporary, remote);
    } catch (const TFTPConnection::TFTPError& error) {
        std::filesystem::remove(temporary);
        return fail(error.text);
    }
    std::error_code renameError;
    std::filesystem::rename(temporary, local, renameError);
    if (renameError) {
        std::filesystem::remove(temporary);
        return fail("cannot replace " + local.string() + ": " + renameError.message());
    }
    if (::isatty(STDERR_FILENO))
        std::fprintf(stderr, "%s: %ju bytes received\n", local.c_str(),
                     static_cast<std::uintmax_t>(std::filesystem::file_size(local)));
    return 0;
}

int filePut(const Invocation& invocation) {
    const std::string& local = invocation.arguments[1];
    const std::string& remote = invocation.arguments[2];
    const std::optional<std::string> address = serverAddress(invocation.arguments[0]);
    if (!address)
        return fail("not an IPv4 or IPv6 address: " + invocation.arguments[0]);
    // With an observer the connection ends quietly on a missing file, so the
    // file is checked here first.
    if (std::FILE* file = std::fopen(local.c_str(), "rb"))
        std::fclose(file);
    else
        return fail("cannot read " + local + ": " + std::strerror(errno));
    ProgressLine progress;
    const bool showProgress = ::isatty(STDERR_FILENO);
    try {
        const TftpPortRange range = tftpPortRange();
        TFTPConnection connection(*address, range.minPort, range.maxPort, invocation.tftpPort);
        connection.write(local, remote, showProgress ? &progress : nullptr, 0);
    } catch (const TFTPConnection::TFTPError& error) {
        if (showProgress)
            progress.finish();
        return fail(error.text);
    }
    if (showProgress)
        progress.finish();
    return 0;
}

// Locates the terminal and prints what the command set learns of it. Asks
// nothing that restarts the terminal: the monitor version is shown only when
// the terminal has told it already.
int terminalInfo(const Invocation& invocation) {
    enumerateLanInterfaces();
    if (lanInterfaces().count() == 0)
        return fail(CToolBoxLang(localeIdFromEnvironment()).GetText(81));
    static const CToolBoxLang language(localeIdFromEnvironment());
    T7000ip& engine = T7000ip::getT7000ip(&language);
    engine.setT7000ipMaintGroup(invocation.maintenanceGroup);
    int result = 0;
    try {
        Terminal terminal(engine, invocation.arguments[0]);
        std::printf("terminal        %s %s (%s)\n", terminal.ProductName.c_str(), terminal.SerialNumber.c_str(),
                    terminal.cpuName(CpuNameForm::Long).c_str());
        std::printf("address         %s%s%s\n", terminal.displayAddress(AddressDisplay::DottedIPv4).c_str(),
                    terminal.DNSNameInUse.empty() ? "" : "  ", terminal.DNSNameInUse.c_str());
        std::printf("running         %s%s\n", terminal.kindPrefix().c_str(),
                    terminal.isMonitorMode() ? terminal.MonitorVersion.c_str() : terminal.FirmwareVersion.c_str());
        std::printf("authentication  %s, %s\n", terminal.IDBasedAuth ? "ID-based" : "IP-based",
                    terminal.AuthOK ? "accepted" : "not accepted");
        std::string host = terminal.T7000ipGetHostInfo();
        std::printf("TCL host        %s (port %u, %s%s)\n", host.empty() ? "offline" : host.c_str(),
                    static_cast<unsigned>(terminal.TclPort), terminal.PassiveConnect ? "passive" : "active",
                    terminal.Encrypt ? ", encrypted" : "");
        if (terminal.T7000ipGetSysInfo())
            std::printf("system          SRAM %u, Wiegand %s, root file system %d\n", terminal.getSramParameter(),
                        terminal.hasWiegandInterface() ? "yes" : "no", terminal.RootFileSystemVersion);
        else
            std::printf("system          no answer\n");
        std::printf("monitor         %s\n", terminal.MonitorVersion.empty()
                                                 ? "not known without restarting the terminal into its monitor"
                                                 : terminal.MonitorVersion.c_str());
        if (terminal.T7000ipGetEeprom())
            std::printf("EEPROM          keyboard %s, display type %d\n",
                        terminal.getKeyboardType() ? "matrix" : "other", terminal.getDisplayType());
        else
            std::printf("EEPROM          cannot be read\n");
        if (terminal.getAutoexec())
            std::printf("autoexec.bat    keyboard '%s', network '%s', reader '%s'\n", terminal.KeyboardFile.c_str(),
                        terminal.NetDriver.c_str(), terminal.ReaderDriver.c_str());
        else
            std::printf("autoexec.bat    not read (only platform group 1 has one)\n");
    } catch (const Terminal::TerminalError& error) {
        result = fail("terminal " + invocation.arguments[0] + ": " + error.text);
    }
    T7000ip::releaseT7000ip();
    return result;
}

const Subcommand kSubcommands[] = {
    {"info", nullptr, 1, "[--group N] info TERMINAL       what TERMINAL (address, name or SN;;) tells of itself",
     terminalInfo},
    {"file", "get", 3, "file get ADDRESS REMOTE LOCAL   fetch REMOTE from the TFTP server at ADDRESS",
     fileGet},
    {"file", "put", 3, "file put ADDRESS LOCAL REMOTE   send LOCAL to the TFTP server at ADDRESS", filePut},
};

void usage() {
    std::fprintf(stderr, "usage: kestrix-cli [--port TFTP-PORT] SUBCOMMAND ...\n");
    for (const Subcommand& subcommand : kSubcommands)
        std::fprintf(stderr, "  kestrix-cli %s\n", subcommand.usage);
}

const Subcommand* findSubcommand(std::span<char*> words) {
    for (const Subcommand& subcommand : kSubcommands) {
        const std::size_t nameWords = subcommand.name == nullptr ? 1 : 2;
        if (words.size() != nameWords + subcommand.arguments ||
            words[0] != std::string_view(subcommand.group))
            continue;
        if (subcommand.name == nullptr || words[1] == std::string_view(subcommand.name))
            return &subcommand;
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    std::span<char*> words(argv + 1, static_cast<std::size_t>(argc - 1));
    Invocation invocation;
    if (words.size() >= 2 && words[0] == std::string_view("--port")) {
        char* end = nullptr;
        const long port = std::strtol(words[1], &end, 10);
        if (*end != '\0' || port < 1 || port > 65535)
            return fail("the TFTP port must be 1 to 65535");
        invocation.tftpPort = static_cast<std::uint16_t>(port);
        words = words.subspan(2);
    }
    if (words.size() >= 2 && words[0] == std::string_view("--group")) {
        char* end = nullptr;
        const long group = std::strtol(words[1], &end, 10);
        if (*end != '\0' || group < 0 || group > 65535)
            return fail("the maintenance group must be 0 to 65535");
        invocation.maintenanceGroup = static_cast<std::uint16_t>(group);
        words = words.subspan(2);
    }
    const Subcommand* subcommand = findSubcommand(words);
    if (subcommand == nullptr) {
        usage();
        return 2;
    }
    const std::size_t nameWords = subcommand->name == nullptr ? 1 : 2;
    for (char* word : words.subspan(nameWords))
        invocation.arguments.emplace_back(word);

    CToolBoxLang language(localeIdFromEnvironment());
    if (!initStartDirectory())
        return fail("the current directory cannot be read");
    const TraceFileOutcome traceOutcome = openTraceFile(startDirectory(), language);
    if (traceOutcome.state == TraceFileState::NotWritable)
        std::fprintf(stderr, "kestrix-cli: %s\n", traceOutcome.warning.c_str());
    int result = 1;
    try {
        setTftpPortRange(portRangeFromSettings());
        result = subcommand->run(invocation);
    } catch (const std::exception& error) {
        result = fail(error.what());
    }
    closeTraceFile();
    return result;
}
