// The setup editor's page table: which tabs a terminal gets and how each page
// is made.
#include "config/setup_page_firewall.h"
#include "config/setup_page_misc.h"
#include "config/setup_page_network.h"
#include "config/setup_page_tcl.h"
#include "config/terminal_setup.h"
#include "terminal/product_rules.h"
#include "terminal/terminal_fields.h"

#include <array>

namespace kestrix {

namespace {

// The firewall came with "5.50".
constexpr std::string_view kFirstFirewallVersion = "5.50";

bool always(const SetupContext&) {
    return true;
}

bool firewallShown(const SetupContext& context) {
    return setupShownAtGrade2(context) && context.versionAtLeast(kFirstFirewallVersion);
}

std::unique_ptr<SetupPage> makeNetwork(const SetupPageParts& parts) {
    return std::make_unique<NetworkPage>(parts.context);
}

std::unique_ptr<SetupPage> makeFirewall(const SetupPageParts& parts) {
    return std::make_unique<FirewallPage>(parts.context);
}

std::unique_ptr<SetupPage> makeTcl(const SetupPageParts& parts) {
    return std::make_unique<SetupPageTcl>(parts.context, parts.asFetched, parts.keys);
}

std::unique_ptr<SetupPage> makeMisc(const SetupPageParts& parts) {
    return std::make_unique<SetupPageMisc>(parts.context, parts.fetchedPasswords, parts.today);
}

// The channel pages (tabs 0-3), the internal reader (5) and the LBus pages
// (6, 7, with their reader check) take their rows here, in tab order.
const std::array kRows{
    SetupPageRow{SetupTab::Network, 284, always, makeNetwork},
    SetupPageRow{SetupTab::Firewall, 285, firewallShown, makeFirewall},
    SetupPageRow{SetupTab::Tcl, 291, setupShownAtGrade2WithTcl, makeTcl},
    SetupPageRow{SetupTab::Misc, 292, always, makeMisc},
};

} // namespace

bool setupShownAtGrade2(const SetupContext& context) {
    return context.grade == 2 || context.grade == 3;
}

bool setupShownAtGrade2WithTcl(const SetupContext& context) {
    return setupShownAtGrade2(context) && !kindIsServer(context.terminal.TclKind);
}

std::span<const SetupPageRow> setupPageRows() {
    return kRows;
}

} // namespace kestrix
