#include "tests/support/keys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

namespace testing_support {

void typeText(QWidget *widget, const QString &text) {
    for (const char32_t c : text.toUcs4()) {
        if (c < 0x80) {
            QTest::keyClick(widget, static_cast<char>(c));
            continue;
        }
        const QString one = QString::fromUcs4(&c, 1);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, one);
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, one);
        QApplication::sendEvent(widget, &release);
    }
}

}  // namespace testing_support
