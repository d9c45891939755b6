#pragma once

#include <string>

namespace kestrix {

// The icon of a message box.
enum class MessageIcon { Information, Exclamation, Error, Question };

// The buttons of a message box.
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };

// Whether a box stays above the windows of other programs too.
enum class MessageStacking { AboveOwner, AboveAllWindows };

// The button the user pressed.
enum class MessageAnswer { Ok, Cancel, Yes, No };

// One message box as a dialog asks for it.
struct MessageBoxRequest {
    std::string caption; // "Kestrix IPv4+IPv6" for every box but a few that add a word
    std::string text;
    MessageIcon icon = MessageIcon::Information;
    MessageButtons buttons = MessageButtons::Ok;
    int defaultButton = 0; // 0 first button, 1 second, ...
    MessageStacking stacking = MessageStacking::AboveOwner;
};

// The seam through which dialog logic shows message boxes: the Qt binding
// shows real ones, tests record them and answer as scripted. It shows boxes
// and answers; it does not choose texts.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MessageAnswer show(const MessageBoxRequest& request) = 0;
};

} // namespace kestrix
