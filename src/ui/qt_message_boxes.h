#pragma once

#include "platform/message_box.h"

class QWidget;

namespace kestrix {

// The message boxes of the dialog logic as QMessageBox: caption, text (plain),
// icon, buttons and default button of the request, application-modal over the
// parent window (and above all windows when the request asks for it). A request from another thread is shown on the parent's
// (user-interface) thread while the caller waits for the answer.
//
// It does not choose or translate texts; the logic does.
class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget& parent) : parent_(parent) {}

    MessageAnswer show(const MessageBoxRequest& request) override;

private:
    MessageAnswer showHere(const MessageBoxRequest& request);

    QWidget& parent_;
};

} // namespace kestrix
