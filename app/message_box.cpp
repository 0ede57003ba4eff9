#include "app/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "app/application.h"
#include "app/colours.h"

namespace app {

namespace {

MessageSink &sink() {
    static MessageSink current;
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

}  // namespace

void msgBox(const QString &text, Icon icon, const QString &caption, QWidget *parent) {
    const Message message{text, icon, caption.isEmpty() ? applicationTitle() : caption};
    if (sink()) {
        sink()(message);
        return;
    }
    QMessageBox box(toQt(message.icon), message.caption, message.text, QMessageBox::NoButton,
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

}  // namespace app
