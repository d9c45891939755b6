#include "terminal/terminal_fields.h"

#include "lan/lan_interfaces.h"
#include "platform/pause.h"
#include "platform/trace.h"
#include "terminal/product_rules.h"

namespace kestrix {

namespace {

unsigned rebootMilliseconds(int platformGroup, RebootWait wait) {
    if (platformGroup == 4)
        return 40000;
    if (!platformRunsLinux(platformGroup))
        return 6000;
    switch (wait) {
    case RebootWait::VeryLong:
        return 170000;
    case RebootWait::Long:
        return 60000;
    case RebootWait::Normal:
        return 40000;
    }
    return 40000;
}

} // namespace

void TerminalFields::setLanIf(int index) {
    setLanIf(index, lanInterfaces());
}

void TerminalFields::setLanIf(int index, const LanInterfaces& table) {
    if (index < 0 || index >= table.count()) {
        LanIfIndex = -1;
        HostIfAddr.clear();
        return;
    }
    LanIfIndex = index;
    HostIfAddr = table.entries()[static_cast<std::size_t>(index)].IPv4Addr.data();
}

void TerminalFields::takeSecurityId(std::uint32_t id) {
    if (id == 0 || id != TerminalId)
        AuthOK = false;
    TerminalId = id;
}

std::string TerminalFields::terminalPath(std::string_view fileName, TerminalPathForm form) const {
    std::string path;
    if (form == TerminalPathForm::Write)
        path = "[" + SerialNumber + "]";
    if (!runsLinux())
        path += "C@\\t7000\\";
    path += fileName;
    return path;
}

void TerminalFields::waitOnReboot(RebootWait wait) const {
    const unsigned milliseconds = rebootMilliseconds(PlatformGroup, wait);
    trace("Terminal::waitOnReboot(): sleep() für %u Millisekunden, um Reboot abzuwarten\n", milliseconds);
    pause(static_cast<int>(milliseconds));
}

} // namespace kestrix
