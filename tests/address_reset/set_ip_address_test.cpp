#include "address_reset/recording_action_owner.h"
#include "address_reset/set_ip_address.h"
#include "lan/lan_interfaces.h"
#include "messages/product.h"
#include "protocol/t7000ip.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <functional>

// The set-IPv4 dialog's input checks, its reading of the "ip" answer and the
// ends of a procedure that has no interface to send on. The engine binds the
// maintenance ports, so this runs in a network namespace of its own.

namespace kestrix {
namespace {

using test::RecordingActionOwner;
using test::TraceCapture;

struct RecordingStatus : SetIPAddressView {
    void setStatusLine(const std::string& text) override {
        lines.push_back(text);
        if (onStatus)
            onStatus();
    }
    std::vector<std::string> lines;
    std::function<void()> onStatus;
};

class SetIPAddressLogic : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = &T7000ip::getT7000ip(&language_);
        engine_->setT7000ipMaintGroup(4711);
    }
    void TearDown() override { T7000ip::releaseT7000ip(); }

    const CToolBoxLang language_{kLocaleIdEnglishUnitedStates};
    T7000ip* engine_ = nullptr;
    const LanInterfaces noInterfaces_;
};

constexpr Ipv4Fields kComplete = {10, 77, 0, 50};
constexpr Ipv4Fields kMask = {255, 255, 255, 0};
constexpr Ipv4Fields kThreeParts = {10, 77, std::nullopt, 1};

TEST_F(SetIPAddressLogic, TheFirstFaultyFieldNamesItsMessage) {
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
        RecordingActionOwner owner(*engine_, language_);
        RecordingStatus status;
        CSetIPAddress dialog(owner, status, noInterfaces_);
        EXPECT_EQ(dialog.checkInput(row.input), row.message == 0) << row.message;
        if (row.message == 0) {
            EXPECT_TRUE(owner.boxes.shown.empty());
            continue;
        }
        ASSERT_EQ(owner.boxes.shown.size(), 1u) << row.message;
        EXPECT_EQ(owner.boxes.shown[0].text, language_.GetText(row.message));
        EXPECT_EQ(owner.boxes.shown[0].icon, MessageIcon::Error);
        EXPECT_EQ(owner.boxes.shown[0].caption, kProductCaption);
    }
}

TEST_F(SetIPAddressLogic, TheIpAnswerIsAcceptedOnlyWithIpConfigurationOk) {
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
    RecordingActionOwner owner(*engine_, language_);
    RecordingStatus status;
    CSetIPAddress dialog(owner, status, noInterfaces_);
    for (const auto& row : rows) {
        TraceCapture trace;
        EXPECT_EQ(dialog.evalIPAnswer(row.words), row.accepted) << ::testing::PrintToString(row.words);
        EXPECT_EQ(trace.text(), std::string("CSetIPAddress::evalIPAnswer(): ") + row.trace + "\n");
    }
}

// Without any interface to send on nothing is found; the dialog refuses to
// end while it runs and ends with the normal cursor and the idle message.
TEST_F(SetIPAddressLogic, WithoutInterfacesTheTerminalIsNotFoundAndTheDialogEnds) {
    RecordingActionOwner owner(*engine_, language_);
    RecordingStatus status;
    CSetIPAddress dialog(owner, status, noInterfaces_);
    ASSERT_TRUE(dialog.checkInput({"100107", kComplete, kMask, kComplete, "815"}));
    bool terminateWhileRunning = true;
    status.onStatus = [&] { terminateWhileRunning = terminateWhileRunning && dialog.QueryTerminate(); };
    EXPECT_EQ(dialog.OnOK(), SetIPAddressOutcome::NotFound);
    EXPECT_FALSE(terminateWhileRunning);
    EXPECT_TRUE(dialog.QueryTerminate());
    EXPECT_EQ(owner.boxes.texts(), (std::vector<std::string>{language_.GetText(54), language_.GetText(578)}));
    EXPECT_EQ(status.lines.front(), language_.GetText(572));
    EXPECT_EQ(owner.waitCursorShown, 1);
    EXPECT_FALSE(owner.waitCursor);
    EXPECT_EQ(owner.idleMessages, 1);
    EXPECT_EQ(engine_->getT7000ipMaintGroup(), 4711);
}

} // namespace
} // namespace kestrix
