#pragma once

#include "protocol/t7000ip_key.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrix {

class CToolBoxLang;
class T7000ip;

// The maintenance group dialog: the window of CT7000ipKey (the label, the
// group number field, the search-again line, OK and Cancel). OK and Cancel go
// to the logic, which checks the number and ends the dialog through close().
// The range message is a message box over this dialog.
class T7000ipKeyDialog : public QDialog, public T7000ipKeyView {
    Q_OBJECT
public:
    explicit T7000ipKeyDialog(QWidget* parent);

    // Runs the dialog modally for the engine's group number; true when it
    // ended with OK (a new number is stored).
    static bool run(QWidget* parent, T7000ip& engine, const CToolBoxLang& language);

    // T7000ipKeyView
    void setCaption(const std::string& caption) override;
    void setLabels(const std::string& groupLabel, const std::string& searchAgainLabel) override;
    void setGroupField(const std::string& text, int maximumLength) override;
    std::string groupField() const override;
    void close(bool accepted) override;
    using QDialog::close;

protected:
    // Escape and the window's close button are Cancel.
    void reject() override;

private:
    void setLogic(CT7000ipKey& logic, const CToolBoxLang& language);

    CT7000ipKey* logic_ = nullptr;
    QLabel* groupLabel_;
    QLineEdit* groupField_;
    QLabel* searchAgainLabel_;
    QPushButton* ok_;
    QPushButton* cancel_;
    bool closing_ = false;
};

} // namespace kestrix
