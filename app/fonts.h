// The two Chinese faces the windows are designed in, with stand-ins for
// machines that lack them, and fonts fitted to controls of a fixed size.
#pragma once

#include <QFont>
#include <QStringList>

class QLabel;
class QPushButton;

namespace app {

enum class Face { Song, Li };  // 宋体, 隶书

// The face's name followed by the faces that stand in for it (Song/Ming faces
// for 宋体, Li/Kai faces for 隶书), in order of preference.
const QStringList &faceFamilies(Face face);

// The first of faceFamilies(face) that the font database has, or an empty
// string when it has none. Looked up once, at the first call, which must come
// after the application object exists.
const QString &installedFamily(Face face);

// A font of the face. It names installedFamily(face) alone, so that Qt loads
// that face directly instead of first asking fontconfig for fallbacks of a
// name no font carries, and asks for fallbacks only for a character the face
// lacks. Without an installed stand-in it names the whole of
// faceFamilies(face) and leaves the choice to Qt.
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
