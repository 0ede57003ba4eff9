#include "app/message_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "app/application.h"
#include "app/colours.h"

namespace app {

namespace {

MessageSink &sink() {
    static MessageSink current;
    return current;
}

QuestionSink &questionSink() {
    static QuestionSink current;
    return current;
}

QMessageBox::Icon toQt(Icon icon) {
    switch (icon) {
        case Icon::Exclamation:
            return QMessageBox::Warning;
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// A window frame's title bar holds, beside the caption, the window's icon and
// up to three buttons (minimise, maximise, close), each about as wide as the
// bar is high, with gaps around them: five squares in all.
constexpr int kFrameSquares = 5;

// The width a window needs for its frame to show caption whole, as far as
// the program can tell: the frame is the desktop's, in the desktop's title
// font where the platform names one, else the application's; many desktops
// draw the caption bold.
int captionWidth(const QString &caption) {
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int square = metrics.height() * 3 / 2;
    return metrics.horizontalAdvance(caption) + kFrameSquares * square;
}

// A message box at least as wide as its frame needs to show the caption
// whole, as the platform's own boxes are. Qt sizes the box to its text and
// button alone, and does so again whenever its layout or font changes.
class CaptionedBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    bool event(QEvent *event) override {
        const bool handled = QMessageBox::event(event);
        switch (event->type()) {
            case QEvent::Show:
            case QEvent::LayoutRequest:
            case QEvent::FontChange:
            case QEvent::ApplicationFontChange:
            case QEvent::StyleChange:
                widenForCaption();
                break;
            default:
                break;
        }
        return handled;
    }

private:
    void widenForCaption() {
        if (!isVisible()) {
            return;
        }
        int needed = captionWidth(windowTitle());
        if (const QScreen *screen = this->screen()) {
            needed = std::min(needed, screen->availableGeometry().width());
        }
        // More room only shortens the text's lines; the height it has fits.
        if (width() < needed) {
            setFixedSize(needed, height());
        }
    }
};

}  // namespace

void msgBox(const QString &text, Icon icon, const QString &caption, QWidget *parent) {
    const Message message{text, icon, caption.isEmpty() ? applicationTitle() : caption};
    if (sink()) {
        sink()(message);
        return;
    }
    CaptionedBox box(toQt(message.icon), message.caption, message.text, QMessageBox::NoButton,
                     parent);
    box.setObjectName(QStringLiteral("msgBox"));
    box.setPalette(classicPalette());
    QPushButton *ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

void setMessageSink(MessageSink newSink) {
    sink() = std::move(newSink);
}

bool askYesNo(const QString &text, const QString &caption, QWidget *parent) {
    const Message message{text, Icon::None, caption.isEmpty() ? applicationTitle() : caption};
    if (questionSink()) {
        return questionSink()(message);
    }
    if (sink()) {
        sink()(message);
        return false;
    }
    CaptionedBox box(QMessageBox::Question, message.caption, message.text, QMessageBox::NoButton,
                     parent);
    box.setObjectName(QStringLiteral("askBox"));
    box.setPalette(classicPalette());
    QPushButton *yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void setQuestionSink(QuestionSink newSink) {
    questionSink() = std::move(newSink);
}

}  // namespace app
