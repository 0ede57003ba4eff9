#include "app/colours.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace app {

namespace {

// The system colour indexes of the old Windows palette that the designs use.
QColor systemColour(int index) {
    const QPalette palette = QApplication::palette();
    switch (index) {
        case 5:  // window background
            return palette.color(QPalette::Base);
        case 8:  // window text
            return palette.color(QPalette::WindowText);
        case 9:  // title-bar text
            return Qt::white;
        case 12:  // application workspace
            return palette.color(QPalette::Dark);
        case 14:  // highlighted text
            return palette.color(QPalette::HighlightedText);
        case 15:  // button face
            return palette.color(QPalette::Button);
        case 18:  // button text
            return palette.color(QPalette::ButtonText);
        default:
            return palette.color(QPalette::WindowText);
    }
}

}  // namespace

QColor vbColour(quint32 value) {
    if (value & 0x80000000u) {
        return systemColour(static_cast<int>(value & 0xFFu));
    }
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
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
