// The setup editor against talmo-sim on the test bed (br0 10.77.0.1/24): OK
// changes a terminal's host port and maintenance group, resets it and finds
// it again, and the block fetched afterwards holds both; a terminal whose
// flash refuses every write shows the message and keeps its block. Restarts
// and the waits of a write are shortened by KESTRIX_TIME_SCALE.
#include "address_reset/recording_action_owner.h"
#include "config/blocks.h"
#include "config/setup_page_misc.h"
#include "config/terminal_setup.h"
#include "lan/lan_interfaces.h"
#include "netbed/network_bed.h"
#include "protocol/t7000ip.h"
#include "support/data_file.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

struct NoView : SetupEditorView {
    void showPages(const std::vector<SetupTabEntry>&) override {}
    void selectTab(SetupTab) override {}
    void refreshPages() override {}
    void setProgressLine(const std::string& text) override { progress.push_back(text); }
    std::vector<std::string> progress;
};

// A "6.20" block in the maintenance group 4711 with the host port 3001.
std::vector<std::uint8_t> terminalBlock() {
    const int index = test::versionIndex("6.20");
    UserParamBlock block = test::emptyBlock(index);
    test::putItems(block, "60=6712 146=b90b");
    return test::firstBytes(test::withCrc(block, index), 1242);
}

// The block of the terminal at the address as the program fetches it, newest layout.
UserParam fetched(Terminal& terminal) {
    UserParam block;
    EXPECT_TRUE(block.getTerminalUserParam(terminal));
    EXPECT_TRUE(block.setUserParamVersion(block.getNewestVersion(), terminal));
    return block;
}

class SetupEditorOnBed : public test::NetworkBedTest {};

TEST_F(SetupEditorOnBed, OkChangesPortAndGroupOrLeavesARefusingTerminalAsItWas) {
    test::ScratchDirectory files;
    test::BedLayout layout;
    for (const char* serialNumber : {"100301", "100302"}) {
        const std::string number = std::to_string(layout.terminals.size());
        test::TerminalSetup terminal;
        terminal.ipv4 = "10.77.0." + std::to_string(31 + layout.terminals.size()) + "/24";
        terminal.terminalSection = {
            {"serial_number", serialNumber}, {"security_id", "A1B2C3D4"}, {"maintenance_group", "4711"}};
        terminal.tftpSection = {{"directory", files.file("t" + number)}};
        std::filesystem::create_directory(files.file("t" + number));
        files.write("t" + number + "/talmo.cfg", terminalBlock());
        layout.terminals.push_back(terminal);
    }
    layout.terminals[1].tftpSection.insert_or_assign("maximum_write_size", "0");
    const test::NetworkBed bed(layout);

    struct Row {
        const char* address;
        SetupOkOutcome outcome;
        const char* message;
        const char* group; // bytes 60-61 and 146-147 fetched afterwards
        const char* port;
    };
    const Row rows[] = {
        {"10.77.0.31", SetupOkOutcome::Installed, "Configuration file installed.", "6812", "ba0b"},
        {"10.77.0.32", SetupOkOutcome::NotWritten,
         "Cannot send modified configuration file to terminal. Make sure TFTP is not blocked.", "6712", "b90b"},
    };
    EXPECT_TRUE(bed.runOnPc([&] {
        enumerateLanInterfaces();
        const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
        T7000ip& engine = T7000ip::getT7000ip(&language);
        engine.setT7000ipMaintGroup(4711);
        for (const Row& row : rows) {
            try {
                test::RecordingActionOwner owner(engine, language);
                owner.terminals.push_back(
                    std::make_unique<Terminal>(engine, AuthenticationMode::IDBased, row.address, "", -1));
                Terminal& terminal = *owner.terminals.front();
                UserParam block = fetched(terminal);
                NoView view;
                CTerminalSetup editor(owner, 0, block, "6.20", 3, lanInterfaces());
                editor.attachView(view);
                // The host port is the channel A page's: typed there, it is in the working copy.
                editor.workingCopy().setNumber(setup_field::HostPort, 3002);
                editor.refreshPages();
                dynamic_cast<SetupPageMisc&>(*editor.page(SetupTab::Misc)).values.maintenanceGroup = "4712";
                EXPECT_EQ(editor.OnButtonOk(), row.outcome) << row.address;
                ASSERT_FALSE(owner.boxes.shown.empty());
                EXPECT_EQ(owner.boxes.texts().back(), row.message);
                EXPECT_EQ(owner.idleMessages, 1);
                const UserParamBlock after = fetched(terminal).block();
                EXPECT_EQ(test::toHex(std::span(after).subspan(60, 2)), row.group) << row.address;
                EXPECT_EQ(test::toHex(std::span(after).subspan(146, 2)), row.port) << row.address;
            } catch (const Terminal::TerminalError& error) {
                ADD_FAILURE() << "TerminalError " << error.code << ": " << error.text;
            }
        }
        T7000ip::releaseT7000ip();
    }));
}

} // namespace
} // namespace kestrix
