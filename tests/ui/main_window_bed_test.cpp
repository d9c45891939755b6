#include "config/blocks.h"
#include "keyboard/keyb_file.h"
#include "mainwindow/command_line.h"
#include "messages/toolbox_lang.h"
#include "netbed/network_bed.h"
#include "protocol/t7000ip.h"
#include "ui/keyboard_editor_widget.h"
#include "ui/list_box_terminal.h"
#include "ui/login_for_setup_dialog.h"
#include "ui/login_for_tcl_dialog.h"
#include "ui/main_window.h"
#include "ui/qt_environment.h"
#include "ui/reset_view.h"
#include "ui/set_ip_address_view.h"
#include "ui/setup_editor_widget.h"
#include "ui/setup_page_view.h"
#include "ui/setup_password_dialog.h"
#include "ui/setup_wep_dialog.h"
#include "ui/t7000ip_key_dialog.h"
#include "ui/terminal_row_model.h"
#include "ui/terminal_tcl_view.h"
#include "ui/toolbox_app.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QRadioButton>
#include <QCheckBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

// The real main window on the offscreen platform in the PC's namespace of a
// test bed, used as a technician uses it: the search fills the list while the
// window keeps painting and closing waits for it; Reset asks for the setup
// login and restarts a terminal from the detail pane; IPv4 Setup moves a
// terminal stuck in a foreign subnet into the PC's; a new maintenance group
// is taken from its dialog (whose checks t7000ip_key_test tests); the TCL
// console talks to a terminal, after the TCL login for one that encrypts; a
// terminal's keyboard layout is changed in the keyboard editor and sent.
// Screenshots are kept as test artifacts.

namespace kestrix {
namespace {

namespace fs = std::filesystem;
using test::child;

// Records the texts a label shows each time it is painted.
class PaintedTexts : public QObject {
public:
    explicit PaintedTexts(QLabel& label) : label_(label) { label.installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &label_ && event->type() == QEvent::Paint && !label_.text().isEmpty())
            texts.push_back(label_.text().toStdString());
        return false;
    }
    std::vector<std::string> texts;

private:
    QLabel& label_;
};



// Runs driver every 20 ms on the modal dialog of type Dialog while one is up.
template <typename Dialog> void driveDialogs(QTimer& timer, const std::function<void(Dialog&)>& driver) {
    QObject::connect(&timer, &QTimer::timeout, [driver] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget()))
            driver(*dialog);
    });
    timer.start(20);
}

// Four terminals of different products, the last two without IPv6 (found by
// the IPv4 broadcast, so shown with their names); a 7460 with a talmo.cfg
// without a grade 1 password; one stuck in a foreign subnet whose gateway
// does not exist (it hears the PC's broadcasts, its answers never arrive).
// The 7450 and the 9300 wait for their TCL host, the 9300 encrypting.
class MainWindowOnBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/kestrix-window-XXXXXX";
        files_ = ::mkdtemp(pattern);
        const std::vector<std::uint8_t> block = test::fileWithPasswords("6.20", {"", "grade2pw", "grade3pw"});
        std::ofstream(files_ / "talmo.cfg", std::ios::binary)
            .write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
        test::BedLayout layout;
        const char* const terminals[][5] = {
            {"11", "fe80::11", "TALMO 7450", "A1B2C3D4", "t7450.bed.test"},
            {"12", "fe80::12", "TALMO 7100", "A1B2C3D5", "t7100.bed.test"},
            {"13", "", "TALMO DCU4", "A1B2C3D6", "dcu4.bed.test"},
            {"14", "", "TALMO 9300", "A1B2C3D7", "t9300.bed.test"},
            {"31", "", "TALMO 7460", "A1B2C3D8", "t7460.bed.test"},
        };
        for (const auto& [host, linkLocal, product, securityId, hostName] : terminals) {
            test::TerminalSetup terminal;
            terminal.ipv4 = "10.77.0." + std::string(host) + "/24";
            terminal.ipv6LinkLocal = linkLocal;
            terminal.terminalSection = {{"serial_number", "1001" + std::string(host)},
                                        {"product", product},
                                        {"security_id", securityId},
                                        {"reboot_ms", "2000"}};
            layout.terminals.push_back(terminal);
            layout.pcHostsLines.push_back("10.77.0." + std::string(host) + " " + hostName);
        }
        layout.terminals.back().tftpSection = {{"directory", files_.string()}};
        // The 7450, a time recorder (ET), has a matrix keyboard with the
        // default layout and a 240 x 64 display.
        fs::create_directory(files_ / "t7450");
        KeybFile keyboard;
        keyboard.layout() = defaultKeyboardLayout();
        const std::size_t mapLength = keyboard.SaveKeybFile(3);
        std::ofstream(files_ / "t7450" / "KEYB.MAP", std::ios::binary)
            .write(reinterpret_cast<const char*>(keyboard.contents().data()),
                   static_cast<std::streamsize>(mapLength));
        layout.terminals.front().tftpSection = {{"directory", (files_ / "t7450").string()}};
        layout.terminals.front().terminalSection.insert(
            {{"kind", "ET"}, {"eeprom_keyboard", "8"}, {"eeprom_display", "7"}});
        layout.terminals.front().terminalSection.insert(
            {{"tcl_connect", "passive"}, {"tcl_close_on", "BYE:"}});
        layout.terminals[3].terminalSection.insert(
            {{"tcl_connect", "passive"}, {"tcl_encrypt", "1"}, {"tcl_key_text", kTclKeyText}});
        test::TerminalSetup stuck;
        stuck.ipv4 = "192.168.42.127/24";
        stuck.terminalSection = {
            {"serial_number", "100132"}, {"authentication", "ip"}, {"reboot_ms", "2000"}};
        layout.terminals.push_back(stuck);
        buildSharedBed(layout);
        if (bed_)
            bed_->shellOnTerminal(5, "ip route replace default via 192.168.42.1 dev eth0 onlink");
    }
    static void TearDownTestSuite() {
        SharedNetworkBedTest::TearDownTestSuite();
        fs::remove_all(files_);
    }
    static inline fs::path files_;
    static constexpr const char* kTclKeyText = "Bed-7460-TCL";
};

TEST_F(MainWindowOnBed, SearchResetIPv4SetupAndMaintenanceGroupThroughTheWindow) {
    EXPECT_TRUE(bed_->runOnPc([] {
        QTemporaryDir startDirectory; // no trace file, settings file or list files
        ASSERT_TRUE(startDirectory.isValid() &&
                    ::chdir(startDirectory.path().toLocal8Bit().constData()) == 0);
        ::setenv("KESTRIX_TIME_SCALE", "0.05", 1);
        test::QtApplication application;
        CToolBoxApp toolBox(parseCommandLine(std::vector<std::string>{"-e"}));
        QMessageBox::StandardButton closeAnswer = QMessageBox::Cancel;
        std::size_t rowsWhenAsked = 0;
        test::MessageBoxWatcher boxes([&](QMessageBox& box) {
            rowsWhenAsked = toolBox.window().terminalList().rowModel().rows().size();
            return box.button(box.standardButtons().testFlag(closeAnswer) ? closeAnswer : QMessageBox::Ok);
        });
        ASSERT_TRUE(toolBox.initInstance());
        MainWindow& window = toolBox.window();
        ASSERT_TRUE(window.isVisible());
        EXPECT_EQ(window.size(), QSize(MainWindow::kWidth, MainWindow::kHeight)); // the controls fit it
        const std::vector<TerminalRow>& rows = window.terminalList().rowModel().rows();
        EXPECT_TRUE(setupTabsWithoutView().empty());
        EXPECT_FALSE(child<QPushButton>(window, "setup").isHidden());
        for (const char* shown : {"lbus", "keyboard", "firmware"})
            EXPECT_FALSE(child<QPushButton>(window, shown).isHidden()) << "an action button hidden: " << shown;
        PaintedTexts progress(child<QLabel>(window, "progressLine"));

        // Closing while the search runs asks its question once the search has
        // ended; Cancel keeps the window.
        window.searchButton().click();
        EXPECT_TRUE(toolBox.operationRunning());
        EXPECT_FALSE(window.searchButton().isEnabled());
        window.close();
        EXPECT_TRUE(test::processEventsUntil(
            [&] { return !boxes.texts().empty() && !toolBox.operationRunning(); }, std::chrono::minutes(4)));
        EXPECT_EQ(rowsWhenAsked, 5u);
        EXPECT_TRUE(window.isVisible());
        // By product key: 7100 (by its IPv6 broadcast), 7450, 7460, 9300, DCU4 (with its name).
        std::string listed;
        for (const TerminalRow& row : rows)
            listed += row.serialColumn + " " + std::to_string(row.iconIndex) + " " + row.addressLine + ", ";
        EXPECT_EQ(listed, "SN: 100112 1 fe80::12, SN: 100111 5 fe80::11, SN: 100131 5 10.77.0.31, "
                          "SN: 100114 7 10.77.0.14, SN: 100113 9 10.77.0.13, ");
        ASSERT_EQ(rows.size(), 5u);
        EXPECT_EQ(rows[4].dnsLine, "dcu4.bed.test");
        EXPECT_TRUE(std::any_of(progress.texts.begin(), progress.texts.end(),
                                [](const std::string& text) { return text.starts_with("Broadcast 'find'"); }))
            << "the wait window was not painted during the search: " << progress.texts.size() << " paints";
        EXPECT_TRUE(window.searchButton().isEnabled());
        EXPECT_EQ(window.shownDetail()->objectName().toStdString(), "idlePicture");
        // Selecting an entry as the user does shows its details.
        window.terminalList().setCurrentIndex(window.terminalList().model()->index(1, 0));
        EXPECT_EQ(window.shownDetail()->objectName().toStdString(), "showTerminal");
        EXPECT_TRUE(child<QLabel>(window, "headline").text().startsWith(QStringLiteral("100111 ")));
        EXPECT_TRUE(test::saveScreenshot(window, "main_window.png"));

        // Reset: the login comes up preselected at grade 2 (there is no grade 1
        // password); its password opens the dialog in the pane.
        window.terminalList().setCurrentIndex(window.terminalList().model()->index(2, 0));
        int logins = 0;
        QTimer loginDriver;
        driveDialogs<LoginForSetupDialog>(loginDriver, [&](LoginForSetupDialog& login) {
            ++logins;
            EXPECT_TRUE(child<QRadioButton>(login, "grade2").isChecked());
            EXPECT_FALSE(child<QRadioButton>(login, "grade1").isEnabled());
            child<QLineEdit>(login, "password").setText(QStringLiteral("grade2pw"));
            login.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        window.resetButton().click();
        ASSERT_TRUE(test::waitForWindowOperation(toolBox));
        loginDriver.stop();
        EXPECT_EQ(logins, 1);
        auto* reset = qobject_cast<ResetDialogView*>(window.shownDetail());
        ASSERT_NE(reset, nullptr);
        EXPECT_TRUE(child<QRadioButton>(*reset, "modeCold").isEnabled()); // grade 2
        EXPECT_FALSE(child<QRadioButton>(*reset, "modeIceCold").isEnabled());
        EXPECT_FALSE(window.searchButton().isEnabled());
        EXPECT_TRUE(test::saveScreenshot(window, "reset_dialog.png"));
        // Its OK restarts the terminal while the window keeps painting.
        child<QPushButton>(*reset, "ok").click();
        EXPECT_TRUE(toolBox.operationRunning());
        ASSERT_TRUE(test::waitForWindowOperation(toolBox));
        EXPECT_TRUE(
            test::processEventsUntil([&] { return boxes.texts().size() == 2; }, std::chrono::seconds(10)));
        EXPECT_EQ(boxes.texts().back(), "Reset executed.");
        EXPECT_TRUE(toolBox.dialog().selection().empty()) << "the reset terminal stays selected";
        EXPECT_TRUE(test::processEventsUntil(
            [&] { return window.shownDetail()->objectName() == QStringLiteral("idlePicture"); },
            std::chrono::seconds(10)));
        EXPECT_TRUE(window.searchButton().isEnabled());

        // IPv4 Setup needs no selection; the stuck terminal is moved and listed.
        window.setipaButton().click();
        auto* setIP = qobject_cast<SetIPAddressDialogView*>(window.shownDetail());
        ASSERT_NE(setIP, nullptr);
        child<QLineEdit>(*setIP, "serialNumber").setText(QStringLiteral("100132"));
        const char* parts[3][4] = {
            {"10", "77", "0", "60"}, {"255", "255", "255", "0"}, {"10", "77", "0", "1"}};
        const char* fields[3] = {"address", "mask", "gateway"};
        for (int field = 0; field < 3; ++field)
            for (int part = 0; part < 4; ++part)
                child<QLineEdit>(*setIP, (std::string(fields[field]) + std::to_string(part)).c_str())
                    .setText(QString::fromLatin1(parts[field][part]));
        EXPECT_TRUE(test::saveScreenshot(window, "set_ip_address_dialog.png"));
        child<QPushButton>(*setIP, "ok").click();
        EXPECT_TRUE(toolBox.operationRunning());
        ASSERT_TRUE(test::waitForWindowOperation(toolBox));
        ASSERT_EQ(rows.size(), 6u);
        EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const TerminalRow& row) {
            return row.serialColumn == "SN: 100132" && row.addressLine == "10.77.0.60";
        }));
        EXPECT_EQ(boxes.texts().size(), 2u) << "no failure box";
        EXPECT_TRUE(test::saveScreenshot(window, "set_ip_address_done.png"));

        // The maintenance group dialog runs on the window's thread while the
        // button's operation waits on the worker; the group typed there is
        // taken and the list searched again.
        QTimer groupDriver;
        driveDialogs<T7000ipKeyDialog>(groupDriver, [](T7000ipKeyDialog& dialog) {
            child<QLineEdit>(dialog, "groupField").setText(QStringLiteral("7"));
            child<QPushButton>(dialog, "ok").click();
        });
        child<QPushButton>(window, "maintenanceGroup").click();
        EXPECT_TRUE(toolBox.operationRunning());
        EXPECT_TRUE(test::waitForWindowOperation(toolBox));
        EXPECT_EQ(toolBox.dialog().engine().getT7000ipMaintGroup(), 7);
        EXPECT_EQ(rows.size(), 6u);

        // Export... writes the list as JSON when the name chosen ends in .json.
        QTimer exportDriver;
        driveDialogs<QFileDialog>(exportDriver, [&](QFileDialog& dialog) {
            dialog.selectFile(startDirectory.filePath(QStringLiteral("site.json")));
            static_cast<QDialog&>(dialog).accept(); // QFileDialog's own accept, as its Save button
        });
        child<QPushButton>(window, "export").click();
        ASSERT_TRUE(test::waitForWindowOperation(toolBox));
        exportDriver.stop();
        QFile exported(startDirectory.filePath(QStringLiteral("site.json")));
        ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
        const QJsonDocument list = QJsonDocument::fromJson(exported.readAll());
        ASSERT_TRUE(list.isArray());
        EXPECT_EQ(list.array().size(), 6);
        const QJsonArray entries = list.array();
        EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const QJsonValue& entry) {
            return entry["ipv4_dns_name"].toString() == QStringLiteral("dcu4.bed.test");
        }));

        // No: the program ends without saving.
        closeAnswer = QMessageBox::No;
        window.close();
        EXPECT_TRUE(test::processEventsUntil([&] { return !window.isVisible(); }, std::chrono::seconds(30)));
        EXPECT_EQ(boxes.texts().size(), 3u);
    }));
}

// The Setup button opens the setup editor of the selected terminal in the pane
// after the setup login; every page it shows is kept as a screenshot
// (setup_<tab>.png). What is typed on the pages (a new address and host
// port, a new grade 2 password, a summer-time rule) and in the WEP dialog
// reaches the terminal with OK: the next editor opens with the new password
// and shows it all again; its Cancel asks and ends it.
TEST_F(MainWindowOnBed, SetupEditorThroughTheWindow) {
    EXPECT_TRUE(bed_->runOnPc([] {
        QTemporaryDir startDirectory;
        ASSERT_TRUE(startDirectory.isValid() &&
                    ::chdir(startDirectory.path().toLocal8Bit().constData()) == 0);
        ::setenv("KESTRIX_TIME_SCALE", "0.05", 1);
        test::QtApplication application;
        CToolBoxApp toolBox(parseCommandLine(std::vector<std::string>{"-e"}));
        test::MessageBoxWatcher boxes([](QMessageBox& box) {
            return box.button(box.standardButtons().testFlag(QMessageBox::Yes) ? QMessageBox::Yes
                                                                               : QMessageBox::Ok);
        });
        ASSERT_TRUE(toolBox.initInstance());
        MainWindow& window = toolBox.window();
        window.searchButton().click();
        ASSERT_TRUE(test::waitForWindowOperation(toolBox));
        const std::vector<TerminalRow>& rows = window.terminalList().rowModel().rows();
        const auto row = std::find_if(rows.begin(), rows.end(),
                                      [](const TerminalRow& entry) { return entry.serialColumn == "SN: 100131"; });
        ASSERT_NE(row, rows.end());
        const int listRow = int(row - rows.begin());
        QTimer loginDriver;
        const char* loginGrade = "grade3";
        QString loginPassword = QStringLiteral("grade3pw");
        driveDialogs<LoginForSetupDialog>(loginDriver, [&](LoginForSetupDialog& login) {
            child<QRadioButton>(login, loginGrade).setChecked(true);
            child<QLineEdit>(login, "password").setText(loginPassword);
            login.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        const auto openEditor = [&]() -> SetupEditorWidget* {
            window.terminalList().setCurrentIndex(window.terminalList().model()->index(listRow, 0));
            window.setupButton().click();
            EXPECT_TRUE(test::waitForWindowOperation(toolBox));
            return qobject_cast<SetupEditorWidget*>(window.shownDetail());
        };
        SetupEditorWidget* editor = openEditor();
        ASSERT_NE(editor, nullptr) << boxes.texts().size() << " messages";
        EXPECT_TRUE(child<QLabel>(*editor, "title").text().endsWith(QStringLiteral("100131")));
        auto& pages = child<QTabWidget>(*editor, "pages");
        EXPECT_EQ(pages.count(), 11);
        for (int index = 0; index < pages.count(); ++index) {
            pages.setCurrentIndex(index);
            const std::string name = "setup_" + pages.widget(index)->objectName().toStdString() + ".png";
            EXPECT_TRUE(test::saveScreenshot(window, name.c_str()));
        }

        QTimer wepDriver;
        driveDialogs<SetupWepDialog>(wepDriver, [&](SetupWepDialog& wep) {
            child<QCheckBox>(wep, "encryption").setChecked(true);
            child<QLineEdit>(wep, "networkName").setText(QStringLiteral("bednet"));
            child<QLineEdit>(wep, "key").setText(QStringLiteral("k3y45"));
            wep.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        child<QPushButton>(*editor, "wepSettings").click();
        wepDriver.stop();
        child<QLineEdit>(*editor, "ipv4Address").setText(QStringLiteral("10.77.0.35"));
        child<QLineEdit>(*editor, "ipv4Mask").setText(QStringLiteral("255.255.255.0"));
        child<QLineEdit>(*editor, "port").setText(QStringLiteral("3002"));
        QTimer passwordDriver;
        driveDialogs<SetupPasswordDialog>(passwordDriver, [&](SetupPasswordDialog& dialog) {
            child<QLineEdit>(dialog, "currentPassword").setText(QStringLiteral("grade2pw"));
            child<QLineEdit>(dialog, "newPassword").setText(QStringLiteral("newgrad2"));
            child<QLineEdit>(dialog, "retypedPassword").setText(QStringLiteral("newgrad2"));
            dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        child<QPushButton>(*editor, "changePassword2").click();
        passwordDriver.stop();
        EXPECT_EQ(boxes.texts().back(), "New password correct.");
        child<QCheckBox>(*editor, "automatic").setChecked(true);
        for (const auto& [point, rule] : {std::pair{"start", "M3.5.0/2"}, std::pair{"end", "M10.5.0/3"}}) {
            child<QRadioButton>(*editor, (std::string(point) + "Posix").c_str()).setChecked(true);
            child<QLineEdit>(*editor, (std::string(point) + "PosixRule").c_str()).setText(QString::fromLatin1(rule));
        }
        child<QPushButton>(*editor, "ok").click();
        ASSERT_TRUE(test::waitForWindowOperation(toolBox));
        ASSERT_FALSE(boxes.texts().empty());
        EXPECT_EQ(boxes.texts().back(), "Configuration file installed.");
        std::ifstream packetIni(files_ / "packet.ini");
        const std::string sent((std::istreambuf_iterator<char>(packetIni)), std::istreambuf_iterator<char>());
        EXPECT_NE(sent.find("bednet"), std::string::npos) << sent;

        loginGrade = "grade2";
        loginPassword = QStringLiteral("newgrad2");
        editor = openEditor();
        loginDriver.stop();
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(child<QLineEdit>(*editor, "ipv4Address").text(), QStringLiteral("10.77.0.35"));
        EXPECT_EQ(child<QLineEdit>(*editor, "ipv4Mask").text(), QStringLiteral("255.255.255.0"));
        EXPECT_EQ(child<QLineEdit>(*editor, "port").text(), QStringLiteral("3002"));
        EXPECT_TRUE(child<QCheckBox>(*editor, "automatic").isChecked());
        EXPECT_EQ(child<QLineEdit>(*editor, "startPosixRule").text(), QStringLiteral("M3.5.0/2"));
        EXPECT_EQ(child<QLineEdit>(*editor, "endPosixRule").text(), QStringLiteral("M10.5.0/3"));
        const std::size_t messages = boxes.texts().size();
        child<QPushButton>(*editor, "cancel").click();
        EXPECT_EQ(boxes.texts().size(), messages + 1);
        EXPECT_TRUE(test::processEventsUntil(
            [&] { return window.shownDetail()->objectName() == QStringLiteral("showTerminal"); },
            std::chrono::seconds(10)));
        EXPECT_TRUE(window.searchButton().isEnabled());
    }));
}

// The TCL button opens the console of the selected terminal in the pane: it
// shows the terminal's answer to the first statement, sends a statement on
// Return once and shows its answer, and sees the terminal end the connection.
// A terminal that encrypts asks for the key first (from its text here);
// ending the program ends its connection.
TEST_F(MainWindowOnBed, TclConsoleThroughTheWindow) {
    EXPECT_TRUE(bed_->runOnPc([] {
        QTemporaryDir startDirectory;
        ASSERT_TRUE(startDirectory.isValid() &&
                    ::chdir(startDirectory.path().toLocal8Bit().constData()) == 0);
        ::setenv("KESTRIX_TIME_SCALE", "0.05", 1);
        test::QtApplication application;
        CToolBoxApp toolBox(parseCommandLine(std::vector<std::string>{"-e"}));
        test::MessageBoxWatcher boxes([](QMessageBox& box) {
            return box.button(box.standardButtons().testFlag(QMessageBox::No) ? QMessageBox::No
                                                                              : QMessageBox::Ok);
        });
        ASSERT_TRUE(toolBox.initInstance());
        MainWindow& window = toolBox.window();
        window.searchButton().click();
        ASSERT_TRUE(test::waitForWindowOperation(toolBox));
        const auto select = [&](const std::string& serialColumn) {
            const std::vector<TerminalRow>& rows = window.terminalList().rowModel().rows();
            const auto row = std::find_if(rows.begin(), rows.end(), [&](const TerminalRow& entry) {
                return entry.serialColumn == serialColumn;
            });
            ASSERT_NE(row, rows.end()) << serialColumn;
            window.terminalList().setCurrentIndex(
                window.terminalList().model()->index(int(row - rows.begin()), 0));
        };
        const auto openConsole = [&]() -> TerminalTclView* {
            window.tclButton().click();
            EXPECT_TRUE(test::waitForWindowOperation(toolBox));
            auto* console = qobject_cast<TerminalTclView*>(window.shownDetail());
            const auto shows = [console](const QString& text) {
                return test::processEventsUntil(
                    [&] { return child<QPlainTextEdit>(*console, "output").toPlainText().contains(text); },
                    std::chrono::seconds(10));
            };
            if (console == nullptr || !shows(QStringLiteral("Connection OK")))
                return nullptr;
            return console;
        };

        select("SN: 100111");
        TerminalTclView* console = openConsole();
        ASSERT_NE(console, nullptr) << "no console, or no answer to the first statement";
        EXPECT_TRUE(
            child<QLabel>(*console, "header").text().startsWith(QStringLiteral("Connected to 100111 ")));
        EXPECT_EQ(child<QPushButton>(*console, "connection").text(), QStringLiteral("Disconnect"));
        EXPECT_EQ(child<QComboBox>(*console, "files").currentText(),
                  QStringLiteral("---")); // no test programs
        auto& statement = child<QComboBox>(*console, "statement");
        statement.setEditText(QStringLiteral("ISR,'Answer from the terminal':"));
        // Return sends also after a button of the window had the focus (and
        // with it the window's default).
        child<QPushButton>(window, "information").setFocus();
        statement.setFocus();
        QKeyEvent returnKey(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(window.focusWidget(), &returnKey);
        ASSERT_TRUE(test::waitForWindowOperation(toolBox));
        auto& output = child<QPlainTextEdit>(*console, "output");
        EXPECT_TRUE(test::processEventsUntil(
            [&] { return output.toPlainText().contains(QStringLiteral("Answer from the terminal")); },
            std::chrono::seconds(10)));
        QCoreApplication::processEvents();
        EXPECT_EQ(output.toPlainText().count(QStringLiteral("Answer from the terminal")), 1) << "sent once";
        EXPECT_EQ(statement.count(), 1);
        EXPECT_TRUE(boxes.texts().empty());
        EXPECT_TRUE(test::saveScreenshot(window, "tcl_console.png"));

        // The terminal ends the connection: the console sees it at its next poll.
        statement.setEditText(QStringLiteral("BYE:"));
        child<QPushButton>(*console, "send").click();
        ASSERT_TRUE(test::waitForWindowOperation(toolBox));
        EXPECT_TRUE(
            test::processEventsUntil([&] { return !boxes.texts().empty(); }, std::chrono::seconds(10)));
        EXPECT_EQ(boxes.texts(), std::vector<std::string>{"Connection to terminal is closed."});
        EXPECT_EQ(child<QLabel>(*console, "header").text(), QStringLiteral("Terminal not connected."));
        EXPECT_EQ(child<QPushButton>(*console, "connection").text(), QStringLiteral("Connect"));
        EXPECT_FALSE(child<QPushButton>(*console, "send").isEnabled());
        child<QToolButton>(*console, "close").click();
        ASSERT_TRUE(test::waitForWindowOperation(toolBox));
        EXPECT_TRUE(test::processEventsUntil(
            [&] { return qobject_cast<TerminalTclView*>(window.shownDetail()) == nullptr; },
            std::chrono::seconds(10)));

        // The encrypting terminal: its key from the text it was made from.
        select("SN: 100114");
        int logins = 0;
        QTimer loginDriver;
        driveDialogs<LoginForTclDialog>(loginDriver, [&](LoginForTclDialog& login) {
            ++logins;
            child<QLineEdit>(login, "text").setText(QString::fromLatin1(kTclKeyText));
            EXPECT_TRUE(test::saveScreenshot(login, "tcl_login.png"));
            login.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        console = openConsole();
        loginDriver.stop();
        EXPECT_EQ(logins, 1);
        ASSERT_NE(console, nullptr) << "no console, or no deciphered answer to the first statement";

        // Ending the program ends the connection first.
        window.close();
        EXPECT_TRUE(test::processEventsUntil([&] { return !window.isVisible(); }, std::chrono::seconds(30)));
        EXPECT_EQ(boxes.texts().size(), 3u);
    }));
}

// The 7450's layout opens in the editor, three keys move, and after the send
// with its reset the terminal holds the new layout.
TEST_F(MainWindowOnBed, KeyboardLayoutThroughTheWindow) {
    EXPECT_TRUE(bed_->runOnPc([] {
        QTemporaryDir startDirectory;
        ASSERT_TRUE(startDirectory.isValid() &&
                    ::chdir(startDirectory.path().toLocal8Bit().constData()) == 0);
        ::setenv("KESTRIX_TIME_SCALE", "0.05", 1);
        test::QtApplication application;
        CToolBoxApp toolBox(parseCommandLine(std::vector<std::string>{"-e"}));
        test::MessageBoxWatcher boxes([](QMessageBox& box) { return box.button(QMessageBox::Ok); });
        ASSERT_TRUE(toolBox.initInstance());
        MainWindow& window = toolBox.window();
        window.searchButton().click();
        ASSERT_TRUE(test::waitForWindowOperation(toolBox));
        const auto openOn = [&](const std::string& serialColumn) {
            const std::vector<TerminalRow>& rows = window.terminalList().rowModel().rows();
            const auto entry = std::find_if(rows.begin(), rows.end(), [&](const TerminalRow& shown) {
                return shown.serialColumn == serialColumn;
            });
            ASSERT_NE(entry, rows.end());
            window.terminalList().setCurrentIndex(
                window.terminalList().model()->index(int(entry - rows.begin()), 0));
            window.keyboardButton().click();
            ASSERT_TRUE(test::waitForWindowOperation(toolBox));
        };
        openOn("SN: 100131"); // an access control manager
        EXPECT_EQ(boxes.texts(),
                  std::vector<std::string>{"The keyboard of an access control manager cannot be changed."});
        openOn("SN: 100111");
        auto* editor = qobject_cast<KeyboardEditorWidget*>(window.shownDetail());
        ASSERT_NE(editor, nullptr) << boxes.texts().size() << " messages";
        const auto cell = [&](int row, int column) {
            return child<QPushButton>(*editor, QStringLiteral("cell%1%2").arg(row).arg(column)).text();
        };
        ASSERT_TRUE(test::processEventsUntil([&] { return cell(0, 0) == QStringLiteral(" C "); },
                                             std::chrono::seconds(10)));
        EXPECT_EQ(child<QLabel>(*editor, "title").text(),
                  QStringLiteral("Keyboard file name KEYB.MAP in terminal 100111 [not verified]"));
        EXPECT_EQ(child<QComboBox>(*editor, "displayType").currentText(), QStringLiteral("240x64 Pixel"));
        EXPECT_TRUE(child<QCheckBox>(*editor, "sideFields").isChecked());
        EXPECT_TRUE(test::saveScreenshot(window, "keyboard_editor_fetched.png"));

        // ESC to the top right, BACKSPACE from the bottom left to row 4's right end.
        const auto place = [&](const char* key, int row, int column) {
            child<QPushButton>(*editor, key).click();
            child<QPushButton>(*editor, QStringLiteral("cell%1%2").arg(row).arg(column)).click();
        };
        place("key1", 7, 7);
        place("key14", 4, 7);
        place("clear", 0, 0);
        EXPECT_EQ(child<QLabel>(*editor, "character").text(), QStringLiteral("---"));
        EXPECT_TRUE(test::saveScreenshot(window, "keyboard_editor_changed.png"));
        child<QPushButton>(*editor, "send").click();
        ASSERT_TRUE(test::waitForWindowOperation(toolBox));
        ASSERT_TRUE(
            test::processEventsUntil([&] { return boxes.texts().size() == 2; }, std::chrono::seconds(30)));
        EXPECT_EQ(boxes.texts().back(), "Keyboard file installed.");

        // Fetched back: the terminal loaded the new file at its restart.
        place("clear", 7, 7);
        child<QPushButton>(*editor, "fetch").click();
        ASSERT_TRUE(test::waitForWindowOperation(toolBox));
        EXPECT_EQ(boxes.texts().back(),
                  "The keyboard file displayed is not saved - do you want to continue?");
        ASSERT_TRUE(test::processEventsUntil([&] { return cell(7, 7) == QStringLiteral("ESC"); },
                                             std::chrono::seconds(10)));
        EXPECT_EQ(cell(4, 7), QStringLiteral(" C "));
        EXPECT_EQ(cell(0, 0), QStringLiteral("---"));
        child<QPushButton>(*editor, "ok").click();
        EXPECT_TRUE(test::processEventsUntil(
            [&] { return window.shownDetail()->objectName() != QStringLiteral("keyboardEditor"); },
            std::chrono::seconds(10)));
    }));
}

} // namespace
} // namespace kestrix
