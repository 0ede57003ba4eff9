// Typing and pasting into a widget the way a user does, for window tests.
#pragma once

#include <QString>

class QLineEdit;
class QWidget;

namespace testing_support {

// Types text into widget one key press and release per character.
// QTest::keyClicks knows only Latin-1; other characters arrive as key events
// carrying their text, the way a keyboard layout sends them.
void typeText(QWidget *widget, const QString &text);

// The ways text gets into a field without being typed.
enum class PasteRoute {
    CtrlV,        // the clipboard, by Ctrl+V
    ShiftInsert,  // the clipboard, by Shift+Insert
    ContextMenu,  // the clipboard, by the right-click menu's paste entry
    Drop,         // dragged in from elsewhere and dropped on the field
};
const char *routeName(PasteRoute route);
inline constexpr PasteRoute kPasteRoutes[] = {PasteRoute::CtrlV, PasteRoute::ShiftInsert,
                                              PasteRoute::ContextMenu, PasteRoute::Drop};

// Puts text into field by route, at the cursor (dropped text: at the field's
// start). Returns false when the route could not be taken (no paste entry in
// the menu).
bool pasteText(QLineEdit *field, const QString &text, PasteRoute route);

}  // namespace testing_support
