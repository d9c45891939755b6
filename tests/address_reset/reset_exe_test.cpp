#include "address_reset/recording_action_owner.h"
#include "address_reset/reset_exe.h"
#include "protocol/t7000ip.h"

#include <gtest/gtest.h>

// The reset dialog's offer of start-up modes, its refusals and texts, with records of
// known values (no terminal is asked). The records need the engine, so this
// runs in a network namespace of its own.

namespace kestrix {
namespace {

using test::RecordingActionOwner;

class ResetDialog : public ::testing::Test {
protected:
    ~ResetDialog() override { T7000ip::releaseT7000ip(); }

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

    CToolBoxLang language_{kLocaleIdEnglishUnitedStates};
    T7000ip& engine_ = T7000ip::getT7000ip(&language_);
    RecordingActionOwner owner_{engine_, language_};
};

TEST_F(ResetDialog, OffersModesByGradeAuthenticationVersionAndPlatform) {
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

TEST_F(ResetDialog, ShowsItsTextsInTheUsersLanguageAndEndsOnCancel) {
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

} // namespace
} // namespace kestrix
