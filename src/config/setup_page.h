#pragma once

#include "config/setup_block.h"

#include <string>
#include <string_view>

namespace kestrix {

class CToolBoxLang;
class LanInterfaces;
class MessageBoxes;
class TerminalFields;

// What every page of the setup editor reads besides the block: the language,
// the message boxes, the terminal, the access grade of the login, the block's
// version when it was fetched (ActualVersion, compared as text: "5.50",
// "5.91", "6.00", "6.02", "6.10", "6.20") and the PC's LAN interfaces (the
// firewall page checks that the PC can still reach the terminal).
struct SetupContext {
    const CToolBoxLang& language;
    MessageBoxes& messageBoxes;
    const TerminalFields& terminal;
    int grade = 3;             // 1, 2 or 3 (3 when no login was needed)
    std::string actualVersion; // e.g. "6.10"
    const LanInterfaces& lanInterfaces;

    bool versionAtLeast(std::string_view version) const { return actualVersion >= version; }
};

// One page of the setup editor: Get fills the page's values from the working
// copy, Put writes them back. A page keeps its values in a plain struct that
// its view shows and edits (text fields as the user typed them, list indexes,
// check boxes), so that the page's rules are tested without a screen. Put
// shows its own messages through the context's message boxes.
//
// A page does not write the block to the terminal: the editor does.
class SetupPage {
public:
    virtual ~SetupPage() = default;
    virtual void Get(const SetupBlock& block) = 0;
    // False stops OK (the page told the user why and wrote nothing it refused).
    virtual bool Put(SetupBlock& block) = 0;
};

} // namespace kestrix
