// A second yardstick of startup_bench: the lookup window's texts in the fonts
// the window draws them with, in plain labels of the window's size, and
// nothing else. What it costs over bare_label is what those fonts cost.
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    QWidget window;
    window.setFixedSize(489, 394);
    const auto add = [&](const QString &text, const QString &family, qreal points, bool bold, int x,
                         int y) {
        auto *label = new QLabel(text, &window);
        if (!family.isEmpty()) {
            QFont font(family);
            font.setFamilies({family});
            font.setPointSizeF(points);
            font.setBold(bold);
            label->setFont(font);
        }
        label->setGeometry(x, y, 400, 60);
    };
    // The stand-ins the window finds for 宋体 and 隶书 on Debian.
    const QString song = QStringLiteral("AR PL UMing CN");
    const QString li = QStringLiteral("AR PL UKai CN");
    add(QStringLiteral("Plimora"), li, 42, false, 100, 0);
    add(QStringLiteral("手机号码"), song, 18, false, 28, 80);
    add(QStringLiteral("13800138000"), song, 21.75, true, 130, 76);
    add(QStringLiteral("Search"), song, 12, false, 388, 76);
    add(QStringLiteral("信息"), QString(), 0, false, 32, 120);  // the default font's CJK fallback
    add(QStringLiteral("所在地"), song, 15.75, false, 48, 150);
    add(QStringLiteral("区  号"), song, 15.75, false, 48, 200);
    add(QStringLiteral("卡信息"), song, 15.75, false, 48, 250);
    add(QStringLiteral("软件信息"), song, 14.25, false, 32, 320);
    add(QStringLiteral("添加数据"), song, 14.25, false, 200, 320);
    add(QStringLiteral("退出程序"), song, 14.25, false, 380, 320);
    window.show();
    return QApplication::exec();
}
