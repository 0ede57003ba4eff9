// The two Chinese faces the windows are designed in, with stand-ins for
// machines that lack them.
#pragma once

#include <QFont>
#include <QStringList>

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

}  // namespace app
