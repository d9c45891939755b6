#include "ui/qt_message_boxes.h"

#include "ui/ui_thread.h"

#include <QMessageBox>
#include <QPushButton>

#include <vector>

namespace kestrix {
namespace {

QMessageBox::Icon boxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// The buttons in the order the request counts them for its default button.
std::vector<QMessageBox::StandardButton> boxButtons(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return {QMessageBox::Ok};
    case MessageButtons::OkCancel:
        return {QMessageBox::Ok, QMessageBox::Cancel};
    case MessageButtons::YesNo:
        return {QMessageBox::Yes, QMessageBox::No};
    case MessageButtons::YesNoCancel:
        return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    }
    return {QMessageBox::Ok};
}

// A box closed without a button answers what its escape button stands for:
// Cancel where there is one, else No, else OK.
MessageAnswer closedAnswer(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return MessageAnswer::Ok;
    case MessageButtons::YesNo:
        return MessageAnswer::No;
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel:
        return MessageAnswer::Cancel;
    }
    return MessageAnswer::Cancel;
}

} // namespace

MessageAnswer QtMessageBoxes::show(const MessageBoxRequest& request) {
    return onThreadOf(parent_, [this, &request] { return showHere(request); });
}

MessageAnswer QtMessageBoxes::showHere(const MessageBoxRequest& request) {
    QMessageBox box(boxIcon(request.icon), QString::fromStdString(request.caption),
                    QString::fromStdString(request.text), QMessageBox::NoButton, &parent_);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    if (request.stacking == MessageStacking::AboveAllWindows)
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    const std::vector<QMessageBox::StandardButton> buttons = boxButtons(request.buttons);
    for (QMessageBox::StandardButton button : buttons)
        box.addButton(button);
    if (request.defaultButton >= 0 && static_cast<std::size_t>(request.defaultButton) < buttons.size())
        box.setDefaultButton(buttons[static_cast<std::size_t>(request.defaultButton)]);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok:
        return MessageAnswer::Ok;
    case QMessageBox::Cancel:
        return MessageAnswer::Cancel;
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    default:
        return closedAnswer(request.buttons);
    }
}

} // namespace kestrix
