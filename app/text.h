// Small operations on texts and text fields the windows share.
#pragma once

#include <QString>

class QLineEdit;

namespace app {

// text without the spaces at both ends (only U+0020; tabs and other blanks stay).
QString trimSpaces(const QString &text);

// Gives field the keyboard focus and selects its whole text.
void focusAndSelectAll(QLineEdit *field);

// Gives field the keyboard focus and selects length characters from start.
void focusAndSelect(QLineEdit *field, int start, int length);

// Queues one Tab key press to the control that has the focus, without waiting
// for it to be handled.
void sendTab();

}  // namespace app
