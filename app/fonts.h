// The two Chinese faces the windows are designed in, with stand-ins for
// machines that lack them.
#pragma once

#include <QFont>

namespace app {

// Registers substitutes for 宋体 (Song/Ming faces) and 隶书 (Li/Kai faces) so
// that asking for them by name never falls back to a Latin face. Call once
// after the application object exists.
void registerFontSubstitutes();

QFont songFont(qreal pointSize, bool bold = false);  // 宋体
QFont liFont(qreal pointSize);                       // 隶书

}  // namespace app
