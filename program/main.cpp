// Plimora starts on its lookup window and ends when its last window closes.
#include <QApplication>

#include "app/application.h"
#include "lookup/form1.h"

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    app::setUpApplication();

    auto *lookup = new Form1;
    if (!lookup->load()) {
        return 1;
    }
    lookup->show();
    return QApplication::exec();
}
