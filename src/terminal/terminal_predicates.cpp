// What other parts of the program ask of a terminal's product, kind and version.
#include "terminal/product_rules.h"
#include "terminal/terminal_fields.h"
#include "terminal/version_key.h"

#include <initializer_list>

namespace kestrix {

namespace {

bool isOneOf(int value, std::initializer_list<int> values) {
    for (int candidate : values)
        if (value == candidate)
            return true;
    return false;
}

bool keyWithin(const std::string& key, std::string_view first, std::string_view last) {
    return key >= first && key <= last;
}

} // namespace

using namespace product;

std::string TerminalFields::cpuName(CpuNameForm form) const {
    return productCpuName(ProductType, CpuSubtype, form);
}

int TerminalFields::iconIndex() const {
    return productIconIndex(ProductType, TclKind);
}

std::string TerminalFields::kindPrefix() const {
    if (TclKind == tcl_kind::Server)
        return "SRV ";
    if (isMonitorMode())
        return "MON ";
    return "TCL ";
}

std::string TerminalFields::sortVersion() const {
    return versionSortKey(isMonitorMode() ? MonitorVersion : FirmwareVersion);
}

bool TerminalFields::isDcu8Family() const {
    return isOneOf(ProductType, {Dcu8, Dcu8eR, Dcu8eW, Dcu8iR, Dcu8iW});
}

bool TerminalFields::isDcu4Family() const {
    return isOneOf(ProductType, {Dcu4, Dcu4II});
}

bool TerminalFields::hasDcu4Lbus() const {
    return productHasDcu4Lbus(ProductType);
}

bool TerminalFields::negotiatesLinkSpeed() const {
    return platformNegotiatesLinkSpeed(PlatformGroup);
}

bool TerminalFields::runsLinux() const {
    return platformRunsLinux(PlatformGroup);
}

bool TerminalFields::isOldestPlatform() const {
    return isOneOf(PlatformGroup, {1, 4});
}

bool TerminalFields::hasFullSerialChannels() const {
    return !isOneOf(PlatformGroup, {2, 5});
}

bool TerminalFields::hasCpuSubtypeAtLeast2() const {
    return CpuSubtype >= 2;
}

bool TerminalFields::is7200Or7400OrPlain7000() const {
    return isOneOf(ProductType, {Talmo7200, Talmo7400}) ||
           (ProductType == Talmo7000 && isOneOf(TclKind, {tcl_kind::Pze, tcl_kind::Et}));
}

bool TerminalFields::is7100Or7105Or7200OrPlain7000() const {
    return isOneOf(ProductType, {Talmo7100, Talmo7105, Talmo7200}) ||
           (ProductType == Talmo7000 && isOneOf(TclKind, {tcl_kind::Pze, tcl_kind::Et}));
}

bool TerminalFields::is7400Line() const {
    return isOneOf(ProductType, {Talmo7400, Talmo7450, Talmo7600, Talmo7460, Talmo7660});
}

bool TerminalFields::isOutside7000Line() const {
    return !(ProductType == Talmo7000 && TclKind != tcl_kind::Acm) && ProductType != Talmo7400;
}

bool TerminalFields::isListedProduct() const {
    return isOneOf(ProductType, {Dcu4, Dcu4II, Dcu40, Dcu8, Dcu8eR, Dcu8eW, Dcu8iR, Dcu8iW, Talmo7100,
                                 Talmo7105, Talmo7000, Talmo7400});
}

bool TerminalFields::is9300() const {
    return ProductType == Talmo9300;
}

bool TerminalFields::isMonitorMode() const {
    return TclKind == tcl_kind::Monitor || TclKind == tcl_kind::ServerMonitor;
}

bool TerminalFields::isNotServer() const {
    return !kindIsServer(TclKind);
}

int TerminalFields::restartingFirmwareFiles() const {
    if (PlatformGroup == 2)
        return 2;
    if (isOneOf(PlatformGroup, {3, 5}))
        return 1;
    return 0;
}

int TerminalFields::firmwareFileKinds() const {
    if (PlatformGroup == 2)
        return 3;
    if (isOneOf(PlatformGroup, {3, 5, 6, 7}))
        return 2;
    return 1;
}

bool TerminalFields::isVersionAtLeast612() const {
    if (isOneOf(ProductType, {Talmo7450, Talmo7600, Talmo7460, Talmo7660}))
        return sortVersion() >= "6_12a";
    if (isOneOf(ProductType, {Talmo9300, Talmo7100}))
        return sortVersion() >= "6_12g";
    return false;
}

bool TerminalFields::isVersionLevel(int level) const {
    switch (level) {
    case 1:
        return true;
    case 2:
        return sortVersion() >= "5_92~";
    case 3:
        return sortVersion() >= "6_06c";
    default:
        return false;
    }
}

bool TerminalFields::usesEncryptedTcl() const {
    if (!Encrypt || kindPrefix() != "TCL ")
        return false;
    const std::string key = sortVersion();
    return !keyWithin(key, "5_50a", "5_52~") && !keyWithin(key, "5_90a", "5_92~");
}

bool TerminalFields::isVariant(int variant) const {
    if (ProductName == "TALMO 7450-tempo" || ProductName == "TALMO 7460-tempo")
        return variant == 1;
    return ProductType == Talmo7200 && variant == 2;
}

bool TerminalFields::knownToHaveWirelessLan() const {
    return PlatformGroup == 1 && NetDriver == "wavelan";
}

bool TerminalFields::knownToSupportAuthentication() const {
    return AuthOK || sortVersion() >= "5_50a" || MonitorVersion >= "2.00";
}

} // namespace kestrix
