// Window designs are measured in twips: 1440 to the inch, 15 to a pixel at
// 96 dpi. Qt's device-independent pixels are 96-dpi pixels, so high-DPI
// screens scale these on their own.
#pragma once

#include <QRect>

namespace app {

constexpr int kTwipsPerPixel = 15;

constexpr int twips(int t) {
    return (t + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

// A rectangle given as left, top, width and height in twips.
inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

}  // namespace app
