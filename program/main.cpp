// Plimora starts on its lookup window and ends when its last window closes.
#include <QApplication>

#include "app/fonts.h"
#include "lookup/form1.h"

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Plimora"));
    app::registerFontSubstitutes();

    auto *lookup = new Form1;
    if (!lookup->load()) {
        return 1;
    }
    lookup->show();
    return QApplication::exec();
}
