#include "address_reset/reset_exe.h"
#include "config/blocks.h"
#include "mainwindow/command_line.h"
#include "netbed/bed_availability.h"
#include "netbed/network_bed.h"
#include "ui/list_box_terminal.h"
#include "ui/login_for_setup_dialog.h"
#include "ui/main_window.h"
#include "ui/qt_environment.h"
#include "ui/reset_view.h"
#include "ui/set_ip_address_view.h"
#include "ui/terminal_row_model.h"
#include "ui/toolbox_app.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <unistd.h>

// The window's two address and reset actions as a technician uses them, on
// the offscreen platform in the PC's namespace of a test bed: Reset asks for
// the setup login and shows the reset dialog in the detail pane, whose OK
// restarts the terminal while the window keeps painting; IPv4 Setup moves a
// terminal stuck in a foreign subnet into the PC's and lists it. Screenshots
// of both dialogs are kept as test artifacts.

namespace kestrix {
namespace {

namespace fs = std::filesystem;

class ActionDialogsOnBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/kestrix-actions-XXXXXX";
        files_ = ::mkdtemp(pattern);
        fs::create_directories(files_ / "t0");
        // Without a grade 1 password: the login preselects grade 2.
        const std::vector<std::uint8_t> block = test::fileWithPasswords("6.20", {"", "grade2pw", "grade3pw"});
        std::ofstream(files_ / "t0" / "talmo.cfg", std::ios::binary)
            .write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
        test::BedLayout layout;
        test::TerminalSetup listed;
        listed.ipv4 = "10.77.0.31/24";
        listed.terminalSection = {{"serial_number", "100131"}, {"security_id", "A1B2C3D4"}, {"reboot_ms", "2000"}};
        listed.tftpSection = {{"directory", (files_ / "t0").string()}};
        test::TerminalSetup stuck;
        stuck.ipv4 = "192.168.42.127/24";
        stuck.terminalSection = {{"serial_number", "100132"}, {"authentication", "ip"}, {"reboot_ms", "2000"}};
        layout.terminals = {listed, stuck};
        buildSharedBed(layout);
        if (bed_)
            bed_->shellOnTerminal(1, "ip route replace default via 192.168.42.1 dev eth0 onlink");
    }
    static void TearDownTestSuite() {
        SharedNetworkBedTest::TearDownTestSuite();
        fs::remove_all(files_);
    }
    static inline fs::path files_;
};

void saveScreenshot(QWidget& window, const char* name) {
    QCoreApplication::processEvents();
    const QString file = QStringLiteral(KESTRIX_ARTIFACTS_DIRECTORY "/") + QString::fromLatin1(name);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
    EXPECT_TRUE(window.grab().save(file));
    std::printf("screenshot: %s\n", file.toLocal8Bit().constData());
}

template <typename Widget> Widget& child(QWidget& parent, const char* name) {
    auto* widget = parent.findChild<Widget*>(QString::fromLatin1(name));
    if (widget == nullptr)
        throw std::runtime_error(std::string("no control ") + name);
    return *widget;
}

TEST_F(ActionDialogsOnBed, ResetWithLoginAndIPv4SetupOfAStuckTerminalThroughTheButtons) {
    EXPECT_TRUE(bed_->runOnPc([] {
        QTemporaryDir startDirectory;
        ASSERT_TRUE(startDirectory.isValid() && ::chdir(startDirectory.path().toLocal8Bit().constData()) == 0);
        ::setenv("KESTRIX_TIME_SCALE", "0.05", 1);
        test::QtApplication application;
        CToolBoxApp toolBox(parseCommandLine(std::vector<std::string>{"-e"}));
        test::MessageBoxWatcher boxes([](QMessageBox& box) { return box.button(QMessageBox::Ok); });
        ASSERT_TRUE(toolBox.initInstance());
        MainWindow& window = toolBox.window();
        const auto waitForOperation = [&] {
            return test::processEventsUntil([&] { return !toolBox.operationRunning(); }, std::chrono::minutes(3));
        };
        // The five actions without their dialog yet are not shown.
        for (const char* hidden : {"setup", "tcl", "lbus", "firmware", "keyboard"})
            EXPECT_TRUE(child<QPushButton>(window, hidden).isHidden()) << hidden;

        child<QLineEdit>(window, "nameField").setText(QStringLiteral("10.77.0.31"));
        child<QPushButton>(window, "add").click();
        ASSERT_TRUE(waitForOperation());
        ASSERT_EQ(window.terminalList().rowModel().rows().size(), 1u);
        window.terminalList().setCurrentIndex(window.terminalList().model()->index(0, 0));

        // The login comes up preselected at grade 2; its password opens the dialog.
        int logins = 0;
        QTimer loginDriver;
        QObject::connect(&loginDriver, &QTimer::timeout, [&] {
            auto* login = qobject_cast<LoginForSetupDialog*>(QApplication::activeModalWidget());
            if (login == nullptr)
                return;
            ++logins;
            EXPECT_TRUE(child<QRadioButton>(*login, "grade2").isChecked());
            EXPECT_FALSE(child<QRadioButton>(*login, "grade1").isEnabled());
            child<QLineEdit>(*login, "password").setText(QStringLiteral("grade2pw"));
            login->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        loginDriver.start(20);
        window.resetButton().click();
        ASSERT_TRUE(waitForOperation());
        loginDriver.stop();
        EXPECT_EQ(logins, 1);
        auto* reset = qobject_cast<ResetDialogView*>(window.shownDetail());
        ASSERT_NE(reset, nullptr);
        EXPECT_TRUE(child<QRadioButton>(*reset, "modeCold").isEnabled()); // grade 2
        EXPECT_FALSE(child<QRadioButton>(*reset, "modeIceCold").isEnabled());
        EXPECT_FALSE(child<QPushButton>(window, "search").isEnabled());
        saveScreenshot(window, "reset_dialog.png");

        child<QPushButton>(*reset, "ok").click();
        EXPECT_TRUE(toolBox.operationRunning());
        ASSERT_TRUE(waitForOperation());
        EXPECT_TRUE(test::processEventsUntil([&] { return !boxes.texts().empty(); }, std::chrono::seconds(10)));
        EXPECT_EQ(boxes.texts(), std::vector<std::string>{"Reset executed."});
        EXPECT_TRUE(test::processEventsUntil(
            [&] { return window.shownDetail()->objectName() == QStringLiteral("idlePicture"); },
            std::chrono::seconds(10)));
        EXPECT_TRUE(child<QPushButton>(window, "search").isEnabled());

        // IPv4 Setup needs no selection.
        window.setipaButton().click();
        auto* setIP = qobject_cast<SetIPAddressDialogView*>(window.shownDetail());
        ASSERT_NE(setIP, nullptr);
        child<QLineEdit>(*setIP, "serialNumber").setText(QStringLiteral("100132"));
        const char* parts[3][4] = {{"10", "77", "0", "60"}, {"255", "255", "255", "0"}, {"10", "77", "0", "1"}};
        const char* fields[3] = {"address", "mask", "gateway"};
        for (int field = 0; field < 3; ++field)
            for (int part = 0; part < 4; ++part)
                child<QLineEdit>(*setIP, (std::string(fields[field]) + std::to_string(part)).c_str())
                    .setText(QString::fromLatin1(parts[field][part]));
        saveScreenshot(window, "set_ip_address_dialog.png");
        child<QPushButton>(*setIP, "ok").click();
        EXPECT_TRUE(toolBox.operationRunning());
        ASSERT_TRUE(waitForOperation());
        const std::vector<TerminalRow>& rows = window.terminalList().rowModel().rows();
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_TRUE(rows[0].addressLine == "10.77.0.60" || rows[1].addressLine == "10.77.0.60");
        EXPECT_EQ(boxes.texts().size(), 1u); // no failure box
        saveScreenshot(window, "set_ip_address_done.png");
    }));
}

} // namespace
} // namespace kestrix
