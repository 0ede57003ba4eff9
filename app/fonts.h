// The two Chinese faces the windows are designed in, with stand-ins for
// machines that lack them, and fonts fitted to controls of a fixed size.
#pragma once

#include <QFont>

class QLabel;
class QPushButton;

namespace app {

// Registers substitutes for 宋体 (Song/Ming faces) and 隶书 (Li/Kai faces) so
// that asking for them by name never falls back to a Latin face. Call once
// after the application object exists.
void registerFontSubstitutes();

QFont songFont(qreal pointSize, bool bold = false);  // 宋体
QFont liFont(qreal pointSize);                       // 隶书

// Keeps label's text inside the label's fixed size, whatever text it is given
// and whatever the desktop's font: whenever the label is shown or painted
// with a text, size or inherited font it was not fitted to, gives it the
// largest font, no larger than the one it inherits, in which its text, laid
// out with its alignment and word wrap, fits its contents (measured with the
// label's own font metrics). The font shrinks in half points down to 6
// points; a text that does not fit even then shows in 6 points, cut. The
// label's position and size are left alone.
void keepTextFitted(QLabel *label);

// The same for a push button's caption, which fits when it stands, a space
// clear on either side, inside the button's bevel.
void keepTextFitted(QPushButton *button);

}  // namespace app
