// Typing into a widget the way a keyboard does, for window tests.
#pragma once

#include <QString>

class QWidget;

namespace testing_support {

// Types text into widget one key press and release per character.
// QTest::keyClicks knows only Latin-1; other characters arrive as key events
// carrying their text, the way a keyboard layout sends them.
void typeText(QWidget *widget, const QString &text);

}  // namespace testing_support
