#include "app/colours.h"

#include <QPalette>
#include <QWidget>
#include <iterator>

namespace app {

namespace {

// The system colours of the classic Windows scheme, as 0xRRGGBB, by index.
constexpr quint32 kClassicColours[] = {
    0xD4D0C8,  //  0 scroll bar
    0x3A6EA5,  //  1 desktop
    0x0A246A,  //  2 active title bar
    0x808080,  //  3 inactive title bar
    0xD4D0C8,  //  4 menu
    0xFFFFFF,  //  5 window background
    0x000000,  //  6 window frame
    0x000000,  //  7 menu text
    0x000000,  //  8 window text
    0xFFFFFF,  //  9 title-bar text
    0xD4D0C8,  // 10 active border
    0xD4D0C8,  // 11 inactive border
    0x808080,  // 12 application workspace
    0x0A246A,  // 13 highlight
    0xFFFFFF,  // 14 highlighted text
    0xD4D0C8,  // 15 button face
    0x808080,  // 16 button shadow
    0x808080,  // 17 grey text
    0x000000,  // 18 button text
    0xD4D0C8,  // 19 inactive title-bar text
    0xFFFFFF,  // 20 button highlight
    0x404040,  // 21 3-D dark shadow
    0xD4D0C8,  // 22 3-D light
    0x000000,  // 23 tooltip text
    0xFFFFE1,  // 24 tooltip background
};

enum SystemColour {
    kWindow = 5,
    kWindowText = 8,
    kHighlight = 13,
    kHighlightText = 14,
    kButtonFace = 15,
    kButtonShadow = 16,
    kGreyText = 17,
    kButtonText = 18,
    kButtonHighlight = 20,
    kDarkShadow = 21,
    kLight = 22,
    kTooltipText = 23,
    kTooltipBack = 24,
};

QColor systemColour(quint32 index) {
    if (index >= std::size(kClassicColours)) {
        return QColor(Qt::black);
    }
    return QColor::fromRgb(kClassicColours[index]);
}

}  // namespace

QColor vbColour(quint32 value) {
    if (value & 0x80000000u) {
        return systemColour(value & 0xFFu);
    }
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

QPalette classicPalette() {
    QPalette palette(
        systemColour(kButtonText), systemColour(kButtonFace), systemColour(kButtonHighlight),
        systemColour(kButtonShadow), systemColour(kButtonShadow), systemColour(kWindowText),
        systemColour(kButtonHighlight), systemColour(kWindow), systemColour(kButtonFace));
    palette.setColor(QPalette::Midlight, systemColour(kLight));
    palette.setColor(QPalette::Shadow, systemColour(kDarkShadow));
    palette.setColor(QPalette::Highlight, systemColour(kHighlight));
    palette.setColor(QPalette::HighlightedText, systemColour(kHighlightText));
    palette.setColor(QPalette::ToolTipBase, systemColour(kTooltipBack));
    palette.setColor(QPalette::ToolTipText, systemColour(kTooltipText));
    palette.setColor(QPalette::PlaceholderText, systemColour(kGreyText));
    palette.setColor(QPalette::AlternateBase, systemColour(kButtonFace));
    palette.setColor(QPalette::Link, QColor(0, 0, 255));
    palette.setColor(QPalette::LinkVisited, QColor(128, 0, 128));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, systemColour(kGreyText));
    }
    return palette;
}

void useClassicColours(QWidget *window) {
    window->setPalette(classicPalette());
}

void setBackColour(QWidget *widget, const QColor &colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void setForeColour(QWidget *widget, const QColor &colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

void setFieldColours(QWidget *field, const QColor &back, const QColor &fore) {
    QPalette palette = field->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, back);
        palette.setColor(group, QPalette::Text, fore);
    }
    field->setPalette(palette);
}

}  // namespace app
