// The yardstick of startup_bench: the least a Qt Widgets program does to put
// a window on the screen, one QLabel in the desktop's default font.
#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    QLabel label(QStringLiteral("Plimora"));
    label.show();
    return QApplication::exec();
}
