#include "app/controls.h"

#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOption>
#include <limits>

namespace app {

namespace {

// Draws a flat button's bevel as a face and a frame; everything else, the
// label and the focus rectangle included, is the application style's.
class FlatButtonStyle : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override {
        if (element != CE_PushButtonBevel) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        const QRect frame = option->rect.adjusted(0, 0, -1, -1);
        painter->save();
        painter->fillRect(option->rect, option->palette.color(QPalette::Button));
        painter->setPen(QColor(Qt::black));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(frame);
        painter->restore();
    }
};

}  // namespace

QLineEdit *textField(QWidget *parent, const QString &objectName, const QString &accessibleName) {
    auto *field = new QLineEdit(parent);
    field->setObjectName(objectName);
    field->setAccessibleName(accessibleName);
    field->setMaxLength(std::numeric_limits<int>::max());
    return field;
}

void setFlatLook(QPushButton *button) {
    button->setFlat(true);
    auto *style = new FlatButtonStyle;
    // A widget does not own its style; the button does here.
    style->setParent(button);
    button->setStyle(style);
}

}  // namespace app
