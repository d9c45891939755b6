#pragma once

#include "platform/ip_address.h"
#include "terminal/name_resolver.h"
#include "terminal/product_table.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

class LanInterfaces;

// A serial number is at most this many characters long.
inline constexpr std::size_t kMaxSerialNumberLength = 16;

// Whether a text can be a terminal's serial number: 1 to 16 characters, none of
// them a control character or ";" (the list file separates its fields by ";").
bool isValidSerialNumber(std::string_view serialNumber);

// One further (global) IPv6 address of a terminal.
struct IPv6AddrEntry {
    std::string Address;
    std::string Prefix; // prefix length, may be empty
    bool IsDhcp = false;
    bool IsRadv = false;
    std::string Name; // the address's DNS name, filled on demand

    bool operator==(const IPv6AddrEntry&) const = default;
};

// How long waitOnReboot waits for a terminal of platform group 6 or 7.
enum class RebootWait {
    Normal,   // 40 s
    Long,     // 60 s: the terminal boots its system anew
    VeryLong, // 170 s: after a firmware update
};

// Which name terminalPath builds: the read form, or the write form that
// carries "[" + serial number + "]" in front.
enum class TerminalPathForm { Read, Write };

// The fields of one terminal record, and what can be done with them alone:
// reading the identification line, the "find" and "echo" replies into the
// record, checking that a reply is the terminal's, the list-file line, the
// product predicates, the version key, the names of files on the terminal and
// the wait for a reboot. Each field has its default until a reply or the
// caller fills it.
//
// It sends nothing: Terminal adds the engine through which the commands go,
// and locating a terminal is done there. Reply parsing never throws; a reply
// that is not the terminal's leaves the record unchanged.
class TerminalFields {
public:
    std::string SerialNumber; // as the terminal reports it, trailing blanks removed
    int ProductType = product::None;
    int PlatformGroup = -1;
    int TclKind = tcl_kind::Unknown;
    std::string ProductName;
    int DeviceId = -1;
    std::string FirmwareVersion; // empty in monitor mode
    std::string MonitorVersion;
    Ip6Address AddrInUse; // an IPv4 address in its IPv4-mapped form
    std::string IPAddrInUse;
    std::string DNSNameInUse;
    std::string DhcpName;
    std::string IPv4Addr;
    std::string IPv4Mask; // net mask (echo reply) or prefix length (find reply)
    bool IPv4Dhcp = false;
    std::string IPv4Gateway;
    std::string IPv4DNSName;
    std::string IPv6LinkLocal;
    std::string IPv6LinkLocalPrefix;
    std::vector<IPv6AddrEntry> IPv6Addresses; // in reply order
    std::string HostIfAddr; // IPv4 address text of the PC interface that reaches the terminal
    int LanIfIndex = -1;    // its row in the LAN interface table, -1 for none
    bool RouteAdded = false;
    bool AuthOK = false;
    bool IDBasedAuth = false;
    std::uint32_t TerminalId = 0;
    std::uint16_t TclPort = 0;
    bool PassiveConnect = false;
    bool Encrypt = false;
    int CpuSubtype = 0;
    bool AutoexecKnown = false;
    std::string NetDriver;
    std::string ReaderDriver;
    std::string KeyboardFile;
    bool SysInfoKnown = false;

    bool operator==(const TerminalFields&) const = default;

    // --- Replies ---

    // Reads the identification line that begins every "find" and "echo" reply
    // (product, serial number, kind, display name, versions). With an
    // expected serial number, a reply of another terminal is refused. Returns
    // the rest of the reply after the last word read, or nothing when the line
    // is refused; then the record is unchanged.
    std::optional<std::string> parseIdent(std::string_view reply, std::string_view expectedSerialNumber);
    // The identification line and the named values of a "find" reply
    // (DEVID, DHCPNAME, IPv4, IPv6, ID). True when the reply is the expected
    // terminal's; values up to a malformed one are kept.
    bool parseFindReply(std::string_view reply, std::string_view expectedSerialNumber);
    // The identification line and the named values of an "echo" reply (port,
    // connect, auth, encrypt, addr, mask, gateway, ID). True when the reply is
    // the expected terminal's; values up to a malformed one are kept.
    bool parseEchoReply(std::string_view reply, std::string_view expectedSerialNumber);
    // Whether a reply to a command is this terminal's: its model gives this
    // record's product (DCU4 and DCU4-II counting as one) and its serial
    // number is this record's. The rest of the reply after the serial number,
    // or nothing when the reply is not the terminal's.
    std::optional<std::string> checkReplyIdent(std::string_view reply) const;

    // --- List file ---

    // The record as one line of a list file: serial number, IPv4 address, PC
    // interface address, IPv4 DNS name, first global IPv6 address, link-local
    // address, DNS name of that global address, each followed by ";". DNS
    // names still missing are looked up first and kept. A field whose text
    // the line cannot hold (";", CR or LF in it) is written empty.
    std::string fileLine();
    // The resolver used for DNS look-ups (the system's by default). It must
    // outlive the record.
    void setNameResolver(const NameResolver& resolver) { resolver_ = &resolver; }
    const NameResolver& nameResolver() const { return *resolver_; }

    // --- PC interface ---

    // Makes a row of the process-wide LAN interface table the terminal's
    // interface: LanIfIndex and HostIfAddr (that row's IPv4 address text).
    // -1, or a row the table does not have, leaves the terminal without one.
    void setLanIf(int index);
    void setLanIf(int index, const LanInterfaces& table);

    // --- Product ---

    // The CPU name ("CPU7460.2"), "?" for an unknown product.
    std::string cpuName(CpuNameForm form) const;
    // The terminal list's icon index, 0 for an unknown product.
    int iconIndex() const;
    // "SRV " for a server, "MON " in monitor mode, else "TCL ".
    std::string kindPrefix() const;
    // The sort key of the running version (MonitorVersion in monitor mode,
    // else FirmwareVersion); empty when the version is not known.
    std::string sortVersion() const;

    // Product predicates; P is ProductType, G PlatformGroup, K TclKind and V
    // the sort key of the running version.
    bool isDcu8Family() const;                  // P 6, 10, 11, 17, 18
    bool isDcu4Family() const;                  // P 4, 7
    bool hasDcu4Lbus() const;                   // P 4, 7, 14: an LBus of the DCU4 kind
    bool negotiatesLinkSpeed() const;           // G 3, 5, 6, 7; the others run 10BASE-T half duplex
    bool runsLinux() const;                     // G 6, 7
    bool isOldestPlatform() const;              // G 1, 4: a fixed pause after each file of an update
    bool hasFullSerialChannels() const;         // G not 2, not 5: 38400 baud and two stop bits
    bool hasCpuSubtypeAtLeast2() const;         // CpuSubtype >= 2
    bool is7200Or7400OrPlain7000() const;       // P 2, 5, or 1 with K 0 or 2
    bool is7100Or7105Or7200OrPlain7000() const; // P 3, 13, 2, or 1 with K 0 or 2
    bool is7400Line() const;                    // P 5, 8, 9, 15, 16: the 7400, 7450, 7600, 7460, 7660
    // False for the 7400 and for a 7000 of any kind but ACM (an ACM 7000 is
    // listed as a DCU): not (P 1 and K not 1), and P not 5.
    bool isOutside7000Line() const;
    bool isListedProduct() const; // P 4, 7, 14, 6, 10, 11, 17, 18, 3, 13, 1, 5
    bool is9300() const;          // P 12
    bool isMonitorMode() const;   // K 10, 11
    bool isNotServer() const;     // K neither 3 nor 11
    // How many of the first files of a firmware update (BIOS, monitor) make
    // the terminal restart by itself: 2 for G 2; 1 for G 3, 5; else 0.
    int restartingFirmwareFiles() const;
    // How many kinds of firmware file an update sends: 3 for G 2 (BIOS,
    // monitor, TCL); 2 for G 3, 5, 6, 7 (monitor, TCL); else 1 (TCL).
    int firmwareFileKinds() const;
    bool isVersionAtLeast612() const;     // by product: V >= "6_12a" or "6_12g"
    bool isVersionLevel(int level) const; // 1; 2: V >= "5_92~"; 3: V >= "6_06c"
    bool usesEncryptedTcl() const;        // Encrypt, TCL kind, V not in the 5.50/5.90 gaps
    bool isVariant(int variant) const;    // 1: a "-tempo" 7450/7460; 2: a 7200
    // G 1 and the network driver read from autoexec.bat is "wavelan"; false
    // while autoexec.bat has not been read (the command set reads it).
    bool knownToHaveWirelessLan() const;
    // AuthOK, or V >= "5_50a", or MonitorVersion >= "2.00" as text. When both
    // versions are still empty the caller locates the terminal by echo first.
    bool knownToSupportAuthentication() const;

    // --- Files and restarts ---

    // The name of a file on the terminal: "C@\t7000\" in front except on
    // platform groups 6 and 7, and for writing "[" + serial number + "]"
    // before that.
    std::string terminalPath(std::string_view fileName, TerminalPathForm form) const;
    // Sleeps (through the scaled pause) long enough for the terminal to reboot:
    // 40 s for group 4, 6 s for groups other than 6 and 7, else by the wait.
    void waitOnReboot(RebootWait wait) const;

private:
    // The security id a find or echo reply reports becomes TerminalId; a zero
    // or changed id makes an earlier acceptance worthless (AuthOK cleared).
    void takeSecurityId(std::uint32_t id);

    const NameResolver* resolver_ = &systemNameResolver();
};

} // namespace kestrix
