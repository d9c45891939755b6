#include "address_reset/recording_action_owner.h"
#include "address_reset/reset_exe.h"
#include "lan/lan_interfaces.h"
#include "netbed/network_bed.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <thread>

// The reset dialog against talmo-sim on one test bed (br0 10.77.0.1/24): a
// reset in every mode some terminal offers, and the two ways it fails. The
// reboot waits are shortened by KESTRIX_TIME_SCALE; the 46-second wait for a
// terminal that does not come back is not.

namespace kestrix {
namespace {

using test::RecordingActionOwner;
using test::TerminalSetup;
using test::TraceCapture;

constexpr std::size_t kModes = 0, kBeforeVersion600 = 1, kLinux = 2, kIceCold = 3, kNotBack = 4;

TerminalSetup simulated(int host, std::map<std::string, std::string> extra) {
    TerminalSetup terminal;
    terminal.ipv4 = "10.77.0." + std::to_string(host) + "/24";
    terminal.terminalSection = {{"serial_number", "1001" + std::to_string(host)},
                                {"security_id", "A1B2C3D4"},
                                {"maintenance_group", "4711"}};
    for (auto& [key, value] : extra)
        terminal.terminalSection.insert_or_assign(key, value);
    return terminal;
}

class ResetOnBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() {
        test::BedLayout layout;
        layout.terminals = {
            simulated(10, {}),
            simulated(11, {{"firmware_version", "5.60"}, {"authentication", "ip"}, {"answers_find", "0"}}),
            simulated(12, {{"product", "TALMO 7460"}}),
            simulated(13, {}),
            simulated(14, {{"reboot_ms", "3600000"}, {"authentication", "ip"}, {"answers_find", "0"}}),
        };
        // Where the ice-cold start puts a terminal: its factory address and name.
        layout.pcHostsLines = {"192.168.42.127 talmo-100113"};
        buildSharedBed(layout);
    }

    static int host(std::size_t terminal) { return 10 + static_cast<int>(terminal); }

    // Runs body on the PC with a list of the one terminal, located as the
    // program does, and its reset dialog at the given grade.
    static void withDialog(std::size_t terminal, AuthenticationMode mode, int accessLevel,
                           const std::function<void(RecordingActionOwner&, ResetExe&)>& body) {
        EXPECT_TRUE(bed_->runOnPc([&] {
            enumerateLanInterfaces();
            const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
            T7000ip& engine = T7000ip::getT7000ip(&language);
            engine.setT7000ipMaintGroup(4711);
            {
                RecordingActionOwner owner(engine, language);
                try {
                    owner.terminals.push_back(std::make_unique<Terminal>(
                        engine, mode, "10.77.0." + std::to_string(host(terminal)), "", -1));
                    ResetExe dialog(owner, 0, accessLevel);
                    body(owner, dialog);
                } catch (const Terminal::TerminalError& error) {
                    ADD_FAILURE() << "TerminalError " << error.code << ": " << error.text;
                }
            }
            T7000ip::releaseT7000ip();
        }));
    }

    static void expectExecuted(const RecordingActionOwner& owner) {
        ASSERT_EQ(owner.boxes.texts().back(), "Reset executed.");
        EXPECT_EQ(owner.boxes.shown.back().icon, MessageIcon::Information);
        EXPECT_EQ(owner.deselected.back(), 0u);
        EXPECT_EQ(owner.idleMessages, 1);
        EXPECT_FALSE(owner.waitCursor);
    }
};

TEST_F(ResetOnBed, EveryOfferedModeRestartsTheTerminalAndFindsItAgain) {
    struct Row {
        std::size_t terminal;
        AuthenticationMode authentication;
        ResetMode mode;
        ResetBoot boot;
        const char* request; // without its suffix
    };
    using enum ResetMode;
    const Row rows[] = {
        {kModes, AuthenticationMode::IDBased, Warm, ResetBoot::Application, "reset 100110"},
        {kModes, AuthenticationMode::IDBased, Cold, ResetBoot::Application, "reset 100110 mode=cold"},
        {kModes, AuthenticationMode::IDBased, Communication, ResetBoot::Application,
         "reset 100110 mode=comm"},
        {kBeforeVersion600, AuthenticationMode::IPBased, Restart, ResetBoot::Application,
         "reset 100111 mode=restart"},
        {kLinux, AuthenticationMode::IDBased, Warm, ResetBoot::System, "reset 100112 sysboot"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.request);
        withDialog(row.terminal, row.authentication, 3, [&](RecordingActionOwner& owner, ResetExe& dialog) {
            TraceCapture trace;
            EXPECT_EQ(dialog.OnOK(row.mode, row.boot), ResetOutcome::Executed);
            expectExecuted(owner);
            EXPECT_TRUE(trace.contains("reqdata '" + std::string(row.request) + "' startet"));
            EXPECT_TRUE(owner.terminalAt(0).AuthOK);
        });
    }
}

// The PC reaches the factory subnet on its LAN (as a technician sets it up to
// take new terminals); the terminal hears no more broadcasts of the PC's subnet.
TEST_F(ResetOnBed, AnIceColdStartFindsTheTerminalAtItsFactoryAddressByItsFactoryName) {
    ASSERT_TRUE(bed_->shellOnPc("ip route add 192.168.42.0/24 dev br0").succeeded());
    withDialog(kIceCold, AuthenticationMode::IDBased, 3, [](RecordingActionOwner& owner, ResetExe& dialog) {
        EXPECT_EQ(dialog.OnOK(ResetMode::IceCold, ResetBoot::Application), ResetOutcome::Executed);
        expectExecuted(owner);
        Terminal& terminal = owner.terminalAt(0);
        EXPECT_EQ(terminal.displayAddress(AddressDisplay::DottedIPv4), "192.168.42.127");
        EXPECT_EQ(terminal.DNSNameInUse, "talmo-100113");
        EXPECT_FALSE(terminal.AuthOK); // it has forgotten its maintenance group too
    });
}

// While it waits the dialog refuses to end; after the 46 seconds it reports
// the terminal lost and refreshes its entry. Still restarting, the terminal
// is silent: a second reset is not acknowledged.
TEST_F(ResetOnBed, ATerminalThatDoesNotComeBackOrDoesNotAnswerIsReported) {
    withDialog(kNotBack, AuthenticationMode::IPBased, 1, [](RecordingActionOwner& owner, ResetExe& dialog) {
        TraceCapture trace;
        ResetOutcome outcome = ResetOutcome::NotRun;
        std::thread worker([&] { outcome = dialog.OnOK(ResetMode::Warm, ResetBoot::Application); });
        while (!dialog.running())
            std::this_thread::yield();
        EXPECT_FALSE(dialog.QueryTerminate());
        worker.join();
        EXPECT_EQ(outcome, ResetOutcome::NotBack);
        EXPECT_TRUE(trace.contains("OnOK(): 100114: Fehler keine Antwort vom Netz\n"));
        EXPECT_EQ(owner.redrawn, std::vector<std::size_t>{0});

        EXPECT_EQ(ResetExe(owner, 0, 1).OnOK(ResetMode::Warm, ResetBoot::Application),
                  ResetOutcome::NotExecuted);
        EXPECT_EQ(owner.boxes.texts(),
                  (std::vector<std::string>{"Please wait a moment...",
                                            "Terminal start-up after reset failed.", "Reset not executed."}));
        EXPECT_EQ(owner.boxes.shown.back().icon, MessageIcon::Error);
        EXPECT_TRUE(owner.deselected.empty());
        EXPECT_EQ(owner.idleMessages, 2);
        EXPECT_FALSE(owner.waitCursor);
    });
}

} // namespace
} // namespace kestrix
