#pragma once

#include "mainwindow/main_view.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace kestrix {

class ProductIcons;

// The detail pane for the one selected terminal (`CShowTerminal`): its
// product icon, the headline (serial number and product), then the IPv4 text
// and the IPv6 text as the logic wrote them (tabs align the names). The texts
// can be selected and copied; nothing can be changed.
class CShowTerminal : public QWidget {
    Q_OBJECT
public:
    CShowTerminal(const ProductIcons& icons, QWidget* parent);

    void showTerminal(const ShowTerminalText& text);

private:
    const ProductIcons& icons_;
    QLabel* icon_;
    QLabel* headline_;
    QPlainTextEdit* addresses_;
};

} // namespace kestrix
