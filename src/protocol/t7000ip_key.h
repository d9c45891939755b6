#pragma once

#include "platform/message_box.h"

#include <optional>
#include <string>
#include <string_view>

namespace kestrix {

class CToolBoxLang;
class T7000ip;

// What the maintenance group dialog shows; the Qt dialog implements it.
class T7000ipKeyView {
public:
    virtual ~T7000ipKeyView() = default;
    virtual void setCaption(const std::string& caption) = 0;
    virtual void setLabels(const std::string& groupLabel, const std::string& searchAgainLabel) = 0;
    // The edit field: its text and the most characters it takes.
    virtual void setGroupField(const std::string& text, int maximumLength) = 0;
    virtual std::string groupField() const = 0;
    // Ends the dialog; accepted is true for OK.
    virtual void close(bool accepted) = 0;
};

// The logic of the dialog `CT7000ipKey`: shows the maintenance group number
// kept by the engine and stores a new one. After OK the main window clears its
// terminal list and searches again (that is the main window's business).
class CT7000ipKey {
public:
    static constexpr int kFieldLength = 5;

    CT7000ipKey(T7000ip& engine, const CToolBoxLang& language, T7000ipKeyView& view, MessageBoxes& messageBoxes);

    // Fills the dialog: caption, the two texts and the current group number.
    void initDialog();
    // OK: a decimal number 0..65535 is stored and the dialog closes;
    // anything else shows the range message and keeps the dialog open.
    void onOK();
    void onCancel();

    // The group number a field text stands for: decimal digits only, at most
    // five of them, 0 to 65535.
    static std::optional<unsigned> parseGroup(std::string_view text);

private:
    T7000ip& engine_;
    const CToolBoxLang& language_;
    T7000ipKeyView& view_;
    MessageBoxes& messageBoxes_;
};

} // namespace kestrix
