#pragma once

#include "config/terminal_setup.h"

#include <QWidget>

#include <string>
#include <vector>

namespace kestrix {

class CToolBoxLang;

// The view of one page of the setup editor: load() shows the page's values
// in the controls (after the page's Get), store() copies the controls into
// the page's values (before OK and before saving to a file). The rules and
// the texts of the messages are the page's; the view only binds.
class SetupPageView : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    virtual void load() = 0;
    virtual void store() = 0;
};

// The view of a tab's page, or nullptr when this program has none for it.
// Views that make keys or the WEP settings hold them in the editor.
SetupPageView* makeSetupPageView(SetupTab tab, SetupPage& page, CTerminalSetup& editor, const CToolBoxLang& language,
                                 QWidget* parent);

// The object name of a tab's view ("channelA", "network", "firewall", ...).
QString setupTabName(SetupTab tab);

// The tabs of the page table that this program has no view for (the Setup
// button stays hidden while there is one).
std::vector<SetupTab> setupTabsWithoutView();

} // namespace kestrix
