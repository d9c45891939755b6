#include "ui/setup_controls.h"

#include "messages/toolbox_lang.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace kestrix {

QString setupText(const CToolBoxLang& language, int id) {
    return QString::fromStdString(language.GetText(id));
}

QSpinBox* setupSpinBox(SpinRange range, const char* name, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(range.minimum, range.maximum);
    spin->setSingleStep(range.step);
    return spin;
}

QLineEdit* setupLineEdit(int maximumLength, const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(maximumLength);
    return edit;
}

QCheckBox* setupCheckBox(const QString& text, const char* name, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

void addSetupRow(QGridLayout& grid, const QString& label, QWidget* control) {
    // An empty grid counts one row already.
    const int row = grid.count() == 0 ? 0 : grid.rowCount();
    auto* text = new QLabel(label, control->parentWidget());
    text->setTextFormat(Qt::PlainText);
    text->setBuddy(control);
    grid.addWidget(text, row, 0);
    grid.addWidget(control, row, 1);
}

} // namespace kestrix
