#pragma once

#include "config/setup_spin_range.h"

#include <QString>

#include <string>

class QCheckBox;
class QGridLayout;
class QLineEdit;
class QSpinBox;
class QWidget;

namespace kestrix {

class CToolBoxLang;

// The controls the setup pages share: a text of the message table, a spin
// box on a page's range, a line edit with a length limit, and a labelled row
// of a grid. They carry the object names the tests find them by.
QString setupText(const CToolBoxLang& language, int id);
QSpinBox* setupSpinBox(SpinRange range, const char* name, QWidget* parent);
QLineEdit* setupLineEdit(int maximumLength, const char* name, QWidget* parent);
QCheckBox* setupCheckBox(const QString& text, const char* name, QWidget* parent);
// Adds the label text and the control as the next row of the grid.
void addSetupRow(QGridLayout& grid, const QString& label, QWidget* control);

// std::string and QString both ways.
inline QString qtText(const std::string& text) { return QString::fromStdString(text); }
inline std::string plainText(const QString& text) { return text.toStdString(); }

} // namespace kestrix
