#include "app/events.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
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
        auto *field = static_cast<QWidget *>(watched);
        guard([&] { m_reaction(code); }, field->window());
        // The reaction may have closed the window; Qt then still delivers the
        // event to the field, which is harmless since it is only deleted later.
        return code == 0;
    }

private:
    // The code of the character the key types, or -1 when it types none.
    static int typedCode(const QKeyEvent *key) {
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            return kEnter;
        }
        if (key->key() == Qt::Key_Backspace) {
            return kBackspace;
        }
        const Qt::KeyboardModifiers shortcut =
            key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        const QList<uint> text = key->text().toUcs4();
        if (shortcut || text.isEmpty() || !QChar::isPrint(static_cast<char32_t>(text.front()))) {
            return -1;
        }
        return static_cast<int>(text.front());
    }

    KeyPressReaction m_reaction;
};

class EnterClicksFilter : public QObject {
public:
    explicit EnterClicksFilter(QPushButton *button) : QObject(button) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
                static_cast<QPushButton *>(watched)->click();
                return true;
            }
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

void onChange(QLineEdit *field, std::function<void()> reaction) {
    QObject::connect(field, &QLineEdit::textChanged, field,
                     [field, reaction = std::move(reaction)] { guard(reaction, field->window()); });
}

void onClick(QPushButton *button, std::function<void()> reaction) {
    button->installEventFilter(new EnterClicksFilter(button));
    QObject::connect(
        button, &QPushButton::clicked, button,
        [button, reaction = std::move(reaction)] { guard(reaction, button->window()); });
}

void onLabelClick(QWidget *widget, std::function<void()> reaction) {
    widget->installEventFilter(new LabelClickFilter(widget, std::move(reaction)));
}

void onMouseMove(QWidget *widget, std::function<void()> reaction, bool backgroundOnly) {
    widget->setMouseTracking(true);
    widget->installEventFilter(new MouseMoveFilter(widget, std::move(reaction), backgroundOnly));
}

}  // namespace app
