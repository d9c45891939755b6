#include "address_reset/reset_exe.h"

#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"
#include "platform/trace.h"
#include "terminal/action_owner.h"
#include "terminal/product_rules.h"

namespace kestrix {

namespace {

// From this version key on a terminal knows the communication start and no
// longer the restart, and the dialog takes its second layout.
constexpr const char* kCommunicationStartVersion = "6_00~";

// How long a reset terminal may take to answer again after its reboot wait.
constexpr int kStartWaitSeconds = 46;

// The radio texts: message table entries, the communication start's template
// text untranslated.
std::string modeText(const CToolBoxLang& language, ResetMode mode) {
    switch (mode) {
    case ResetMode::Warm:
        return language.GetText(90);
    case ResetMode::Cold:
        return language.GetText(91);
    case ResetMode::Restart:
        return language.GetText(92);
    case ResetMode::IceCold:
        return language.GetText(93);
    case ResetMode::Communication:
        return "Comstart";
    }
    return {};
}

} // namespace

ResetExe::ResetExe(ActionOwner& owner, std::size_t listIndex, int accessLevel)
    : owner_(owner), listIndex_(listIndex), accessLevel_(accessLevel) {
    const CToolBoxLang& language = owner_.language();
    Terminal& terminal = owner_.terminalAt(listIndex_);
    texts_.title = language.GetText(85);
    texts_.terminalLine = terminal.ProductName + " " + language.GetText(1) + "\n" + language.GetText(2) +
                          " " + terminal.SerialNumber + " " + language.GetText(3) + "\n" +
                          language.GetText(4) + " " + terminal.displayAddress(AddressDisplay::DottedIPv4);
    texts_.questionEnd = language.GetText(86);
    texts_.modeGroup = language.GetText(88);
    texts_.forceReboot = language.GetText(89);
    texts_.cancel = language.GetText(0);

    for (std::size_t index = 0; index < modes_.size(); ++index) {
        ResetModeControl& control = modes_[index];
        control.mode = static_cast<ResetMode>(index);
        control.text = modeText(language, control.mode);
        control.enabled = control.mode == ResetMode::Warm;
    }
    const bool from600 = terminal.sortVersion() >= kCommunicationStartVersion;
    auto control = [this](ResetMode mode) -> ResetModeControl& {
        return modes_[static_cast<std::size_t>(mode)];
    };
    // The deeper starts lose data or configuration: only a terminal that
    // checks who asks offers them, and only to the higher grades.
    if (terminal.supportsAuthentication()) {
        if (accessLevel_ == 3) {
            control(ResetMode::IceCold).enabled = true;
            control(ResetMode::Communication).enabled = from600;
        }
        if (accessLevel_ == 2 || accessLevel_ == 3) {
            control(ResetMode::Cold).enabled = true;
            control(ResetMode::Restart).enabled = true;
        }
    }
    control(ResetMode::Restart).visible = !from600;
    forceRebootVisible_ = platformRunsLinux(terminal.PlatformGroup);
    layout_ = from600 ? ResetLayout::From600 : ResetLayout::Before600;
}

bool ResetExe::offers(ResetMode mode) const {
    const ResetModeControl& control = modes_[static_cast<std::size_t>(mode)];
    return control.enabled && control.visible;
}

std::string ResetExe::modeWord(ResetMode mode) {
    switch (mode) {
    case ResetMode::Warm:
        return {};
    case ResetMode::Cold:
        return "cold";
    case ResetMode::Restart:
        return "restart";
    case ResetMode::IceCold:
        return "ice";
    case ResetMode::Communication:
        return "comm";
    }
    return {};
}

ResetOutcome ResetExe::OnOK(ResetMode mode, ResetBoot boot) {
    if (!offers(mode) || (boot == ResetBoot::System && !forceRebootVisible_))
        return ResetOutcome::NotRun;
    if (running_.exchange(true))
        return ResetOutcome::NotRun;
    owner_.setWaitCursor(true);
    ResetOutcome outcome = ResetOutcome::NotRun;
    try {
        outcome = resetAndWait(mode, boot);
    } catch (...) {
        // Nothing but the wait throws, and that is handled; whatever else
        // breaks must not leave the window disabled.
        trace("OnOK(): unerwarteter Fehler\n");
        outcome = ResetOutcome::NotBack;
    }
    owner_.setWaitCursor(false);
    owner_.postIdleMessage();
    // The last access to the dialog: the owner may destroy it once this is seen.
    running_ = false;
    return outcome;
}

ResetOutcome ResetExe::resetAndWait(ResetMode mode, ResetBoot boot) {
    Terminal& terminal = owner_.terminalAt(listIndex_);
    if (!terminal.T7000ipReset(boot, modeWord(mode))) {
        message(17, MessageIcon::Error);
        return ResetOutcome::NotExecuted;
    }
    if (mode == ResetMode::IceCold) {
        // The terminal forgets its configuration: it comes back at its
        // factory address under its factory name, in no maintenance group.
        terminal.prepareForNewAddr("", "talmo-" + terminal.SerialNumber);
        terminal.AuthOK = false;
    }
    try {
        terminal.waitOnReboot(boot == ResetBoot::System ? RebootWait::Long : RebootWait::Normal);
        terminal.isStartedSameTCL(kStartWaitSeconds, StartExpectation::Application);
    } catch (const Terminal::TerminalError& error) {
        const bool noRouting = error.code == 4;
        message(noRouting ? 19 : 18, MessageIcon::Error);
        trace("OnOK(): %s: Fehler %s\n", terminal.SerialNumber.c_str(), error.text.c_str());
        owner_.redrawEntry(listIndex_);
        return noRouting ? ResetOutcome::NoRouting : ResetOutcome::NotBack;
    }
    owner_.deselectEntry(listIndex_);
    owner_.redrawEntry(listIndex_);
    message(94, MessageIcon::Information);
    return ResetOutcome::Executed;
}

void ResetExe::OnCancel() {
    if (!running_)
        owner_.postIdleMessage();
}

bool ResetExe::QueryTerminate() {
    if (!running_)
        return true;
    // The reset's wait runs on a worker that uses this dialog to its end.
    message(54, MessageIcon::Information);
    return false;
}

void ResetExe::message(int textId, MessageIcon icon) {
    owner_.messageBoxes().show(
        {kProductCaption, owner_.language().GetText(textId), icon, MessageButtons::Ok, 0});
}

} // namespace kestrix
