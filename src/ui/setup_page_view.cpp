#include "ui/setup_page_view.h"

#include "ui/setup_channel_view.h"
#include "ui/setup_firewall_view.h"
#include "ui/setup_lbus_view.h"
#include "ui/setup_misc_view.h"
#include "ui/setup_network_view.h"
#include "ui/setup_reader_view.h"
#include "ui/setup_tcl_view.h"

#include <type_traits>

namespace kestrix {

namespace {

template <typename Page, typename View>
SetupPageView* viewOf(SetupPage& page, CTerminalSetup& editor, const CToolBoxLang& language, QWidget* parent) {
    auto* typed = dynamic_cast<Page*>(&page);
    if (!typed)
        return nullptr;
    if constexpr (std::is_constructible_v<View, Page&, CTerminalSetup&, const CToolBoxLang&, QWidget*>)
        return new View(*typed, editor, language, parent);
    else
        return new View(*typed, language, parent);
}

using ViewMaker = SetupPageView* (*)(SetupPage& page, CTerminalSetup& editor, const CToolBoxLang& language,
                                     QWidget* parent);

// The view of each tab this program draws; a tab without an entry has none.
ViewMaker viewMaker(SetupTab tab) {
    switch (tab) {
    case SetupTab::ChannelA:
    case SetupTab::ChannelB:
    case SetupTab::ChannelC:
    case SetupTab::ChannelD:
        return viewOf<SetupPageChannel, SetupChannelView>;
    case SetupTab::Network:
        return viewOf<NetworkPage, SetupNetworkView>;
    case SetupTab::Tcl:
        return viewOf<SetupPageTcl, SetupTclView>;
    case SetupTab::Misc:
        return viewOf<SetupPageMisc, SetupMiscView>;
    case SetupTab::InternalReader:
        return viewOf<SetupPageReader, SetupReaderView>;
    case SetupTab::Lbus1:
    case SetupTab::Lbus2:
        return viewOf<SetupPageLbus, SetupLbusView>;
    case SetupTab::Firewall:
        return viewOf<FirewallPage, SetupFirewallView>;
    }
    return nullptr;
}

} // namespace

SetupPageView* makeSetupPageView(SetupTab tab, SetupPage& page, CTerminalSetup& editor, const CToolBoxLang& language,
                                 QWidget* parent) {
    const ViewMaker maker = viewMaker(tab);
    SetupPageView* view = maker ? maker(page, editor, language, parent) : nullptr;
    if (view)
        view->setObjectName(setupTabName(tab));
    return view;
}

QString setupTabName(SetupTab tab) {
    switch (tab) {
    case SetupTab::ChannelA:
        return QStringLiteral("channelA");
    case SetupTab::ChannelB:
        return QStringLiteral("channelB");
    case SetupTab::ChannelC:
        return QStringLiteral("channelC");
    case SetupTab::ChannelD:
        return QStringLiteral("channelD");
    case SetupTab::Network:
        return QStringLiteral("network");
    case SetupTab::InternalReader:
        return QStringLiteral("internalReader");
    case SetupTab::Lbus1:
        return QStringLiteral("lbus1");
    case SetupTab::Lbus2:
        return QStringLiteral("lbus2");
    case SetupTab::Tcl:
        return QStringLiteral("tcl");
    case SetupTab::Misc:
        return QStringLiteral("misc");
    case SetupTab::Firewall:
        return QStringLiteral("firewall");
    }
    return QString();
}

std::vector<SetupTab> setupTabsWithoutView() {
    std::vector<SetupTab> missing;
    for (const SetupPageRow& row : setupPageRows())
        if (!viewMaker(row.tab))
            missing.push_back(row.tab);
    return missing;
}

} // namespace kestrix
