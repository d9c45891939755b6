#pragma once

#include "crypto/aes.h"
#include "sim/ipv4_settings.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kestrix {
class IniData;
}

namespace kestrix::sim {

// Which proof a terminal asks of its secured requests.
enum class AuthenticationMode {
    None,    // firmware without authentication: secured requests are answered as they come
    IPBased, // "auth=" check value over the sender's IPv4 address, group and request
    IDBased, // "sid=" CMAC keyed from serial number, group and security id
};

// What the terminal is running.
enum class RunMode { Application, Monitor };

// How a terminal got its global IPv6 address (the word after it in the find reply).
enum class Ipv6Origin { RouterAdvertisement, Dhcp };

enum class TclConnect { Active, Passive };

// The lines the terminal's TCL application answers with, besides the values
// it is asked for, and the statement that makes it close the connection.
struct TclAnswerLines {
    std::string answer = "OK";   // any statement it does not interpret
    std::string escape = "ESC";  // a statement ending in ESC
    std::string error = "ERROR"; // a statement it cannot parse
    std::string closeOn;         // empty: no statement closes the connection
};

// How the terminal's replies go wrong on purpose ([faults]).
struct FaultSettings {
    double dropProbability = 0.0;          // 0..1: a reply is not sent
    int delayMilliseconds = 0;             // every reply leaves this late (time-scaled)
    bool duplicate = false;                // every reply is sent twice
    bool silent = false;                   // requests are neither answered nor carried out
    std::set<std::string> ignoredRequests; // command words neither answered nor carried out
    bool refuseIp = false;                 // "ip" is answered "IP configuration refused"
};

// The card readers on the terminal's reader bus ([readers]), numbers 0-16.
struct ReaderBusConfig {
    std::set<int> present;                // the readers that answer; every other one is absent
    std::string key = "none";             // every reader's key state at the start
    bool cardUnlocked = false;            // every reader's parameter card state at the start
    std::string firmwareVersion = "1.00"; // every reader's firmware
    std::string parameterVersion = "1";   // every reader's parameters
    int statusSteps = 2;                  // status answers of an update that report "running" (10) first
    std::map<int, int> failures;          // reader -> the code its update ends with instead of 100
    int startStatus = 0;                  // not 0: every update start is answered with it
};

// Everything that describes one simulated terminal, read once at start-up
// from the [network], [terminal], [readers] and [faults] sections. The values that a
// terminal changes while it runs (address, run mode, group) start from here
// and live in the responder. The [tftp] section belongs to the TFTP server.
struct TerminalConfig {
    // Identification line: product words, third word, serial number, then in
    // application mode the kind word (may be empty) and the firmware version,
    // in monitor mode the monitor words and the monitor version.
    std::vector<std::string> productWords;
    std::string productWord;
    std::string serialNumber;
    std::string kindWord;
    std::string firmwareVersion;
    std::string monitorVersion;
    std::vector<std::string> monitorWords;
    RunMode startMode = RunMode::Application;
    // A firmware update: the version reported after it where no version
    // reader knows the received TCL file (empty: the version stays), and the
    // name of the BIOS file after which a terminal of platform group 2
    // restarts by itself (empty: none).
    std::string firmwareVersionAfterUpdate;
    std::string biosFile;

    AuthenticationMode authentication = AuthenticationMode::IDBased;
    std::set<std::string> securedRequests;
    bool answersFind = true;
    std::uint32_t securityId = 0;
    std::uint16_t maintenanceGroup = 0;
    int deviceId = 0;

    std::string interfaceName;
    Ipv4Settings ipv4;
    std::string ipv6LinkLocal;
    std::string ipv6Global;
    Ipv6Origin ipv6GlobalOrigin = Ipv6Origin::RouterAdvertisement;

    std::uint16_t tclPort = 3000;
    TclConnect tclConnect = TclConnect::Active;
    bool tclEncrypt = false;
    std::string tclHost;          // address:port of the connected host; empty: offline
    std::optional<AesKey> tclKey; // the TCL data key; always present with tclEncrypt
    TclAnswerLines tclAnswers;
    int tclIdleCloseMilliseconds = 0; // 0: a quiet session stays open

    unsigned sram = 512;
    bool wiegand = false;
    std::string operatingSystem;
    int rootFileSystemVersion = 0;
    std::string flash;
    std::array<std::uint8_t, 128> eeprom{};
    ReaderBusConfig readers;

    int rebootMilliseconds = 5000;
    int sysbootMilliseconds = 10000;
    int monitorRestartMilliseconds = 1000;
    int monitorPassMilliseconds = 0; // monitor mode after a restart before the application runs

    FaultSettings faults;
};

// Reads and checks the configuration. Throws std::runtime_error with a
// one-line reason ("[terminal] serial_number: ...") for a missing or wrong
// value and for a key that this simulator does not know.
TerminalConfig readTerminalConfig(const IniData& ini);

// The same from a file (IniFile's errors pass on as they are).
TerminalConfig loadTerminalConfig(const std::string& fileName);

} // namespace kestrix::sim
