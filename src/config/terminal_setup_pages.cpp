// The setup editor's page table: which tabs a terminal gets and how each page
// is made.
#include "config/setup_page_channel.h"
#include "config/setup_page_firewall.h"
#include "config/setup_page_lbus.h"
#include "config/setup_page_misc.h"
#include "config/setup_page_network.h"
#include "config/setup_page_reader.h"
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

template <int Channel> bool channelShown(const SetupContext& context) {
    return SetupPageChannel::channelShown(context, Channel);
}

template <int Channel> std::unique_ptr<SetupPage> makeChannel(const SetupPageParts& parts) {
    return std::make_unique<SetupPageChannel>(parts.context, Channel);
}

std::unique_ptr<SetupPage> makeReader(const SetupPageParts& parts) {
    return std::make_unique<SetupPageReader>(parts.context, parts.wiegand);
}

template <int Bus> std::unique_ptr<SetupPage> makeLbus(const SetupPageParts& parts) {
    return std::make_unique<SetupPageLbus>(parts.context, Bus, parts.keys);
}

bool checkLbusReaders(SetupPage& page) {
    return static_cast<SetupPageLbus&>(page).CheckReaders();
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

// The tabs in the order they are inserted.
const std::array kRows{
    SetupPageRow{SetupTab::ChannelA, 280, channelShown<0>, makeChannel<0>},
    SetupPageRow{SetupTab::ChannelB, 281, channelShown<1>, makeChannel<1>},
    SetupPageRow{SetupTab::ChannelC, 282, channelShown<2>, makeChannel<2>},
    SetupPageRow{SetupTab::ChannelD, 283, channelShown<3>, makeChannel<3>},
    SetupPageRow{SetupTab::Network, 284, always, makeNetwork},
    SetupPageRow{SetupTab::Firewall, 285, firewallShown, makeFirewall},
    SetupPageRow{SetupTab::InternalReader, 286, SetupPageReader::shown, makeReader},
    SetupPageRow{SetupTab::Lbus1, 287, SetupPageLbus::shown, makeLbus<1>, checkLbusReaders},
    SetupPageRow{SetupTab::Lbus2, 288, SetupPageLbus::shown, makeLbus<2>, checkLbusReaders},
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
