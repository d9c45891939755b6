#include "config/blocks.h"
#include "mainwindow/command_line.h"
#include "netbed/network_bed.h"
#include "ui/lbus_key_widget.h"
#include "ui/list_box_terminal.h"
#include "ui/login_for_setup_dialog.h"
#include "ui/main_window.h"
#include "ui/qt_environment.h"
#include "ui/terminal_row_model.h"
#include "ui/toolbox_app.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

// The LBus security dialog through the main window on the offscreen platform
// in the PC's namespace of a test bed: a TALMO 7460 whose talmo.cfg has card
// readers 1-3 and the internal reader, of which 0-2 answer on its bus. After
// the setup login the technician loads the LBus key, releases the parameter
// card and follows a reader firmware update to its end; the dialog is kept
// as screenshots (lbus_key.png, lbus_update_running.png, lbus_update_done.png).

namespace kestrix {
namespace {

namespace fs = std::filesystem;
using test::child;

class LBusWindowOnBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/kestrix-lbus-window-XXXXXX";
        files_ = ::mkdtemp(pattern);
        const int index = test::versionIndex("6.20");
        const std::vector<std::uint8_t> file = test::fileWithPasswords("6.20", {"", "grade2pw", "grade3pw"});
        UserParamBlock block{};
        std::copy(file.begin(), file.end(), block.begin());
        test::putItems(block, "970=010700002105"); // LBus1: card readers 1-3; internal reader served
        const std::vector<std::uint8_t> bytes = test::firstBytes(test::withCrc(block, index), file.size());
        std::ofstream(files_ / "talmo.cfg", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        std::ofstream(files_ / "readers.trfw") << "2.00 reader firmware\n";
        test::BedLayout layout;
        test::TerminalSetup terminal;
        terminal.ipv4 = "10.77.0.61/24";
        terminal.terminalSection = {{"serial_number", "100361"},
                                    {"product", "TALMO 7460"},
                                    {"firmware_version", "6.20"},
                                    {"security_id", "A1B2C3D4"}};
        terminal.tftpSection = {{"directory", files_.string()}};
        terminal.readersSection = {{"present", "0 1 2"}, {"status_steps", "3"}};
        layout.terminals.push_back(terminal);
        buildSharedBed(layout);
    }
    static void TearDownTestSuite() {
        SharedNetworkBedTest::TearDownTestSuite();
        fs::remove_all(files_);
    }
    static inline fs::path files_;
};

std::string readerStatus(QWidget& dialog, int reader) {
    return child<QLabel>(dialog, QStringLiteral("readerStatus%1").arg(reader)).text().toStdString();
}

void runReaderActions(const fs::path& package) {
    QTemporaryDir startDirectory;
    ASSERT_TRUE(startDirectory.isValid() && ::chdir(startDirectory.path().toLocal8Bit().constData()) == 0);
    ::setenv("KESTRIX_TIME_SCALE", "0.05", 1);
    test::QtApplication application;
    CToolBoxApp toolBox(parseCommandLine(std::vector<std::string>{"-e"}));
    ASSERT_TRUE(toolBox.initInstance());
    MainWindow& window = toolBox.window();
    EXPECT_FALSE(window.lbusButton().isHidden());
    test::MessageBoxWatcher boxes([](QMessageBox& box) { return box.button(QMessageBox::Ok); });
    window.searchButton().click();
    ASSERT_TRUE(test::waitForWindowOperation(toolBox));
    ASSERT_EQ(window.terminalList().rowModel().rows().size(), 1u);
    window.terminalList().setCurrentIndex(window.terminalList().model()->index(0, 0));

    // The setup login with the grade 3 password, then a file dialog that takes the package.
    // The file dialog is answered only after the activity timer has ticked
    // behind it (2 s): a tick must not wait for the thread that asked.
    QTimer driver;
    QElapsedTimer fileDialogShown;
    QObject::connect(&driver, &QTimer::timeout, [&package, &fileDialogShown] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* login = qobject_cast<LoginForSetupDialog*>(modal)) {
            child<QRadioButton>(*login, "grade3").click();
            child<QLineEdit>(*login, "password").setText(QStringLiteral("grade3pw"));
            login->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            if (!fileDialogShown.isValid())
                fileDialogShown.start();
            if (fileDialogShown.elapsed() < 2500)
                return;
            fileDialogShown.invalidate();
            // The name typed, as the user would: a selection made once the
            // dialog has listed its folder gives way to the initial "*.trfw".
            files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                ->setText(QString::fromStdString(package.string()));
            QMetaObject::invokeMethod(files, "accept", Qt::QueuedConnection);
        }
    });
    driver.start(20);
    window.lbusButton().click();
    ASSERT_TRUE(test::waitForWindowOperation(toolBox));
    auto* dialog = qobject_cast<LBusKeyWidget*>(window.shownDetail());
    ASSERT_NE(dialog, nullptr) << boxes.texts().size() << " messages";
    EXPECT_TRUE(child<QRadioButton>(*dialog, "action2").isChecked()); // release card preselected
    EXPECT_TRUE(child<QRadioButton>(*dialog, "action5").isHidden());
    EXPECT_TRUE(child<QCheckBox>(*dialog, "reader0").isChecked());
    EXPECT_FALSE(child<QCheckBox>(*dialog, "reader4").isEnabled());

    const std::string executed = "Action executed. See results in status messages of selected readers.";
    const auto run = [&](const char* radio, std::size_t boxesAfter) {
        child<QRadioButton>(*dialog, radio).click();
        child<QPushButton>(*dialog, "start").click();
        ASSERT_TRUE(test::processEventsUntil([&] { return boxes.texts().size() == boxesAfter; },
                                             std::chrono::minutes(2)));
        EXPECT_EQ(boxes.texts().back(), executed);
        EXPECT_TRUE(child<QPushButton>(*dialog, "start").isEnabled());
    };
    run("action1", 1);
    EXPECT_FALSE(child<QCheckBox>(*dialog, "reader0").isEnabled()); // no key for the internal reader
    EXPECT_EQ(readerStatus(*dialog, 1), "OK");
    EXPECT_EQ(readerStatus(*dialog, 3), "ERROR absent");
    EXPECT_TRUE(test::saveScreenshot(window, "lbus_key.png"));
    run("action2", 2);
    EXPECT_EQ(readerStatus(*dialog, 0), "unlocked");
    EXPECT_EQ(readerStatus(*dialog, 2), "unlocked");

    // The firmware update of readers 1 and 2, followed to its end; closing
    // the pane meanwhile would only stop the following.
    child<QRadioButton>(*dialog, "action4").click();
    EXPECT_TRUE(child<QCheckBox>(*dialog, "reader0").isChecked()); // a new action checks anew
    EXPECT_EQ(readerStatus(*dialog, 0), "");
    child<QCheckBox>(*dialog, "reader0").click();
    child<QCheckBox>(*dialog, "reader3").click();
    child<QPushButton>(*dialog, "start").click();
    ASSERT_TRUE(test::processEventsUntil([&] { return readerStatus(*dialog, 1) == "update runninng"; },
                                         std::chrono::minutes(2)));
    EXPECT_FALSE(child<QPushButton>(*dialog, "start").isEnabled());
    EXPECT_FALSE(child<QRadioButton>(*dialog, "action1").isEnabled());
    EXPECT_TRUE(test::saveScreenshot(window, "lbus_update_running.png"));
    ASSERT_TRUE(test::processEventsUntil([&] { return boxes.texts().size() == 3; }, std::chrono::minutes(2)));
    driver.stop();
    EXPECT_EQ(boxes.texts().back(), executed);
    for (int reader : {1, 2})
        EXPECT_EQ(readerStatus(*dialog, reader), "update done") << reader;
    EXPECT_EQ(readerStatus(*dialog, 0), "");
    EXPECT_TRUE(test::saveScreenshot(window, "lbus_update_done.png"));
    EXPECT_EQ(window.size(), QSize(MainWindow::kWidth, MainWindow::kHeight)); // the dialog fits the pane
    child<QPushButton>(*dialog, "cancel").click();
    EXPECT_TRUE(test::processEventsUntil(
        [&] { return window.shownDetail()->objectName() != QStringLiteral("lbusKey"); },
        std::chrono::seconds(30)));
}

TEST_F(LBusWindowOnBed, KeyCardAndFirmwareUpdateThroughTheLBusButton) {
    const fs::path package = files_ / "readers.trfw";
    EXPECT_TRUE(bed_->runOnPc([&package] { runReaderActions(package); }));
}

} // namespace
} // namespace kestrix
