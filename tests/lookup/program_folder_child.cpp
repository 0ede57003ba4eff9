// Run by program_folder_test from a copy of itself in an oddly named folder:
// the lookup window and the add-record window work there the way the program
// does, with the program's real directory. Exits 0 when a lookup finds its
// row and an add goes in; otherwise 1, with what went wrong on stderr.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>

#include "addrecord/adddata.h"
#include "app/application.h"
#include "app/message_box.h"
#include "lookup/form1.h"

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    app::setUpApplication();
    QStringList messages;
    app::setMessageSink([&](const app::Message &message) { messages << message.text; });
    auto fail = [&](const QString &what) {
        std::fprintf(stderr, "%s; messages: %s\n", qPrintable(what),
                     qPrintable(messages.join(QStringLiteral(" | "))));
        return 1;
    };

    auto *form = new Form1;
    if (!form->load()) {
        return fail(QStringLiteral("the lookup window did not load"));
    }
    auto *number = form->findChild<QLineEdit *>(QStringLiteral("Text1"));
    QTest::keyClicks(number, QStringLiteral("13800138000"));
    QTest::keyClick(number, Qt::Key_Return);
    const QString place = form->findChild<QLineEdit *>(QStringLiteral("Text2_0"))->text();
    if (place != QStringLiteral("北京")) {
        return fail(QStringLiteral("the lookup showed '%1'").arg(place));
    }

    auto *add = new adddata;
    add->load();
    const char *const entries[5] = {"1500001", "湖北", "武汉", "027", "中国联通"};
    for (int i = 0; i < 5; ++i) {
        add->findChild<QLineEdit *>(QStringLiteral("Text1_%1").arg(i))
            ->setText(QString::fromUtf8(entries[i]));
    }
    messages.clear();
    QTest::mouseClick(add->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
    if (messages != QStringList{QStringLiteral("添加成功！")}) {
        return fail(QStringLiteral("the add did not go in"));
    }
    delete add;
    delete form;
    return 0;
}
