// The event reactions the windows are written against, on top of Qt's
// events. Every reaction runs inside app::guard().
#pragma once

#include <QObject>
#include <functional>

#include "store/number_text.h"

class QLineEdit;
class QPushButton;
class QWidget;

namespace app {

// Character codes a key-press reaction receives.
constexpr int kEnter = store::kEnterCode;
constexpr int kBackspace = store::kBackspaceCode;

// Calls reaction with the character code of every key typed into field:
// 13 for Enter, 8 for Backspace, the character for a printable key. The
// reaction may set the code to 0 to keep the character out of the field.
// Keys that type nothing (arrows, Delete, shortcuts such as Ctrl+C and
// Ctrl+V) and pasted text are not seen.
using KeyPressReaction = std::function<void(int &code)>;
void onKeyPress(QLineEdit *field, KeyPressReaction reaction);

// Calls reaction after every change of field's text, by typing or by program.
void onChange(QLineEdit *field, std::function<void()> reaction);

// Calls reaction when button is clicked: by the mouse, its access key, Space,
// or Enter while it has the focus. Outside a dialog Qt's buttons ignore
// Enter; this makes a focused button take it.
void onClick(QPushButton *button, std::function<void()> reaction);

// Calls reaction when widget (a label) is clicked with the left button.
void onLabelClick(QWidget *widget, std::function<void()> reaction);

// Calls reaction whenever the mouse moves over widget itself. With
// backgroundOnly, moves over any of its child controls are left out.
void onMouseMove(QWidget *widget, std::function<void()> reaction, bool backgroundOnly = false);

}  // namespace app
