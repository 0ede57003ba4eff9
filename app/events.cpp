#include "app/events.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QWidget>

#include "app/reaction.h"

namespace app {

namespace {

class KeyPressFilter : public QObject {
public:
    KeyPressFilter(QLineEdit *field, KeyPressReaction reaction)
        : QObject(field), m_reaction(std::move(reaction)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        auto *key = static_cast<QKeyEvent *>(event);
        int code = typedCode(key);
        if (code < 0) {
            return false;
        }
        if (code != kEnter && code != kBackspace && isShortcutChord(key->modifiers())) {
            // The line edit would enter it; nothing else will take it here, since
            // the window's shortcuts have had their turn before the field.
            return true;
        }
        auto *field = static_cast<QWidget *>(watched);
        if (!guard([&] { m_reaction(code); }, field->window())) {
            code = 0;
        }
        // The reaction may have closed the window; Qt then still delivers the
        // event to the field, which is harmless since it is only deleted later.
        return code == 0;
    }

private:
    // Alt and Meta (Super, the Windows key) make a key a shortcut on every
    // desktop. Windows reports AltGr as Ctrl+Alt, and AltGr types (@, {, €
    // on many layouts); elsewhere AltGr is a modifier of its own.
    static bool isShortcutChord(Qt::KeyboardModifiers modifiers) {
        if (modifiers & Qt::MetaModifier) {
            return true;
        }
        return (modifiers & Qt::AltModifier) && !(modifiers & Qt::ControlModifier);
    }

    // The code of the character the key would enter, or -1 when it enters
    // none. This is the line edit's own rule for what it takes as text: a
    // printable, formatting or private-use character, whatever modifiers are
    // held, except with Ctrl or Ctrl+Shift alone.
    static int typedCode(const QKeyEvent *key) {
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            return kEnter;
        }
        if (key->key() == Qt::Key_Backspace) {
            return kBackspace;
        }
        const QList<uint> text = key->text().toUcs4();
        if (text.isEmpty()) {
            return -1;
        }
        const auto c = static_cast<char32_t>(text.front());
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Other_Format) {
            return static_cast<int>(c);
        }
        const Qt::KeyboardModifiers modifiers = key->modifiers();
        if (modifiers == Qt::ControlModifier ||
            modifiers == (Qt::ControlModifier | Qt::ShiftModifier)) {
            return -1;
        }
        if (QChar::isPrint(c) || category == QChar::Other_PrivateUse) {
            return static_cast<int>(c);
        }
        return -1;
    }

    KeyPressReaction m_reaction;
};

// Every way text is pasted into a line edit or dropped onto it, taken over so
// that the text goes through a cleaner first.
class PasteFilter : public QObject {
public:
    PasteFilter(QLineEdit *field, PasteCleaner clean)
        : QObject(field), m_field(field), m_clean(std::move(clean)) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (m_field->isReadOnly()) {
            return false;
        }
        switch (event->type()) {
            case QEvent::KeyPress: {
                const auto *key = static_cast<QKeyEvent *>(event);
                if (!key->matches(QKeySequence::Paste)) {
                    return false;
                }
                const bool selection =
                    key->key() == Qt::Key_Insert &&
                    key->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier);
                paste(selection ? QClipboard::Selection : QClipboard::Clipboard);
                return true;
            }
            case QEvent::ContextMenu:
                showMenu(static_cast<QContextMenuEvent *>(event)->globalPos());
                return true;
            case QEvent::MouseButtonRelease:
                if (static_cast<QMouseEvent *>(event)->button() != Qt::MiddleButton ||
                    !QGuiApplication::clipboard()->supportsSelection()) {
                    return false;
                }
                m_field->deselect();
                paste(QClipboard::Selection);
                return true;
            case QEvent::Drop:
                return drop(static_cast<QDropEvent *>(event));
            default:
                return false;
        }
    }

private:
    void paste(QClipboard::Mode mode) { insert(QGuiApplication::clipboard()->text(mode)); }

    void insert(const QString &text) {
        const QString cleaned = m_clean(text);
        if (!cleaned.isEmpty()) {
            m_field->insert(cleaned);
        }
    }

    // The field's own menu, with its paste entry going through the cleaner.
    void showMenu(const QPoint &at) {
        QMenu *menu = m_field->createStandardContextMenu();
        for (QAction *action : menu->actions()) {
            // The only submenu inserts Unicode control characters, past every
            // filter.
            if (action->menu()) {
                menu->removeAction(action);
                continue;
            }
            const bool pastes =
                QObject::disconnect(action, SIGNAL(triggered()), m_field, SLOT(paste())) ||
                QObject::disconnect(action, &QAction::triggered, m_field, &QLineEdit::paste);
            if (pastes) {
                QObject::connect(action, &QAction::triggered, this,
                                 [this] { paste(QClipboard::Clipboard); });
            }
        }
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(at);
    }

    // A drop from elsewhere is handed on as a drop of the cleaned text, so the
    // field places it as it places any drop. Text moved within the field
    // itself is already clean.
    bool drop(QDropEvent *event) {
        if (m_passing || event->source() == m_field || !event->mimeData()->hasText()) {
            return false;
        }
        const QString cleaned = m_clean(event->mimeData()->text());
        if (cleaned.isEmpty()) {
            event->ignore();
            return true;
        }
        QMimeData data;
        data.setText(cleaned);
        QDropEvent cleanDrop(event->position(), event->possibleActions(), &data, event->buttons(),
                             event->modifiers());
        cleanDrop.setDropAction(event->dropAction());
        m_passing = true;
        QCoreApplication::sendEvent(m_field, &cleanDrop);
        m_passing = false;
        event->setDropAction(cleanDrop.dropAction());
        event->setAccepted(cleanDrop.isAccepted());
        return true;
    }

    QLineEdit *m_field;
    PasteCleaner m_clean;
    bool m_passing = false;  // the cleaned drop is on its way to the field
};

// Makes a button's Enter and its access key act as a click does.
class ButtonKeysFilter : public QObject {
public:
    explicit ButtonKeysFilter(QPushButton *button) : QObject(button) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        auto *button = static_cast<QPushButton *>(watched);
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
                button->click();
                return true;
            }
        } else if (event->type() == QEvent::Shortcut && (button->focusPolicy() & Qt::ClickFocus)) {
            // The only shortcut a button receives is its access key. Qt then
            // presses it where the focus is; a click moves the focus first,
            // and the reaction that follows may put it elsewhere.
            button->setFocus(Qt::ShortcutFocusReason);
        }
        return false;
    }
};

class LabelClickFilter : public QObject {
public:
    LabelClickFilter(QWidget *widget, std::function<void()> reaction)
        : QObject(widget), m_reaction(std::move(reaction)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        auto *widget = static_cast<QWidget *>(watched);
        if (event->type() == QEvent::MouseButtonPress) {
            m_pressed = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
        } else if (event->type() == QEvent::MouseButtonRelease && m_pressed) {
            m_pressed = false;
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton &&
                widget->rect().contains(mouse->position().toPoint())) {
                guard(m_reaction, widget->window());
            }
        }
        return false;
    }

private:
    std::function<void()> m_reaction;
    bool m_pressed = false;
};

class MouseMoveFilter : public QObject {
public:
    MouseMoveFilter(QWidget *widget, std::function<void()> reaction, bool backgroundOnly)
        : QObject(widget), m_reaction(std::move(reaction)), m_backgroundOnly(backgroundOnly) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() != QEvent::MouseMove) {
            return false;
        }
        auto *widget = static_cast<QWidget *>(watched);
        const auto *mouse = static_cast<QMouseEvent *>(event);
        // Moves over a child that does not take mouse events of its own are
        // passed up to the window; they are not moves over its background.
        if (m_backgroundOnly && widget->childAt(mouse->position().toPoint())) {
            return false;
        }
        guard(m_reaction, widget->window());
        return false;
    }

private:
    std::function<void()> m_reaction;
    bool m_backgroundOnly;
};

}  // namespace

void onKeyPress(QLineEdit *field, KeyPressReaction reaction) {
    field->installEventFilter(new KeyPressFilter(field, std::move(reaction)));
}

void onPaste(QLineEdit *field, PasteCleaner clean) {
    field->installEventFilter(new PasteFilter(field, std::move(clean)));
}

void onChange(QLineEdit *field, std::function<void()> reaction) {
    QObject::connect(field, &QLineEdit::textChanged, field,
                     [field, reaction = std::move(reaction)] { guard(reaction, field->window()); });
}

void onClick(QPushButton *button, std::function<void()> reaction) {
    button->installEventFilter(new ButtonKeysFilter(button));
    QObject::connect(
        button, &QPushButton::clicked, button,
        [button, reaction = std::move(reaction)] { guard(reaction, button->window()); });
}

void onLabelClick(QWidget *widget, std::function<void()> reaction) {
    widget->installEventFilter(new LabelClickFilter(widget, std::move(reaction)));
}

void onShortcut(QWidget *window, const QKeySequence &keys, std::function<void()> reaction) {
    auto *shortcut = new QShortcut(keys, window);
    QObject::connect(shortcut, &QShortcut::activated, window,
                     [window, reaction = std::move(reaction)] { guard(reaction, window); });
}

void onMouseMove(QWidget *widget, std::function<void()> reaction, bool backgroundOnly) {
    widget->setMouseTracking(true);
    widget->installEventFilter(new MouseMoveFilter(widget, std::move(reaction), backgroundOnly));
}

}  // namespace app
