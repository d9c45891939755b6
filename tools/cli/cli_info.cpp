// kestrix-cli info: what the command set learns of one terminal.
#include "cli_common.h"

#include "terminal/terminal.h"

#include <cstdio>

namespace kestrix::cli {
namespace {

// Locates the terminal as the window adds it (with -a also by the IP-based
// search) and prints what the command set learns of it. Asks nothing that
// restarts the terminal: the monitor version is shown only when the terminal
// has told it already. Exit code 1 when a part the terminal should answer
// could not be read; what could is shown all the same.
int terminalInfo(const Invocation& invocation) {
    if (invocation.arguments.size() != 1)
        return usageError(invocation, "info needs one TERMINAL");
    return withTerminal(invocation, invocation.arguments[0], [&invocation](Terminal& terminal) {
        bool complete = true;
        std::printf("terminal        %s %s (%s)\n", terminal.ProductName.c_str(),
                    terminal.SerialNumber.c_str(), terminal.cpuName(CpuNameForm::Long).c_str());
        std::printf("address         %s%s%s\n", terminal.displayAddress(AddressDisplay::DottedIPv4).c_str(),
                    terminal.DNSNameInUse.empty() ? "" : "  ", terminal.DNSNameInUse.c_str());
        std::printf("running         %s%s\n", terminal.kindPrefix().c_str(),
                    terminal.isMonitorMode() ? terminal.MonitorVersion.c_str()
                                             : terminal.FirmwareVersion.c_str());
        std::string authentication = terminal.IDBasedAuth ? "ID-based" : "IP-based";
        if (terminal.AuthOK)
            authentication += ", accepted";
        else if (terminal.IDBasedAuth && invocation.adding == AddingMode::Normal)
            authentication += " search not accepted: the maintenance group is wrong, or the terminal uses "
                              "IP-based authentication (-a tries that too)";
        else
            authentication += ", not accepted: the maintenance group is wrong";
        std::printf("authentication  %s\n", authentication.c_str());
        std::string host = terminal.T7000ipGetHostInfo();
        std::printf("TCL host        %s (port %u, %s%s)\n", host.empty() ? "offline" : host.c_str(),
                    static_cast<unsigned>(terminal.TclPort), terminal.PassiveConnect ? "passive" : "active",
                    terminal.Encrypt ? ", encrypted" : "");
        if (terminal.T7000ipGetSysInfo()) {
            std::printf("system          SRAM %u, Wiegand %s, root file system %d\n",
                        terminal.getSramParameter(), terminal.hasWiegandInterface() ? "yes" : "no",
                        terminal.RootFileSystemVersion);
        } else {
            std::printf("system          cannot be read\n");
            complete = false;
        }
        std::printf("monitor         %s\n", terminal.MonitorVersion.empty()
                                                ? "not known without restarting the terminal into its monitor"
                                                : terminal.MonitorVersion.c_str());
        if (terminal.T7000ipGetEeprom()) {
            std::printf("EEPROM          keyboard %s, display type %d\n",
                        terminal.getKeyboardType() ? "matrix" : "other", terminal.getDisplayType());
        } else {
            std::printf("EEPROM          cannot be read%s\n",
                        terminal.AuthOK ? "" : " (the terminal answers authenticated requests only)");
            complete = false;
        }
        // Only the terminals of platform group 1 start from an autoexec.bat.
        if (terminal.PlatformGroup == 1) {
            if (terminal.getAutoexec()) {
                std::printf("autoexec.bat    keyboard '%s', network '%s', reader '%s'\n",
                            terminal.KeyboardFile.c_str(), terminal.NetDriver.c_str(),
                            terminal.ReaderDriver.c_str());
            } else {
                std::printf("autoexec.bat    cannot be read\n");
                complete = false;
            }
        }
        return complete ? kExitSuccess : kExitFailure;
    });
}

} // namespace

std::vector<Subcommand> terminalSubcommands() {
    return {
        {"info", nullptr, "[--group N] [-a] info TERMINAL",
         "  Locates TERMINAL (an address, a DNS name, \"SN;IP;DNS\" or \"SN;;\") and prints what\n"
         "  it tells of itself: host, system, EEPROM and autoexec information.\n",
         terminalInfo},
    };
}

} // namespace kestrix::cli
