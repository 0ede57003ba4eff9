// The event reactions the windows are written against, on top of Qt's
// events. Every reaction runs inside app::guard().
#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "store/number_text.h"

class QKeySequence;
class QLineEdit;
class QPushButton;
class QWidget;

namespace app {

// Character codes a key-press reaction receives.
constexpr int kEnter = store::kEnterCode;
constexpr int kBackspace = store::kBackspaceCode;

// Calls reaction with the character code of every character typed into
// field: 13 for Enter, 8 for Backspace, the character for any key the field
// would enter as text. The reaction may set the code to 0 to keep the
// character out of the field; a key that comes while no reaction may start
// (see guard()) is kept out too. A key pressed with Alt or Meta (Super, the
// Windows key) held is a shortcut on every desktop, never text: it is kept out
// of the field without a reaction, Alt+5 as much as Alt+B (Ctrl+Alt together
// is AltGr on Windows, which types). Keys that type nothing (arrows, Delete,
// shortcuts such as Ctrl+C and Ctrl+V) and pasted or dropped text are not
// seen.
using KeyPressReaction = std::function<void(int &code)>;
void onKeyPress(QLineEdit *field, KeyPressReaction reaction);

// Makes all text pasted into field (Ctrl+V, Shift+Insert, the right-click
// menu, the middle mouse button) or dropped onto it from elsewhere go in as
// clean(text) instead. A cleaned text that is empty leaves the field as it
// was.
using PasteCleaner = std::function<QString(const QString &pasted)>;
void onPaste(QLineEdit *field, PasteCleaner clean);

// Calls reaction after every change of field's text, by typing or by program.
void onChange(QLineEdit *field, std::function<void()> reaction);

// Calls reaction when button is clicked: by the mouse, its access key, Space,
// or Enter while it has the focus. Outside a dialog Qt's buttons ignore
// Enter; this makes a focused button take it. Its access key acts as a click
// does: the button takes the focus, then is pressed (Qt's own access keys
// leave the focus where it was).
void onClick(QPushButton *button, std::function<void()> reaction);

// Calls reaction when widget (a label) is clicked with the left button.
void onLabelClick(QWidget *widget, std::function<void()> reaction);

// Calls reaction when keys are pressed while window is the active window,
// wherever its focus is (a text field's own editing keys come first).
void onShortcut(QWidget *window, const QKeySequence &keys, std::function<void()> reaction);

// Calls reaction whenever the mouse moves over widget itself. With
// backgroundOnly, moves over any of its child controls are left out.
void onMouseMove(QWidget *widget, std::function<void()> reaction, bool backgroundOnly = false);

}  // namespace app
