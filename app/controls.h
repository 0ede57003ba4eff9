// Controls made the way the window designs describe them.
#pragma once

#include <QString>

class QLineEdit;
class QPushButton;
class QWidget;

namespace app {

// A one-line text field named objectName, with accessibleName for a screen
// reader, and no length limit: it holds and shows whatever text it is given,
// however long (Qt's fields otherwise cut text at 32,767 characters).
QLineEdit *textField(QWidget *parent, const QString &objectName, const QString &accessibleName);

// Gives button the flat look of the designs: a plain face in the button
// colour inside a one-pixel black frame, no raised edges, pressed or not.
void setFlatLook(QPushButton *button);

}  // namespace app
