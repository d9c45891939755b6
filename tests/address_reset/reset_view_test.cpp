#include "address_reset/recording_action_owner.h"
#include "protocol/t7000ip.h"
#include "ui/qt_environment.h"
#include "ui/reset_view.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

// The reset dialog's view on the offscreen platform: it shows what the logic
// offers and hands OK to the frame's worker. The record is one of known values
// (nothing is sent); the engine binds the maintenance ports, so this runs in a
// network namespace of its own.

namespace kestrix {
namespace {

TEST(ResetView, ShowsTheOfferedModesAndHandsOKToTheWorker) {
    test::QtApplication application;
    const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
    T7000ip& engine = T7000ip::getT7000ip(&language);
    {
        TerminalFields fields;
        fields.SerialNumber = "100200";
        fields.ProductType = product::Talmo7460;
        fields.PlatformGroup = 6;
        fields.FirmwareVersion = "6.12";
        fields.AuthOK = true;
        test::RecordingActionOwner owner(engine, language);
        owner.terminals.push_back(std::make_unique<Terminal>(engine, fields));
        ResetExe dialog(owner, 0, 2);
        std::function<void()> handedOver;
        ResetDialogView view(
            dialog, [&](std::function<void()> work) { handedOver = std::move(work); }, nullptr);
        view.show();

        std::string shown; // per radio: checked "*", enabled "x", disabled ".", hidden "-"
        for (const char* name : {"modeWarm", "modeCold", "modeRestart", "modeIceCold", "modeCommunication"}) {
            auto* radio = view.findChild<QRadioButton*>(name);
            ASSERT_NE(radio, nullptr) << name;
            shown += !radio->isVisible() ? '-' : radio->isChecked() ? '*' : radio->isEnabled() ? 'x' : '.';
        }
        EXPECT_EQ(shown, "*x-..");
        EXPECT_TRUE(view.findChild<QCheckBox*>("forceReboot")->isVisible());
        auto* ok = view.findChild<QPushButton*>("ok");
        auto* cancel = view.findChild<QPushButton*>("cancel");
        EXPECT_TRUE(cancel->isDefault());

        ok->click();
        EXPECT_TRUE(handedOver);
        EXPECT_FALSE(ok->isEnabled() || cancel->isEnabled());
        EXPECT_EQ(owner.idleMessages, 0);
    }
    T7000ip::releaseT7000ip();
}

} // namespace
} // namespace kestrix
