#pragma once

#include "platform/worker_thread.h"
#include "protocol/t7000ip.h"
#include "terminal/terminal_fields.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kestrix {

// Whether locating a terminal may add a host route to it.
enum class RouteUse { Allowed, NotAllowed };

// How a terminal accepts authenticated requests.
enum class AuthenticationMode { IPBased, IDBased };

// Whether T7000ipComm proves the request's origin to the terminal.
enum class RequestSecurity { Unsecured, Secured };

// Whether T7000ipReset asks the terminal to boot its whole system anew.
enum class ResetBoot { Application, System };

// Whether getSortMonitorVersion first forgets the known monitor version (so
// that the terminal is put into its monitor once more).
enum class MonitorVersionCache { Keep, Forget };

// What isStartedSameTCL and isStartedDiffTCL wait for.
enum class StartExpectation {
    Application, // a terminal still in its monitor is waited for
    Monitor,     // a terminal answering from its monitor ends the wait
};

// The EEPROM contents of a terminal as far as they are known.
enum class EepromState { Failed = -1, Unknown = 0, Read = 1 };

// How displayAddress writes an IPv4 terminal's address.
enum class AddressDisplay {
    DottedIPv4, // the dotted IPv4 address when the address in use is IPv4
    AsKnown,    // the first global IPv6 address, else the address in use as held
};

// The program's record of one terminal: its fields (TerminalFields) and the
// maintenance datagram engine through which every request to the terminal
// goes. A record lives in the terminal list or in a dialog and is refreshed by
// the replies the terminal gives.
//
// This constructor takes values that are already known and does not locate
// the terminal on the network; it sends nothing.
class Terminal : public TerminalFields {
    enum class LocateRequest { Find, Echo };

public:
    // The failures of constructing and locating a record and of waiting for a
    // restarted terminal: a code (1 no reply, 2 no name resolution, 3 bad
    // format or address, 4 no routing, 5 no reply and possibly no routing) and
    // a German text. Callers map the code to a message of their own.
    struct TerminalError : WorkerError {
        enum class Reason {
            NoReply,                 // 1 "keine Antwort vom Netz"
            NoConstructorParameters, // 1 "keine Parameter für den Konstruktor"
            NoNameResolution,        // 2 "keine Namensauflösung möglich"
            WrongLineFormat,         // 3 "Zeile hat falsches Format"
            NoIPv6Address,           // 3 "keine IPv6 Adresse"
            NoRouting,               // 4 "kein Routing möglich. Administratorrechte?"
            NoReplyOrNoRouting,      // 5 "keine Antwort vom Netz, oder kein Routing wegen fehlender ..."
        };
        explicit TerminalError(Reason reason);
        Reason reason;
    };

    // A record of known values (for instance, kept from an earlier search).
    Terminal(T7000ip& engine, TerminalFields known);
    // A record from a line of a terminal list file: an address or DNS name,
    // "SN;IP;DNS", or the seven-field saved line. Locates the terminal; throws
    // TerminalError when it cannot (code 3 for any other line format, code 1
    // for an empty line).
    Terminal(T7000ip& engine, const std::string& fileLine);
    // A record from an address (or DNS name) and/or a serial number; locates
    // the terminal by find and runs the ID-based search (ID-based), or
    // locates it by echo (IP-based). Both texts empty: code 1.
    Terminal(T7000ip& engine, AuthenticationMode mode, const std::string& address,
             const std::string& serialNumber, int lanIfIndex);
    // Deletes the host route the record added, and traces "~Terminal(serial number)".
    ~Terminal();

    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // The request with the ID-based proof " sid=<8 hex digits>" appended,
    // keyed from the serial number, the engine's maintenance group number and
    // TerminalId; unchanged (with a trace line) while TerminalId is 0.
    std::string addIDBasedAuth(const std::string& request) const;

    // --- Locating (each throws TerminalError when the terminal is not found) ---

    void T7000ipLocateByFind(const std::string& address, const std::string& name,
                             const std::string& serialNumber, RouteUse route);
    void T7000ipLocateByEcho(const std::string& address, const std::string& name,
                             const std::string& serialNumber, RouteUse route);
    // True when some LAN interface makes the terminal accept IP-based requests;
    // the terminal keeps that interface.
    bool findIPBasedAuthentification();
    // True when the terminal accepts this station's ID-based requests.
    bool findIDBasedAuthentification();
    // DNSNameInUse (and the name of the first global IPv6 address) from the address in use.
    void setDNSNameInUse();
    std::string displayAddress(AddressDisplay display) const;

    // --- Host routes to a terminal in a foreign subnet ---

    // 1: a route was added and the terminal answers through it; 0: not
    // applicable or no interface led to it; -1: adding a route failed (rights).
    int tryToRoute();
    // An on-link host route to the IPv4 address (dotted) through a row of the
    // LAN interface table.
    bool addRoute(const std::string& address, int entry);
    // Deletes every IPv4 host route (/32) whose destination is the address
    // and that this program added (in this run or an earlier one); a route an
    // administrator made and other routes (default, subnets) stay.
    static bool deleteRoute(const std::string& address);
    // Deletes every host route this process added and has not deleted yet:
    // the clean-up of an interrupted process.
    static void deleteAllOwnRoutes();
    // Prepares record and routing for the address the terminal is about to
    // get; the terminal's acceptance (AuthOK) is to be found again there.
    bool prepareForNewAddr(const std::string& newAddress, const std::string& newDnsName);
    // Takes over the host route of a record this one replaces, when that
    // route leads to this record's IPv4 address and this record added none
    // (it reached the terminal through that route). The route then ends with
    // this record, not with the replaced one.
    void takeOverHostRoute(Terminal& replaced);

    // --- Maintenance commands (each goes to the address in use; none throws:
    // failure is an empty text, false or an unchanged field) ---

    // Sends a request as directed request and returns the reply lines, empty
    // on failure. Secured: with the IP-based suffix (none at all while AuthOK
    // is not set) or, for ID-based terminals, with the ID-based suffix after a
    // find/echo handshake; a terminal that does not know authentication yet
    // gets the request as it is. Up to 3 attempts (ID-based: 2, then one more
    // handshake round and 2 more).
    std::vector<std::string> T7000ipComm(RequestSecurity security, const std::string& request,
                                         T7000ip::RequestKind kind, std::int64_t timeoutSeconds);
    // AuthOK, or a version that knows authentication; when neither version is
    // known yet the terminal is first located by echo to learn them.
    bool supportsAuthentication();

    // "reset SN [sysboot] [mode=M]": true when the terminal acknowledges it.
    // The EEPROM contents count as unknown afterwards.
    bool T7000ipReset(ResetBoot boot, const std::string& mode);
    // The TCL host for display: "name (address:port)", "address:port", or
    // empty when the terminal is offline or does not answer. Also reads
    // TclPort, PassiveConnect, Encrypt, HostOffline and HostOnlineInfo.
    std::string T7000ipGetHostInfo();
    // The reader bus operations: the text after the command word of the
    // answer, empty on failure. The mask is the bit set of readers.
    std::string T7000ipRfwdlExecute(unsigned mask);
    std::string T7000ipRfwdlStatus(unsigned mask);
    std::string T7000ipRparadlExecute(unsigned mask);
    std::string T7000ipRparadlStatus(unsigned mask);
    std::string T7000ipRKeyTransfer(unsigned mask);
    std::string T7000ipRCardCfgTransfer(unsigned mask, int unlock);
    // "info SN" once: SRAM parameter, Wiegand interface, root file system
    // version. True when the system information is known.
    bool T7000ipGetSysInfo();
    unsigned getSramParameter();
    bool hasWiegandInterface();
    // The monitor's version; puts the terminal into its monitor when it is
    // not known yet. Empty on failure.
    std::string T7000ipGetMonitorVersion();
    // The monitor version's sort key ("2_05~"), empty when it cannot be learnt.
    std::string getSortMonitorVersion(MonitorVersionCache cache);
    // Whether an update must exchange the default program (by the flash chip
    // the terminal names); false on failure.
    bool T7000ipGetExchgDefPrgr();
    // Reads the 128 EEPROM bytes once (state Read), or remembers the failure
    // (state Failed) until the next reset.
    bool T7000ipGetEeprom();
    // True when EEPROM byte 88 is "8" (the matrix keyboard).
    bool getKeyboardType();
    // 1 when EEPROM byte 86 is "7", 2 when it is "8", else 0 (also when the
    // EEPROM cannot be read).
    int getDisplayType();

    // --- Waiting for a restarted terminal (throw TerminalError: code 2 no
    // name resolution, 4 no routing, 1 when the seconds have passed) ---

    // Waits until the terminal answers again with the TCL it had, then finds
    // its authentication again.
    void isStartedSameTCL(int seconds, StartExpectation expectation);
    // The same for a terminal that was given another TCL: find first, echo
    // when find gets no answer.
    void isStartedDiffTCL(int seconds, StartExpectation expectation);

    // The longest "online" value of the host information that is taken (an
    // IPv6 address, ":" and a port); a longer one is refused.
    static constexpr std::size_t kMaxHostOnlineInfoLength = 51;
    static constexpr std::size_t kEepromSize = 128;
    // The EEPROM bytes that hold the keyboard type ('8': matrix keyboard) and the display type.
    static constexpr std::size_t kKeyboardTypeByte = 88;
    static constexpr std::size_t kDisplayTypeByte = 86;

    // Reads "C:\\autoexec.bat" by TFTP (platform group 1 only) and learns the
    // keyboard driver file and the PCMCIA network and reader drivers it loads.
    // False when the terminal is not asked or the file cannot be read; once
    // done (either way), later calls answer true at once.
    bool getAutoexec();
    // The terminal's address as the TFTP client takes it (with the interface
    // of a link-local address).
    std::string tftpAddress() const;

    T7000ip& Engine;

    // What the maintenance commands learn (their known-marks beside them).
    bool HostOffline = false;
    std::string HostOnlineInfo; // "online" of the last host information, at most 51 characters
    unsigned SramParameter = 0;
    bool WiegandInterface = false;
    int RootFileSystemVersion = 0;
    bool FlashKnown = false;
    bool ExchangeDefaultProgram = false;
    EepromState Eeprom = EepromState::Unknown;
    // As the engine delivers them: a zero byte of the terminal's EEPROM reads
    // as a blank. Blanks also stand for bytes a short answer did not carry.
    std::array<std::uint8_t, kEepromSize> EepromContents{};

private:
    // The dotted IPv4 address the record's host route leads to (while RouteAdded).
    std::string routedAddress_;
    // Deletes the record's host route, if it has one.
    void removeOwnRoute();

    enum class HandshakeResult { AuthOK, NoAuthOK };
    enum class LocateOrder { SameTCL, DifferentTCL };
    std::vector<std::string> sendAttempts(const std::string& data, T7000ip::RequestKind kind,
                                          std::int64_t timeoutSeconds, int attempts);
    HandshakeResult idBasedHandshake(int rounds, T7000ip::RequestKind kind, std::int64_t timeoutSeconds);
    std::vector<std::string> idBasedComm(const std::string& request, T7000ip::RequestKind kind,
                                         std::int64_t timeoutSeconds);
    std::string readerOperation(const char* operation, const std::string& command,
                                const std::string& arguments);
    bool monitorRequest(const char* operation);
    void waitForStart(LocateOrder order, int seconds, StartExpectation expectation);
    LocateRequest locateRestarted(LocateOrder order);

    // The serial number the engine matches a directed reply with: none for a
    // request by address or name (a reply of another terminal from there
    // reaches the reply parser, which traces and refuses it), the serial
    // number after a broadcast by serial number.
    enum class ReplyFilter { ByAddress, BySerialNumber };

    // Locating, one function per stage: by address, by DNS name, by serial
    // number (a broadcast, then a directed request to the address that answered).
    struct LocateRun;
    struct SerialNumberBroadcast;
    void locate(LocateRequest request, const std::string& address, const std::string& name,
                const std::string& serialNumber, RouteUse route);
    bool locateByAddress(const LocateRun& run, const std::string& address, const std::string& name);
    bool locateByName(const LocateRun& run, const std::string& name);
    bool locateBySerialNumber(const LocateRun& run);
    SerialNumberBroadcast broadcastBySerialNumber(const LocateRun& run);
    bool answeredAfterBroadcast(const LocateRun& run, const std::string& prefix,
                                const SerialNumberBroadcast& broadcast);
    bool sendDirected(const LocateRun& run, const std::string& prefix, int echoAttempts, ReplyFilter filter);
    bool routeWhenUnanswered(const LocateRun& run);
    std::string requestText(LocateRequest request, const std::string& serialNumber);
    bool acceptReplies(LocateRequest request, const std::vector<std::string>& replies,
                       const std::string& serialNumber, const std::string& tracePrefix);
    bool directedRequest(LocateRequest request, const std::string& serialNumber,
                         const std::string& tracePrefix, int interfaceRow, ReplyFilter filter);
    void locateFromFileLine(const std::string& line);
    void runChain(const std::vector<std::pair<LocateRequest, std::array<std::string, 3>>>& chain);
    void locateThenSearch(LocateRequest request, const std::string& address, const std::string& name,
                          const std::string& serialNumber, RouteUse route);
};

} // namespace kestrix
