// The program's start as the crash test runs it: the lookup window's load
// step in the folder argv[1], killed with SIGKILL (as a power cut would stop
// it) at the fault point argv[2] when one is given. Prints each message the
// user would see on a line of its own, and exits 0 when the window loaded.
// A test build only: the program itself installs no fault hook.
#include <QApplication>
#include <csignal>
#include <cstdio>
#include <string>

#include "app/application.h"
#include "app/message_box.h"
#include "lookup/form1.h"
#include "store/fault_point.h"

namespace {

std::string g_crashAt;

void dieAtChosenPoint(std::string_view point) {
    if (point == g_crashAt) {
        std::raise(SIGKILL);
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: startup_child FOLDER [FAULT-POINT]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    app::setUpApplication();
    app::setProgramDirForTesting(argv[1]);
    if (argc > 2) {
        g_crashAt = argv[2];
        store::setFaultHook(dieAtChosenPoint);
    }
    app::setMessageSink([](const app::Message &message) {
        std::printf("%s\n", message.text.toUtf8().replace('\n', ' ').constData());
    });
    auto *form = new Form1;
    const bool loaded = form->load();
    delete form;
    return loaded ? 0 : 1;
}
