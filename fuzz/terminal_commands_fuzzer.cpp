// Plays a terminal that answers the maintenance commands with any datagrams:
// host, system and flash information, monitor version, EEPROM, the reader
// operations and reset, each sent the way the command set sends it (with the
// IP-based or ID-based proof and the find/echo handshake where the record
// asks for it). Checks what the record must hold afterwards.
//
// Input: one byte for the record (bit 0 ID-based, bit 1 AuthOK, bit 2 a
// version that knows authentication, bit 3 monitor mode, bits 4-6 the
// product), then the replies: groups separated by 0xFE (one per request), the
// datagrams of a group by 0xFF.
#include "terminal/terminal.h"

#include "answering_network.h"
#include "check.h"
#include "no_names.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using namespace kestrix;

constexpr int kProducts[] = {product::Talmo7000, product::Talmo7450, product::Talmo7460, product::Talmo9300,
                             product::Dcu8eR,    product::Dcu4,      product::Talmo7105, product::Dcu40};

TerminalFields recordOf(std::uint8_t choice) {
    TerminalFields fields;
    fields.SerialNumber = "100200";
    fields.ProductType = kProducts[(choice >> 4) % std::size(kProducts)];
    fields.PlatformGroup = productPlatformGroup(fields.ProductType);
    fields.IDBasedAuth = (choice & 1) != 0;
    fields.AuthOK = (choice & 2) != 0;
    const bool monitor = (choice & 8) != 0;
    fields.TclKind = monitor ? tcl_kind::Monitor : tcl_kind::Pze;
    const std::string version = (choice & 4) != 0 ? (monitor ? "2.05" : "6.20") : (monitor ? "1.07" : "5.10");
    (monitor ? fields.MonitorVersion : fields.FirmwareVersion) = version;
    fields.TerminalId = 0x0A1B2C3D;
    fields.AddrInUse = Ip6Address::fromIPv4Bytes(127, 0, 0, 2);
    fields.IPAddrInUse = "::ffff:127.0.0.2";
    fields.HostIfAddr = "10.66.0.1";
    return fields;
}

void runCommands(Terminal& terminal) {
    const std::string host = terminal.T7000ipGetHostInfo();
    check(terminal.HostOnlineInfo.size() <= Terminal::kMaxHostOnlineInfoLength);
    check(host.empty() || (!terminal.HostOffline && host.find(terminal.HostOnlineInfo) != std::string::npos));
    if (terminal.T7000ipGetSysInfo())
        check(terminal.SysInfoKnown && terminal.RootFileSystemVersion >= 0);
    terminal.T7000ipGetExchgDefPrgr();
    const std::string key = terminal.getSortMonitorVersion(MonitorVersionCache::Forget);
    check(key.empty() == (terminal.MonitorVersion.size() < 4));
    const bool eeprom = terminal.T7000ipGetEeprom();
    check(eeprom == (terminal.Eeprom == EepromState::Read));
    const int display = terminal.getDisplayType();
    check(display >= 0 && display <= 2 && (eeprom || display == 0));
    terminal.T7000ipRfwdlExecute(1);
    terminal.T7000ipRfwdlStatus(3);
    terminal.T7000ipRparadlExecute(1);
    terminal.T7000ipRparadlStatus(3);
    terminal.T7000ipRKeyTransfer(1);
    terminal.T7000ipRCardCfgTransfer(1, 0);
    terminal.T7000ipReset(ResetBoot::System, "2");
    check(terminal.Eeprom == EepromState::Unknown);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::terminalsAndEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::TerminalsAndEngine& network = fuzz::terminalsAndEngine();
    if (size == 0)
        return 0;
    network.terminals.setScript(fuzz::scriptOf({reinterpret_cast<const char*>(data) + 1, size - 1}));
    static const NoNames noNames;
    Terminal terminal(network.engine, recordOf(data[0]));
    terminal.setNameResolver(noNames);
    runCommands(terminal);
    // A reply of another terminal never changes whose record it is.
    check(terminal.SerialNumber == "100200");
    return 0;
}
