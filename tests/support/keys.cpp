#include "tests/support/keys.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
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

const char *routeName(PasteRoute route) {
    switch (route) {
        case PasteRoute::CtrlV:
            return "Ctrl+V";
        case PasteRoute::ShiftInsert:
            return "Shift+Insert";
        case PasteRoute::ContextMenu:
            return "context menu";
        case PasteRoute::Drop:
            return "drop";
    }
    return "?";
}

namespace {

// The menu entry that pastes: Qt writes its shortcut after a tab.
QAction *pasteAction(QMenu *menu) {
    const QString shortcut =
        u'\t' + QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
    for (QAction *action : menu->actions()) {
        if (action->text().endsWith(shortcut)) {
            return action;
        }
    }
    return nullptr;
}

}  // namespace

bool pasteText(QLineEdit *field, const QString &text, PasteRoute route) {
    switch (route) {
        case PasteRoute::CtrlV:
            QGuiApplication::clipboard()->setText(text);
            QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
            return true;
        case PasteRoute::ShiftInsert:
            QGuiApplication::clipboard()->setText(text);
            QTest::keyClick(field, Qt::Key_Insert, Qt::ShiftModifier);
            return true;
        case PasteRoute::ContextMenu: {
            QGuiApplication::clipboard()->setText(text);
            const QPoint at = field->rect().center();
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, field->mapToGlobal(at));
            QApplication::sendEvent(field, &event);
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu) {
                return false;
            }
            QAction *paste = pasteAction(menu);
            if (paste) {
                paste->trigger();
            }
            menu->close();
            return paste != nullptr;
        }
        case PasteRoute::Drop: {
            // Qt hands a drop only to the widget that accepted the drag's entry.
            QMimeData data;
            data.setText(text);
            const QPoint at(1, field->height() / 2);
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(field, &enter);
            if (!enter.isAccepted()) {
                return false;
            }
            QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(field, &drop);
            return true;
        }
    }
    return false;
}

}  // namespace testing_support
