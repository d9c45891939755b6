#include "address_reset/recording_action_owner.h"
#include "address_reset/reset_exe.h"
#include "address_reset/set_ip_address.h"
#include "lan/lan_interfaces.h"
#include "protocol/t7000ip.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <functional>

// The reset and set-IPv4 dialogs with records of known values and no
// interface to send on: the reset modes offered and their texts, the set-IPv4
// input checks, its reading of the "ip" answer and the end of a procedure that
// finds nobody. The engine binds the maintenance ports, so this runs in a
// network namespace of its own.

namespace kestrix {
namespace {

using test::RecordingActionOwner;
using test::TraceCapture;

class ActionDialogLogic : public ::testing::Test {
protected:
    ActionDialogLogic() { engine_.setT7000ipMaintGroup(4711); }
    ~ActionDialogLogic() override { T7000ip::releaseT7000ip(); }
    // Lists one terminal at 10.1.2.3 of the given product, versions and acceptance.
    void list(int productType, const std::string& firmware, const std::string& monitor, bool authOK) {
        TerminalFields fields;
        fields.SerialNumber = "100200";
        fields.ProductType = productType;
        fields.PlatformGroup = productPlatformGroup(productType);
        fields.ProductName = "TALMO 7460";
        fields.TclKind = tcl_kind::Acm;
        fields.FirmwareVersion = firmware;
        fields.MonitorVersion = monitor;
        fields.AuthOK = authOK;
        fields.AddrInUse = *addressFromText("::ffff:10.1.2.3");
        fields.IPAddrInUse = "::ffff:10.1.2.3";
        owner_.terminals.clear();
        owner_.terminals.push_back(std::make_unique<Terminal>(engine_, fields));
    }

    const CToolBoxLang language_{kLocaleIdEnglishUnitedStates};
    T7000ip& engine_ = T7000ip::getT7000ip(&language_);
    RecordingActionOwner owner_{engine_, language_};
    const LanInterfaces noInterfaces_;
};

struct RecordingStatus : SetIPAddressView {
    void setStatusLine(const std::string& text) override {
        lines.push_back(text);
        if (onStatus)
            onStatus();
    }
    std::vector<std::string> lines;
    std::function<void()> onStatus;
};

TEST_F(ActionDialogLogic, OffersModesByGradeAuthenticationVersionAndPlatform) {
    // offered: warm, cold, restart, ice-cold, communication ("x" offered);
    // restart: the restart radio's visibility; reboot: the force-reboot box.
    struct Row {
        int level;
        int product;
        const char* firmware;
        const char* monitor;
        bool authOK;
        const char* offered;
        bool restartVisible;
        bool rebootVisible;
        ResetLayout layout;
    };
    using enum ResetLayout;
    const Row rows[] = {
        {1, product::Talmo7450, "6.12", "2.05", true, "x....", false, false, From600},
        {2, product::Talmo7450, "6.12", "2.05", true, "xx...", false, false, From600},
        {3, product::Talmo7450, "6.12", "2.05", true, "xx.xx", false, false, From600},
        {3, product::Talmo7460, "6.12", "2.05", false, "xx.xx", false, true, From600},
        {3, product::Dcu40, "6a00", "2.05", false, "xxxx.", true, true, Before600}, // "6_00a" < "6_00~"
        {2, product::Talmo7450, "5.60", "1.10", false, "xxx..", true, false, Before600},
        {3, product::Talmo7450, "5a50", "1.10", false, "xxxx.", true, false, Before600}, // authenticates
        {3, product::Talmo7450, "5.49", "1.99", false, "x....", true, false, Before600},
        {3, product::Talmo7450, "5.49", "2.00", false, "xxxx.", true, false, Before600}, // by its monitor
        {2, product::Talmo7000, "5.20", "1.10", true, "xxx..", true, false, Before600},  // accepted us
        {1, product::Talmo7660, "5.20", "1.10", false, "x....", true, true, Before600},
    };
    for (const Row& row : rows) {
        list(row.product, row.firmware, row.monitor, row.authOK);
        ResetExe dialog(owner_, 0, row.level);
        SCOPED_TRACE(testing::Message() << "level " << row.level << ", product " << row.product << ", "
                                        << row.firmware << "/" << row.monitor);
        std::string offered;
        for (const ResetModeControl& control : dialog.modes())
            offered += dialog.offers(control.mode) ? 'x' : '.';
        EXPECT_EQ(offered, row.offered);
        EXPECT_EQ(dialog.modes()[2].visible, row.restartVisible);
        EXPECT_EQ(dialog.forceRebootVisible(), row.rebootVisible);
        EXPECT_EQ(dialog.layout(), row.layout);
        // What is not offered is not sent either (10.1.2.3 does not exist: a
        // request would wait for its time-outs).
        for (const ResetModeControl& control : dialog.modes()) {
            if (!dialog.offers(control.mode)) {
                EXPECT_EQ(dialog.OnOK(control.mode, ResetBoot::Application), ResetOutcome::NotRun);
            }
        }
        if (!row.rebootVisible) {
            EXPECT_EQ(dialog.OnOK(ResetMode::Warm, ResetBoot::System), ResetOutcome::NotRun);
        }
    }
    EXPECT_EQ(owner_.waitCursorShown + owner_.idleMessages, 0);
    EXPECT_TRUE(owner_.boxes.shown.empty());
}

TEST_F(ActionDialogLogic, ShowsItsTextsInTheUsersLanguageAndEndsOnCancel) {
    const CToolBoxLang german(1031);
    RecordingActionOwner owner(engine_, german);
    list(product::Talmo7460, "6.12", "2.05", true);
    owner.terminals = std::move(owner_.terminals);
    ResetExe dialog(owner, 0, 3);
    EXPECT_EQ(dialog.texts().title, "Reset auf");
    EXPECT_EQ(dialog.texts().terminalLine, "TALMO 7460 mit\nSeriennummer 100200 und\nIP-Adresse 10.1.2.3");
    EXPECT_EQ(dialog.texts().questionEnd, "ausführen?");
    std::vector<std::string> texts;
    for (const ResetModeControl& control : dialog.modes())
        texts.push_back(control.text);
    EXPECT_EQ(texts,
              (std::vector<std::string>{"Warmstart", "Kaltstart", "Neustart", "Eiskaltstart", "Comstart"}));
    EXPECT_TRUE(dialog.QueryTerminate());
    dialog.OnCancel();
    EXPECT_EQ(owner.idleMessages, 1);
}

constexpr Ipv4Fields kComplete = {10, 77, 0, 50};
constexpr Ipv4Fields kMask = {255, 255, 255, 0};
constexpr Ipv4Fields kThreeParts = {10, 77, std::nullopt, 1};

TEST_F(ActionDialogLogic, TheFirstFaultyFieldNamesItsMessage) {
    const struct {
        SetIPAddressInput input;
        int message; // 0: taken
    } rows[] = {
        {{"", kThreeParts, kThreeParts, kThreeParts, "x"}, 567},
        {{"1001-7", kThreeParts, kMask, kComplete, "1"}, 568},
        {{"100107", kThreeParts, kMask, kComplete, "1"}, 569},
        {{"100107", kComplete, {}, {}, "99999"}, 570},
        {{"100107", kComplete, kMask, kThreeParts, "1"}, 571},
        {{"100107", kComplete, kMask, kComplete, "65536"}, 15},
        {{"100107", kComplete, kMask, kComplete, ""}, 15},
        {{"100107", kComplete, kMask, kComplete, "+1"}, 15},
        {{"100107", kComplete, kMask, kComplete, "65535"}, 0},
        {{"100107", kComplete, kMask, kComplete, "0"}, 0},
    };
    for (const auto& row : rows) {
        owner_.boxes.shown.clear();
        RecordingStatus status;
        CSetIPAddress dialog(owner_, status, noInterfaces_);
        EXPECT_EQ(dialog.checkInput(row.input), row.message == 0) << row.message;
        EXPECT_EQ(owner_.boxes.texts(), row.message == 0
                                            ? std::vector<std::string>{}
                                            : std::vector<std::string>{language_.GetText(row.message)});
        for (const MessageBoxRequest& box : owner_.boxes.shown)
            EXPECT_EQ(box.icon, MessageIcon::Error);
    }
}

TEST_F(ActionDialogLogic, TheIpAnswerIsAcceptedOnlyWithIpConfigurationOk) {
    const struct {
        std::vector<std::string> words;
        bool accepted;
        const char* trace;
    } rows[] = {
        {{"IP", "configuration", "OK"}, true, "IP accepted"},
        {{"reset.", "IPv4", "configurations", "OKAY"},
         true,
         "IP accepted"}, // words compared by their beginning
        {{"IP", "configuration", "refused"}, false, "IP nicht in Antwort enthalten"},
        {{"IP", "configuration", "refused", "IP", "configuration", "OK"}, true, "IP accepted"},
        {{"IP", "settings", "OK"}, false, "IP failed"},
        {{"ip", "configuration", "OK"}, false, "IP nicht in Antwort enthalten"},
    };
    RecordingStatus status;
    CSetIPAddress dialog(owner_, status, noInterfaces_);
    for (const auto& row : rows) {
        TraceCapture trace;
        EXPECT_EQ(dialog.evalIPAnswer(row.words), row.accepted) << ::testing::PrintToString(row.words);
        EXPECT_EQ(trace.text(), std::string("CSetIPAddress::evalIPAnswer(): ") + row.trace + "\n");
    }
}

// Without any interface to send on nothing is found; the dialog refuses to
// end while it runs and ends with the normal cursor and the idle message.
TEST_F(ActionDialogLogic, WithoutInterfacesTheTerminalIsNotFoundAndTheDialogEnds) {
    RecordingStatus status;
    CSetIPAddress dialog(owner_, status, noInterfaces_);
    ASSERT_TRUE(dialog.checkInput({"100107", kComplete, kMask, kComplete, "815"}));
    bool terminateWhileRunning = true;
    status.onStatus = [&] { terminateWhileRunning = terminateWhileRunning && dialog.QueryTerminate(); };
    EXPECT_EQ(dialog.OnOK(), SetIPAddressOutcome::NotFound);
    EXPECT_FALSE(terminateWhileRunning);
    EXPECT_TRUE(dialog.QueryTerminate());
    EXPECT_EQ(owner_.boxes.texts(),
              (std::vector<std::string>{language_.GetText(54), language_.GetText(578)}));
    EXPECT_EQ(status.lines.front(), language_.GetText(572));
    EXPECT_EQ(owner_.waitCursorShown, 1);
    EXPECT_FALSE(owner_.waitCursor);
    EXPECT_EQ(owner_.idleMessages, 1);
    EXPECT_EQ(engine_.getT7000ipMaintGroup(), 4711);
}

} // namespace
} // namespace kestrix
