#include "ui/local_page.h"
#include "ui/main_window.h"
#include "ui/product_icons.h"
#include "ui/qt_environment.h"
#include "ui/qt_message_boxes.h"
#include "ui/terminal_row_delegate.h"
#include "ui/terminal_row_model.h"
#include "ui/terminal_tcl_view.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

// The parts of the main window that can be looked at without a network: the
// entries' size and drawing, the icon set, message boxes asked for from a
// worker thread, the page addresses the logic hands over, and the TCL
// console's output text as the screen shows it.

namespace kestrix {
namespace {

using test::MessageBoxWatcher;
using test::processEventsUntil;

class UiParts : public ::testing::Test {
protected:
    static void SetUpTestSuite() { application_ = new test::QtApplication; }
    static void TearDownTestSuite() {
        delete application_;
        application_ = nullptr;
    }
    void SetUp() override {
        model_.setRows({{5, " TALMO 7450", "ACM 6.12", "SN: 100101", "10.77.0.11", "t450.bed.test"}});
    }

    // The entry drawn 600 pixels wide in the given state.
    QImage paintedEntry(QStyle::State state) const {
        QWidget widget;
        QStyleOptionViewItem option;
        option.initFrom(&widget);
        option.widget = &widget;
        option.state = state;
        option.rect = QRect(0, 0, 600, delegate_.sizeHint(option, model_.index(0)).height());
        QImage image(option.rect.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        delegate_.paint(&painter, option, model_.index(0));
        return image;
    }

    static inline test::QtApplication* application_ = nullptr;
    const ProductIcons icons_;
    TerminalRowDelegate delegate_{icons_, nullptr};
    TerminalRowModel model_;
};

TEST_F(UiParts, AnEntryIsFourLinesOfItsFontHighAndAlwaysHoldsTheIcon) {
    for (int pixels : {4, 9, 12, 20}) {
        QFont font;
        font.setPixelSize(pixels);
        QStyleOptionViewItem option;
        option.font = font;
        option.fontMetrics = QFontMetrics(font);
        const QSize size = delegate_.sizeHint(option, model_.index(0));
        const int lineHeight = option.fontMetrics.height();
        EXPECT_GE(size.height(), ProductIcons::kSize) << pixels << " px";
        if (4 * lineHeight > ProductIcons::kSize + 8) {
            EXPECT_GE(size.height(), 4 * lineHeight) << pixels << " px";
            EXPECT_LT(size.height(), 5 * lineHeight) << pixels << " px";
        }
        EXPECT_GE(size.width(), ProductIcons::kSize + TerminalRowDelegate::kProductWidth +
                                    TerminalRowDelegate::kVersionWidth + TerminalRowDelegate::kSerialWidth);
    }
}

TEST_F(UiParts, ASelectedEntryIsDrawnInverted) {
    const QImage normal = paintedEntry(QStyle::State_Enabled);
    const QImage selected = paintedEntry(QStyle::State_Enabled | QStyle::State_Selected);
    ASSERT_EQ(normal.size(), selected.size());
    int differentPixels = 0;
    for (int y = 0; y < normal.height(); ++y)
        for (int x = 0; x < normal.width(); ++x)
            if ((normal.pixel(x, y) & 0xFFFFFF) != (~selected.pixel(x, y) & 0xFFFFFF))
                ++differentPixels;
    EXPECT_EQ(differentPixels, 0);
    // Something was drawn: the entry is not one plain colour.
    EXPECT_NE(normal.pixel(0, 0), normal.pixel(ProductIcons::kSize / 2, normal.height() / 2));
}

TEST_F(UiParts, EveryProductFamilyHasAnIconOfItsOwn) {
    std::vector<QImage> images;
    for (int index = 0; index < ProductIcons::kCount; ++index) {
        const QPixmap& icon = icons_.icon(index);
        EXPECT_EQ(icon.size(), QSize(ProductIcons::kSize, ProductIcons::kSize)) << index;
        images.push_back(icon.toImage());
    }
    for (std::size_t first = 0; first < images.size(); ++first)
        for (std::size_t second = first + 1; second < images.size(); ++second)
            EXPECT_NE(images[first], images[second]) << "icons " << first << " and " << second;
    // An index the table does not have shows the unknown product.
    EXPECT_EQ(icons_.icon(-1).toImage(), images[0]);
    EXPECT_EQ(icons_.icon(ProductIcons::kCount).toImage(), images[0]);
}

// A box asked for on a worker thread is shown on the window's thread with
// its default button, and the answer goes back; one closed without a button
// answers its escape button; only a box asked to stay on top does so.
TEST_F(UiParts, MessageBoxes) {
    QWidget window;
    QtMessageBoxes boxes(window);
    std::vector<std::string> seen;
    std::vector<bool> onTop;
    QAbstractButton* (*answer)(QMessageBox&) = [](QMessageBox& box) { return box.button(QMessageBox::No); };
    const MessageBoxWatcher watcher([&](QMessageBox& box) {
        seen.push_back(box.windowTitle().toStdString() + "|" + box.text().toStdString() + "|" +
                       std::to_string(box.standardButton(box.defaultButton())) + "|" +
                       std::to_string(box.icon()));
        onTop.push_back(box.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        return answer(box);
    });
    MessageAnswer fromWorker = MessageAnswer::Ok;
    std::atomic<bool> answered = false;
    std::thread worker([&] {
        fromWorker = boxes.show({"Kestrix IPv4+IPv6 endet", "Terminalliste sichern?", MessageIcon::Question,
                                 MessageButtons::YesNoCancel, 1});
        answered = true;
    });
    const bool done = processEventsUntil([&] { return answered.load(); }, std::chrono::seconds(20));
    worker.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(fromWorker, MessageAnswer::No);
    EXPECT_EQ(seen, std::vector<std::string>{"Kestrix IPv4+IPv6 endet|Terminalliste sichern?|" +
                                             std::to_string(QMessageBox::No) + "|" +
                                             std::to_string(QMessageBox::Question)});

    answer = [](QMessageBox&) -> QAbstractButton* { return nullptr; };
    EXPECT_EQ(boxes.show({"c", "t", MessageIcon::Question, MessageButtons::YesNoCancel, 0}),
              MessageAnswer::Cancel);
    EXPECT_EQ(boxes.show({"c", "t", MessageIcon::Question, MessageButtons::YesNo, 0}), MessageAnswer::No);
    EXPECT_EQ(
        boxes.show({"c", "t", MessageIcon::Error, MessageButtons::Ok, 0, MessageStacking::AboveAllWindows}),
        MessageAnswer::Ok);
    EXPECT_EQ(onTop, (std::vector<bool>{false, false, false, true}));
}

TEST_F(UiParts, APageAddressNamesAnExistingLocalFileOrNothing) {
    QTemporaryDir directory(QDir::tempPath() + QStringLiteral("/kestrix page #1 XXXXXX"));
    ASSERT_TRUE(directory.isValid());
    const std::string path = directory.filePath(QStringLiteral("Kestrix_E.htm")).toStdString();
    std::ofstream(path) << "<html></html>";
    const QUrl expected = QUrl::fromLocalFile(QString::fromStdString(path));

    struct Case {
        std::string address;
        std::optional<QUrl> page;
    };
    const std::vector<Case> cases = {
        {"file://" + path, expected}, // as the logic writes it: the plain path, blanks and "#" included
        {expected.toString(QUrl::FullyEncoded).toStdString(), expected},
        {path, expected},
        {"file://" + path + ".missing", std::nullopt},
        {"http://10.77.0.11/", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& entry : cases)
        EXPECT_EQ(existingLocalPage(entry.address), entry.page) << entry.address;
}

TEST_F(UiParts, TheConsolesOutputBreaksLinesAtCarriageReturnLineFeedOnly) {
    const struct {
        std::string text;
        QString shown;
    } cases[] = {
        {"", ""},
        {"\r\nConnection OK\r\n", "\nConnection OK\n"},
        // The line feed a terminal's CR LF leaves at the start of a line shows as nothing.
        {"\r\nA\r\n\nB\r\n\n\r\n", "\nA\nB\n\n"},
        {"\r\n\r\n", "\n\n"},
        {"a\rb\n\rc", "abc"},
        {"\r\n(Output truncated!)\r\nrest", "\n(Output truncated!)\nrest"},
        {"gek\xc3\xbcrzt\r\n", QStringLiteral("gek\u00fcrzt\n")},
        // A line that is no UTF-8 is Latin-1; its neighbours keep their UTF-8.
        {"T\xfcr\r\n\xc3\xa4", QStringLiteral("T\u00fcr\n\u00e4")},
        {"cut \xc3", QStringLiteral("cut \u00c3")},
        {std::string("ESC\x1b", 4), QStringLiteral("ESC\x1b")},
    };
    for (const auto& entry : cases)
        EXPECT_EQ(outputDisplayText(entry.text), entry.shown) << entry.text;
}

TEST_F(UiParts, TheMainWindowHasTheProgramsIcon) {
    const MainWindow window;
    EXPECT_FALSE(window.windowIcon().isNull());
}

} // namespace
} // namespace kestrix
