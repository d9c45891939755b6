#pragma once

#include <QApplication>
#include <QString>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class QAbstractButton;
class QMessageBox;

namespace kestrix {
class CToolBoxApp;
}

namespace kestrix::test {

// The QApplication of a test executable on the offscreen platform (unless
// QT_QPA_PLATFORM says otherwise); made on first use, ended by ~QtApplication.
class QtApplication {
public:
    QtApplication();
    ~QtApplication();
    QtApplication(const QtApplication&) = delete;
    QtApplication& operator=(const QtApplication&) = delete;

private:
    int argc_ = 1;
    char name_[16] = "kestrix-test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

// Saves a picture of the widget as it is painted now as NAME under the test
// artifacts directory; false when that fails.
bool saveScreenshot(QWidget& widget, const char* name);

// The child control of that object name; throws std::runtime_error when there is none.
template <typename Widget> Widget& child(QWidget& parent, const QString& name) {
    auto* widget = parent.findChild<Widget*>(name);
    if (widget == nullptr)
        throw std::runtime_error("no control " + name.toStdString());
    return *widget;
}

// Processes events until condition holds or the time is up; false then.
bool processEventsUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit);
// Processes events until the window's operation (a search, an action's
// button or OK) has ended; false when it still runs after four minutes.
bool waitForWindowOperation(const CToolBoxApp& toolBox);

// Watches for message boxes while it lives: each box that becomes the active
// modal window is recorded and answered by answer (a button of the box, or
// nullptr to close it as with Escape).
class MessageBoxWatcher {
public:
    using Answer = std::function<QAbstractButton*(QMessageBox& box)>;
    explicit MessageBoxWatcher(Answer answer);
    ~MessageBoxWatcher();

    // The texts of the boxes seen so far.
    const std::vector<std::string>& texts() const { return texts_; }

private:
    struct Timer;
    std::unique_ptr<Timer> timer_;
    std::vector<std::string> texts_;
};

} // namespace kestrix::test
