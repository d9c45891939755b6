#pragma once

#include "mainwindow/main_view.h"

#include <QDialog>

namespace kestrix {

// The start-up warning dialog (`CToolBoxWarn`): "ATTENTION!", what changed
// setup parameters may do, "on your own risk", and an OK button. Modal; its
// result means nothing.
class CToolBoxWarn : public QDialog {
    Q_OBJECT
public:
    CToolBoxWarn(const StartWarningTexts& texts, QWidget* parent);
};

} // namespace kestrix
