#include "app/fonts.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>

namespace app {

namespace {

QString findInstalled(const QStringList &families) {
    // The database's own list, not QFontDatabase::hasFamily(): that asks
    // fontconfig about every name, which costs more than the fallbacks this
    // look-up saves. A family made by several foundries is listed once per
    // foundry, as "Family [Foundry]".
    const QStringList installed = QFontDatabase::families();
    for (const QString &family : families) {
        const QString withFoundry = family + QStringLiteral(" [");
        for (const QString &name : installed) {
            if (name.compare(family, Qt::CaseInsensitive) == 0 ||
                name.startsWith(withFoundry, Qt::CaseInsensitive)) {
                return family;
            }
        }
    }
    return {};
}

QFont named(Face face, qreal pointSize) {
    const QString &family = installedFamily(face);
    const QStringList families = family.isEmpty() ? faceFamilies(face) : QStringList{family};
    QFont font(families.first());
    font.setFamilies(families);
    font.setPointSizeF(pointSize);
    return font;
}

constexpr qreal kSmallestFit = 6;  // points
constexpr qreal kFitStep = 0.5;    // points

// Where a label lays its text out: inside its frame and margin, less an
// indent it has been given.
QRect labelRoom(const QLabel *label) {
    QRect room = label->contentsRect();
    const int margin = label->margin();
    room.adjust(margin, margin, -margin, -margin);
    const int indent = std::max(label->indent(), 0);
    const Qt::Alignment alignment = label->alignment();
    room.adjust(alignment & Qt::AlignLeft ? indent : 0, alignment & Qt::AlignTop ? indent : 0,
                alignment & Qt::AlignRight ? -indent : 0,
                alignment & Qt::AlignBottom ? -indent : 0);
    return room;
}

bool labelFits(const QWidget *widget, const QFont &font) {
    const auto *label = static_cast<const QLabel *>(widget);
    const QRect room = labelRoom(label);
    int flags = static_cast<int>(label->alignment());
    if (label->wordWrap()) {
        flags |= Qt::TextWordWrap;
    }
    const QRect needed = QFontMetrics(font, label).boundingRect(room, flags, label->text());
    return needed.width() <= room.width() && needed.height() <= room.height();
}

bool buttonFits(const QWidget *widget, const QFont &font) {
    const auto *button = static_cast<const QPushButton *>(widget);
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    if (button->autoDefault()) {
        option.features |= QStyleOptionButton::AutoDefaultButton;
    }
    const QRect room =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    const QFontMetrics metrics(font, button);
    // A space on either side keeps the text off the button's edges.
    const QSize needed = metrics.size(Qt::TextShowMnemonic, button->text()) +
                         QSize(2 * metrics.horizontalAdvance(u' '), 0);
    return needed.width() <= room.width() && needed.height() <= room.height();
}

using Fits = bool (*)(const QWidget *widget, const QFont &font);
using TextOf = QString (*)(const QWidget *widget);

// Refits a control's font whenever what the fit depends on has changed. Qt
// tells no one of a new text, so the control's own paint is where a change
// is seen; a font set there is the one the control then paints with.
class TextFitter : public QObject {
public:
    TextFitter(QWidget *widget, Fits fits, TextOf textOf)
        : QObject(widget), m_widget(widget), m_fits(fits), m_textOf(textOf) {
        widget->installEventFilter(this);
        // A new desktop font reaches the control only through its parent,
        // since the fitted font is the control's own.
        if (QWidget *parent = widget->parentWidget()) {
            parent->installEventFilter(this);
        }
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        const QEvent::Type type = event->type();
        if (watched == m_widget ? type == QEvent::Show || type == QEvent::Paint
                                : type == QEvent::FontChange) {
            fit();
        }
        return false;
    }

private:
    void fit() {
        const QWidget *parent = m_widget->parentWidget();
        const QFont inherited = parent ? parent->font() : QApplication::font(m_widget);
        const QString text = m_textOf(m_widget);
        const QSize size = m_widget->size();
        if (m_fitted && text == m_text && inherited == m_inherited && size == m_size) {
            return;
        }
        m_fitted = true;
        m_text = text;
        m_inherited = inherited;
        m_size = size;

        QFont font = inherited;
        qreal points =
            inherited.pointSizeF() > 0 ? inherited.pointSizeF() : QFontInfo(inherited).pointSizeF();
        for (;; points -= kFitStep) {
            font.setPointSizeF(std::max(points, kSmallestFit));
            if (points <= kSmallestFit || m_fits(m_widget, font)) {
                break;
            }
        }
        m_widget->setFont(font);
    }

    QWidget *m_widget;
    Fits m_fits;
    TextOf m_textOf;
    bool m_fitted = false;
    QString m_text;  // what the current font was fitted to
    QFont m_inherited;
    QSize m_size;
};

}  // namespace

const QStringList &faceFamilies(Face face) {
    static const QStringList song{QStringLiteral("宋体"),
                                  QStringLiteral("SimSun"),
                                  QStringLiteral("NSimSun"),
                                  QStringLiteral("AR PL UMing CN"),
                                  QStringLiteral("AR PL SungtiL GB"),
                                  QStringLiteral("Noto Serif CJK SC"),
                                  QStringLiteral("Source Han Serif SC"),
                                  QStringLiteral("WenQuanYi Zen Hei"),
                                  QStringLiteral("Noto Sans CJK SC")};
    static const QStringList li{QStringLiteral("隶书"),
                                QStringLiteral("LiSu"),
                                QStringLiteral("STLiti"),
                                QStringLiteral("AR PL UKai CN"),
                                QStringLiteral("AR PL KaitiM GB"),
                                QStringLiteral("KaiTi"),
                                QStringLiteral("AR PL UMing CN"),
                                QStringLiteral("Noto Serif CJK SC"),
                                QStringLiteral("WenQuanYi Zen Hei")};
    return face == Face::Song ? song : li;
}

const QString &installedFamily(Face face) {
    static const QString song = findInstalled(faceFamilies(Face::Song));
    static const QString li = findInstalled(faceFamilies(Face::Li));
    return face == Face::Song ? song : li;
}

void keepTextFitted(QLabel *label) {
    new TextFitter(label, labelFits, [](const QWidget *widget) {
        return static_cast<const QLabel *>(widget)->text();
    });
}

void keepTextFitted(QPushButton *button) {
    new TextFitter(button, buttonFits, [](const QWidget *widget) {
        return static_cast<const QPushButton *>(widget)->text();
    });
}

QFont songFont(qreal pointSize, bool bold) {
    QFont font = named(Face::Song, pointSize);
    font.setBold(bold);
    return font;
}

QFont liFont(qreal pointSize) {
    return named(Face::Li, pointSize);
}

}  // namespace app
