#pragma once

// The rules that follow from a terminal's product code, platform group or kind
// alone. The terminal record's predicates and the configuration block's owner
// both read them here, so that each rule is written once.
#include "terminal/product_table.h"

namespace kestrix {

// Platform groups 6 and 7 run Linux: a root file system, file names without the
// "C@\t7000\" drive, an IPv4 and IPv6 stack and long reboots.
constexpr bool platformRunsLinux(int platformGroup) {
    return platformGroup == 6 || platformGroup == 7;
}

// Platform groups 3, 5, 6 and 7 negotiate their Ethernet link speed; the
// others run 10BASE-T half duplex.
constexpr bool platformNegotiatesLinkSpeed(int platformGroup) {
    return platformGroup == 3 || platformGroup == 5 || platformRunsLinux(platformGroup);
}

// The DCU4, the DCU4-II and the DCU40 drive an LBus of the DCU4 kind.
constexpr bool productHasDcu4Lbus(int productType) {
    return productType == product::Dcu4 || productType == product::Dcu4II || productType == product::Dcu40;
}

// A server, also in monitor mode: it has no TCL application.
constexpr bool kindIsServer(int tclKind) {
    return tclKind == tcl_kind::Server || tclKind == tcl_kind::ServerMonitor;
}

} // namespace kestrix
