#pragma once

#include "mainwindow/main_view.h"

#include <QDialog>

namespace kestrix {

// The about box (`CAboutDlg`): the caption, the product and version line, the
// maker's notice and the licence page (a file in the start directory) in a
// text browser, closed with OK. Links of the page open in the desktop's
// browser. A licence page that does not exist leaves the browser empty.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    CAboutDlg(const AboutTexts& texts, QWidget* parent);
};

} // namespace kestrix
