#include "config/blocks.h"
#include "mainwindow/command_line.h"
#include "netbed/network_bed.h"
#include "ui/firmware_update_widget.h"
#include "ui/list_box_terminal.h"
#include "ui/main_window.h"
#include "ui/qt_environment.h"
#include "ui/terminal_row_model.h"
#include "ui/toolbox_app.h"

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

// The firmware update through the main window on the offscreen platform in
// the PC's namespace of a test bed: two simulated terminals selected together
// get the sample depot's TCL firmware V6.20 in English from the dialog in the
// pane. Both slots show their terminal's progress at the same time (kept as
// firmware_running.png); closing the window meanwhile is refused with the
// cancel text and no new terminal starts; the final box says that all
// succeeded, and the list and TALMOUpdateDone.txt show the new versions.

namespace kestrix {
namespace {

namespace fs = std::filesystem;
using test::child;



// A 7450 and a 7100, both with a monitor older than the depot's (so each
// gets its monitor, and the 7100 its BIOS, and restarts after it) and a
// configuration block the update fetches.
class FirmwareWindowOnBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/kestrix-firmware-window-XXXXXX";
        files_ = ::mkdtemp(pattern);
        const std::vector<std::uint8_t> block = test::fileWithPasswords("6.20", {"", "", ""});
        test::BedLayout layout;
        const char* const terminals[][3] = {{"41", "TALMO 7450", ""}, {"42", "TALMO 7100", "bios7200.bin"}};
        for (const auto& [host, product, biosFile] : terminals) {
            const fs::path directory = files_ / host;
            fs::create_directory(directory);
            std::ofstream(directory / "talmo.cfg", std::ios::binary)
                .write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
            test::TerminalSetup terminal;
            terminal.ipv4 = "10.77.0." + std::string(host) + "/24";
            terminal.terminalSection = {{"serial_number", "1001" + std::string(host)},
                                        {"product", product},
                                        {"security_id", "A1B2C3D4"},
                                        {"monitor_version", "2.01"},
                                        {"bios_file", biosFile},
                                        {"reboot_ms", "2000"}};
            terminal.tftpSection = {{"directory", directory.string()}};
            layout.terminals.push_back(terminal);
        }
        buildSharedBed(layout);
    }
    static void TearDownTestSuite() {
        SharedNetworkBedTest::TearDownTestSuite();
        fs::remove_all(files_);
    }
    static inline fs::path files_;
};

// The program's side, in the PC's namespace.
void updateTwoTerminals() {
    QTemporaryDir startDirectory;
    ASSERT_TRUE(startDirectory.isValid() &&
                ::chdir(startDirectory.path().toLocal8Bit().constData()) == 0);
    const std::string depot = "python3 " KESTRIX_MAKE_SAMPLE_DEPOT " " + startDirectory.path().toStdString();
    ASSERT_EQ(std::system(depot.c_str()), 0);
    ::setenv("KESTRIX_TIME_SCALE", "0.05", 1);
    test::QtApplication application;
    CToolBoxApp toolBox(parseCommandLine(std::vector<std::string>{"-e"}));
    ASSERT_TRUE(toolBox.initInstance());
    MainWindow& window = toolBox.window();
    test::MessageBoxWatcher boxes([&window](QMessageBox& box) {
        // The dialog as the scheduler leaves it, under its final box.
        if (box.text() == QStringLiteral("All firmware updates succeeded.")) {
            EXPECT_TRUE(test::saveScreenshot(window, "firmware_done.png"));
        }
        return box.button(QMessageBox::Ok);
    });
    window.searchButton().click();
    ASSERT_TRUE(test::waitForWindowOperation(toolBox));
    const std::vector<TerminalRow>& rows = window.terminalList().rowModel().rows();
    ASSERT_EQ(rows.size(), 2u);
    for (const TerminalRow& row : rows)
        EXPECT_TRUE(row.versionColumn.ends_with("6.12")) << row.versionColumn;

    // Both rows selected together, as with Shift and a click.
    CListBoxTerminal& list = window.terminalList();
    list.selectionModel()->select(
        QItemSelection(list.model()->index(0, 0), list.model()->index(1, 0)),
        QItemSelectionModel::ClearAndSelect);
    ASSERT_EQ(toolBox.dialog().selection().size(), 2u);
    window.firmwareButton().click();
    ASSERT_TRUE(test::waitForWindowOperation(toolBox));
    auto* dialog = qobject_cast<FirmwareUpdateWidget*>(window.shownDetail());
    ASSERT_NE(dialog, nullptr) << boxes.texts().size() << " messages";
    auto& tclVersion = child<QComboBox>(*dialog, QStringLiteral("tclVersion"));
    auto& tclLanguage = child<QComboBox>(*dialog, QStringLiteral("tclLanguage"));
    ASSERT_TRUE(test::processEventsUntil([&] { return tclLanguage.count() > 1; }, std::chrono::seconds(10)));
    EXPECT_EQ(tclVersion.currentText(), QStringLiteral("V6.21")); // the last version is preselected
    const auto choose = [](QComboBox& box, const QString& entry) {
        const int index = box.findText(entry);
        ASSERT_GE(index, 0) << entry.toStdString();
        box.setCurrentIndex(index);
        emit box.activated(index);
    };
    choose(tclVersion, QStringLiteral("V6.20"));
    choose(tclLanguage, QStringLiteral("English"));
    EXPECT_EQ(tclLanguage.currentText(), QStringLiteral("English"));
    child<QPushButton>(*dialog, QStringLiteral("start")).click();
    EXPECT_FALSE(tclVersion.isEnabled());

    // Mid-run: each slot names its terminal and counts its files.
    const auto slotRunning = [&](int slot) {
        const QString prefix = QStringLiteral("slot%1").arg(slot);
        return !child<QLabel>(*dialog, prefix + QStringLiteral("Header")).text().isEmpty() &&
               child<QProgressBar>(*dialog, prefix + QStringLiteral("TerminalBar")).maximum() > 1;
    };
    ASSERT_TRUE(test::processEventsUntil([&] { return slotRunning(0) && slotRunning(1); },
                                         std::chrono::minutes(2)));
    EXPECT_TRUE(test::saveScreenshot(window, "firmware_running.png"));
    EXPECT_EQ(window.size(), QSize(MainWindow::kWidth, MainWindow::kHeight)); // the dialog fits the pane
    window.close(); // refused while the updates run
    ASSERT_TRUE(test::processEventsUntil([&] { return !boxes.texts().empty(); }, std::chrono::seconds(30)));
    EXPECT_TRUE(window.isVisible());

    ASSERT_TRUE(test::processEventsUntil([&] { return boxes.texts().size() == 2; }, std::chrono::minutes(3)));
    // The workers' redraws of the list ask nothing of the dialog.
    EXPECT_EQ(boxes.texts(),
              (std::vector<std::string>{
                  "Cancelling will be performed, when running firmware updates have finished.",
                  "All firmware updates succeeded."}));
    EXPECT_TRUE(test::processEventsUntil(
        [&] { return window.shownDetail()->objectName() == QStringLiteral("idlePicture"); },
        std::chrono::seconds(30)));
    EXPECT_TRUE(toolBox.dialog().selection().empty()) << "the updated terminals stay selected";
    std::vector<std::string> versions;
    for (const TerminalRow& row : rows)
        versions.push_back(row.serialColumn + " " + row.versionColumn);
    EXPECT_EQ(versions, (std::vector<std::string>{"SN: 100142 TCL 6.20", "SN: 100141 TCL 6.20"}));
    std::ifstream done(fs::path(startDirectory.path().toStdString()) / "TALMOUpdateDone.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(done, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"100141 TCL 6.20", "100142 TCL 6.20"}));
}

TEST_F(FirmwareWindowOnBed, TwoTerminalsUpdatedThroughTheFirmwareButton) {
    EXPECT_TRUE(bed_->runOnPc(updateTwoTerminals));
}

} // namespace
} // namespace kestrix
