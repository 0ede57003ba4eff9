// Colours written the way the window designs give them.
#pragma once

#include <QColor>
#include <QtGlobal>

class QWidget;

namespace app {

// &H00BBGGRR& (blue, green, red bytes) as a colour; &H800000nn& as system
// colour nn, taken from the application palette.
QColor vbColour(quint32 value);

// Sets the background a widget fills itself with (and turns that filling on).
void setBackColour(QWidget *widget, const QColor &colour);

// Sets the colour a widget draws its text in.
void setForeColour(QWidget *widget, const QColor &colour);

// For line edits: the colour of the text field itself.
void setFieldColours(QWidget *field, const QColor &back, const QColor &fore);

}  // namespace app
