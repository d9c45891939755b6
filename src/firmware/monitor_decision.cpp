#include "firmware/monitor_decision.h"

#include "terminal/product_rules.h"

namespace kestrix {

int monitorFileCount(int platformGroup) {
    if (platformGroup == 2)
        return 2;
    if (platformGroup == 3 || platformGroup == 5 || platformRunsLinux(platformGroup))
        return 1;
    return 0;
}

bool monitorVersionDecides(int platformGroup) {
    return monitorFileCount(platformGroup) > 0 && !platformRunsLinux(platformGroup);
}

MonitorChoice decideMonitor(int platformGroup, const std::string& terminalKey, const std::string& fileKey,
                            const std::string& minimumKey, MonitorReplacement option) {
    if (monitorFileCount(platformGroup) == 0)
        return MonitorChoice::NoMonitorFiles;
    if (platformRunsLinux(platformGroup))
        return MonitorChoice::ReplaceOnLinux;
    // The version's section names no monitor file: the list begins with the
    // TCL file, and nothing may be taken off its front.
    if (fileKey == kNoFileMonitorVersion)
        return MonitorChoice::NoMonitorFiles;
    if (terminalKey < fileKey)
        return MonitorChoice::Replace;
    if (terminalKey == fileKey || option == MonitorReplacement::WhenOlder)
        return MonitorChoice::Keep;
    // A newer monitor is replaced by an older one only on request, and never
    // by one the new firmware does not accept.
    return fileKey <= minimumKey ? MonitorChoice::KeepAtMinimum : MonitorChoice::Replace;
}

} // namespace kestrix
