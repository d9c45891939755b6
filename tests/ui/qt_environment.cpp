#include "ui/qt_environment.h"

#include "ui/toolbox_app.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <thread>

namespace kestrix::test {

QtApplication::QtApplication() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    application_ = std::make_unique<QApplication>(argc_, argv_);
}

QtApplication::~QtApplication() = default;

bool saveScreenshot(QWidget& widget, const char* name) {
    QCoreApplication::processEvents();
    const QString file = QStringLiteral(KESTRIX_ARTIFACTS_DIRECTORY "/") + QString::fromLatin1(name);
    if (!QDir().mkpath(QFileInfo(file).path()) || !widget.grab().save(file))
        return false;
    std::printf("screenshot: %s\n", file.toLocal8Bit().constData());
    return true;
}

bool processEventsUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

struct MessageBoxWatcher::Timer {
    QTimer timer;
};

MessageBoxWatcher::MessageBoxWatcher(Answer answer) : timer_(std::make_unique<Timer>()) {
    QObject::connect(&timer_->timer, &QTimer::timeout, [this, answer = std::move(answer)] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible())
            return;
        texts_.push_back(box->text().toStdString());
        if (QAbstractButton* button = answer(*box))
            button->click();
        else
            box->close();
    });
    timer_->timer.start(20);
}

MessageBoxWatcher::~MessageBoxWatcher() = default;

bool waitForWindowOperation(const CToolBoxApp& toolBox) {
    return processEventsUntil([&] { return !toolBox.operationRunning(); }, std::chrono::minutes(4));
}

} // namespace kestrix::test
