#include "app/text.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

namespace app {

QString trimSpaces(const QString &text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ') {
        ++first;
    }
    while (last > first && text.at(last - 1) == u' ') {
        --last;
    }
    return text.mid(first, last - first);
}

void focusAndSelectAll(QLineEdit *field) {
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

void focusAndSelect(QLineEdit *field, int start, int length) {
    field->setFocus(Qt::OtherFocusReason);
    field->setSelection(start, length);
}

void sendTab() {
    QWidget *target = QApplication::focusWidget();
    if (!target) {
        return;
    }
    QCoreApplication::postEvent(target,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
    QCoreApplication::postEvent(target,
                                new QKeyEvent(QEvent::KeyRelease, Qt::Key_Tab, Qt::NoModifier));
}

}  // namespace app
