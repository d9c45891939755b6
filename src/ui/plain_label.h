#pragma once

// A label for program texts: shown as plain text (never as rich text, so a
// text from a terminal or the message table cannot format itself) and wrapped.
#include <QLabel>

#include <string>

namespace kestrix {

inline QLabel* plainLabel(const std::string& text, QWidget* parent) {
    auto* label = new QLabel(QString::fromStdString(text), parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

} // namespace kestrix
