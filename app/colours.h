// Colours written the way the window designs give them.
#pragma once

#include <QColor>
#include <QPalette>
#include <QtGlobal>

class QWidget;

namespace app {

// &H00BBGGRR& (blue, green, red bytes) as a colour; &H800000nn& as system
// colour nn of the classic light Windows scheme (window white, window text
// black, button face light grey, ...), the same under every desktop theme.
QColor vbColour(quint32 value);

// A palette of the classic light scheme's colours, for everything the
// designs leave to the system.
QPalette classicPalette();

// Gives window classicPalette(), which its controls inherit, so that it reads
// the same under a dark desktop theme as under a light one.
void useClassicColours(QWidget *window);

// Sets the background a widget fills itself with (and turns that filling on).
void setBackColour(QWidget *widget, const QColor &colour);

// Sets the colour a widget draws its text in.
void setForeColour(QWidget *widget, const QColor &colour);

// For line edits: the colour of the text field itself.
void setFieldColours(QWidget *field, const QColor &back, const QColor &fore);

}  // namespace app
