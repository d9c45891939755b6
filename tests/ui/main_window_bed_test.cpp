#include "mainwindow/command_line.h"
#include "messages/toolbox_lang.h"
#include "netbed/network_bed.h"
#include "protocol/t7000ip.h"
#include "ui/background_operation.h"
#include "ui/list_box_terminal.h"
#include "ui/main_window.h"
#include "ui/qt_environment.h"
#include "ui/t7000ip_key_dialog.h"
#include "ui/terminal_row_model.h"
#include "ui/toolbox_app.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <unistd.h>

// The real main window in the PC's namespace of the test bed, with four
// simulated terminals of different products, two of them without IPv6 (found
// by the IPv4 broadcast, so shown with their names): the search button fills
// the list while the window keeps painting, closing waits for the search and
// asks whether to save the list, and a screenshot of the result is kept as a
// test artifact.

namespace kestrix {
namespace {

using test::BedLayout;
using test::NetworkBed;
using test::TerminalSetup;

// Four terminals of different products; the last two have no IPv6 address.
BedLayout fourTerminals() {
    const std::array<std::array<const char*, 5>, 4> terminals = {{
        {"11", "fe80::11", "TALMO 7450", "A1B2C3D4", "t7450.bed.test"},
        {"12", "fe80::12", "TALMO 7100", "A1B2C3D5", "t7100.bed.test"},
        {"13", "", "TALMO DCU4", "A1B2C3D6", "dcu4.bed.test"},
        {"14", "", "TALMO 9300", "A1B2C3D7", "t9300.bed.test"},
    }};
    BedLayout layout;
    for (const auto& [host, linkLocal, product, securityId, hostName] : terminals) {
        TerminalSetup terminal;
        terminal.ipv4 = "10.77.0." + std::string(host) + "/24";
        terminal.ipv6LinkLocal = linkLocal;
        terminal.terminalSection = {{"serial_number", "1001" + std::string(host)},
                                    {"product", product},
                                    {"security_id", securityId}};
        layout.terminals.push_back(terminal);
        layout.pcHostsLines.push_back("10.77.0." + std::string(host) + " " + hostName);
    }
    return layout;
}

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

// The start directory: no trace file, settings file or list files.
bool enterEmptyDirectory(const QTemporaryDir& directory) {
    return directory.isValid() && chdir(directory.path().toLocal8Bit().constData()) == 0;
}

class MainWindowOnBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() { buildSharedBed(fourTerminals()); }
};

TEST_F(MainWindowOnBed, TheSearchButtonFillsTheListWhileTheWindowPaintsAndClosingWaitsForTheSearch) {
    EXPECT_TRUE(bed_->runOnPc([] {
        QTemporaryDir startDirectory;
        ASSERT_TRUE(enterEmptyDirectory(startDirectory));
        test::QtApplication application;
        CToolBoxApp toolBox(parseCommandLine(std::vector<std::string>{"-e"}));
        // The only box expected is the question at the end (save the list?).
        QMessageBox::StandardButton closeAnswer = QMessageBox::Cancel;
        std::size_t rowsWhenAsked = 0;
        test::MessageBoxWatcher boxes([&](QMessageBox& box) {
            rowsWhenAsked = toolBox.window().terminalList().rowModel().rows().size();
            return box.button(closeAnswer);
        });
        ASSERT_TRUE(toolBox.initInstance());
        MainWindow& window = toolBox.window();
        ASSERT_TRUE(window.isVisible());
        // The controls fit the window's size.
        EXPECT_EQ(window.size(), QSize(MainWindow::kWidth, MainWindow::kHeight));
        auto* progressLine = window.findChild<QLabel*>(QStringLiteral("progressLine"));
        ASSERT_NE(progressLine, nullptr);
        PaintedTexts progress(*progressLine);

        // Closing while the search runs asks its question once the search has
        // ended; Cancel keeps the window.
        window.searchButton().click();
        EXPECT_TRUE(toolBox.operationRunning());
        EXPECT_FALSE(window.searchButton().isEnabled());
        window.close();
        EXPECT_TRUE(test::processEventsUntil(
            [&] { return !boxes.texts().empty() && !toolBox.operationRunning(); }, std::chrono::minutes(4)));
        EXPECT_EQ(rowsWhenAsked, 4u);
        EXPECT_TRUE(window.isVisible());

        // Sorted by product key: 7100, 7450, 9300, DCU4.
        const std::vector<TerminalRow>& rows = window.terminalList().rowModel().rows();
        std::string serials;
        for (const TerminalRow& row : rows)
            serials += row.serialColumn + " " + std::to_string(row.iconIndex) + ", ";
        EXPECT_EQ(serials, "SN: 100112 1, SN: 100111 5, SN: 100114 7, SN: 100113 9, ");
        ASSERT_EQ(rows.size(), 4u);
        EXPECT_EQ(rows[0].addressLine, "fe80::12"); // found by the IPv6 broadcast
        EXPECT_EQ(rows[3].addressLine + " " + rows[3].dnsLine, "10.77.0.13 dcu4.bed.test");
        const QModelIndex first = window.terminalList().model()->index(0, 0);
        EXPECT_EQ(first.data(TerminalRowModel::VersionRole).toString().toStdString(), rows[0].versionColumn);

        // The wait window was painted while the search ran.
        EXPECT_TRUE(std::any_of(progress.texts.begin(), progress.texts.end(),
                                [](const std::string& text) { return text.starts_with("Broadcast 'find'"); }))
            << progress.texts.size() << " paints";
        EXPECT_TRUE(window.searchButton().isEnabled());
        EXPECT_EQ(window.shownDetail()->objectName().toStdString(), "idlePicture");

        // Selecting an entry as the user does shows its details.
        window.terminalList().setCurrentIndex(window.terminalList().model()->index(1, 0));
        EXPECT_EQ(window.shownDetail()->objectName().toStdString(), "showTerminal");
        auto* headline = window.findChild<QLabel*>(QStringLiteral("headline"));
        ASSERT_NE(headline, nullptr);
        EXPECT_EQ(headline->text().toStdString().rfind("100111 ", 0), 0u) << headline->text().toStdString();
        EXPECT_EQ(boxes.texts().size(), 1u);

        QCoreApplication::processEvents();
        const QString screenshot = QStringLiteral(KESTRIX_SCREENSHOT_FILE);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(screenshot).path()));
        EXPECT_TRUE(window.grab().save(screenshot));
        std::printf("main window screenshot: %s\n", KESTRIX_SCREENSHOT_FILE);
        std::fflush(stdout);

        // No: the program ends without saving.
        closeAnswer = QMessageBox::No;
        window.close();
        EXPECT_TRUE(test::processEventsUntil([&] { return !window.isVisible(); }, std::chrono::seconds(30)));
        EXPECT_EQ(boxes.texts().size(), 2u);
    }));
}

// The maintenance group dialog runs on the window's thread while the button's
// operation waits on the worker; a number out of range is refused in a box
// over the dialog, a good one is stored and the list searched again.
TEST_F(MainWindowOnBed, ANewMaintenanceGroupIsTakenFromItsDialogAndTheListSearchedAgain) {
    EXPECT_TRUE(bed_->runOnPc([] {
        QTemporaryDir startDirectory;
        ASSERT_TRUE(enterEmptyDirectory(startDirectory));
        test::QtApplication application;
        CToolBoxApp toolBox(parseCommandLine(std::vector<std::string>{"-e"}));
        const test::MessageBoxWatcher boxes([](QMessageBox&) { return nullptr; });
        ASSERT_TRUE(toolBox.initInstance());
        MainWindow& window = toolBox.window();
        auto* groupButton = window.findChild<QPushButton*>(QStringLiteral("maintenanceGroup"));
        ASSERT_NE(groupButton, nullptr);

        // Types each number into the dialog when it is the active window and presses OK.
        std::vector<QString> numbers = {QStringLiteral("65536"), QStringLiteral("7")};
        std::vector<std::string> shownGroups;
        QTimer dialogDriver;
        QObject::connect(&dialogDriver, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<T7000ipKeyDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || numbers.empty())
                return;
            shownGroups.push_back(dialog->groupField());
            dialog->findChild<QLineEdit*>(QStringLiteral("groupField"))->setText(numbers.front());
            numbers.erase(numbers.begin());
            dialog->findChild<QPushButton*>(QStringLiteral("ok"))->click();
        });
        dialogDriver.start(20);

        groupButton->click();
        EXPECT_TRUE(toolBox.operationRunning());
        EXPECT_TRUE(
            test::processEventsUntil([&] { return !toolBox.operationRunning(); }, std::chrono::minutes(4)));
        EXPECT_TRUE(numbers.empty());
        EXPECT_EQ(shownGroups, (std::vector<std::string>{"0", "65536"})); // the refused number stays
        ASSERT_EQ(boxes.texts().size(), 1u);
        EXPECT_EQ(boxes.texts().front(), toolBox.dialog().language().GetText(15));
        EXPECT_EQ(toolBox.dialog().engine().getT7000ipMaintGroup(), 7);
        EXPECT_EQ(window.terminalList().rowModel().rows().size(), 4u);
        EXPECT_TRUE(groupButton->isEnabled());
    }));
}

} // namespace
} // namespace kestrix
