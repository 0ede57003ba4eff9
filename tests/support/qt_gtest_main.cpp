// Window tests run GoogleTest inside a QApplication on whatever platform
// QT_QPA_PLATFORM names (offscreen under CTest).
#include <gtest/gtest.h>

#include <QApplication>

#include "app/application.h"

int main(int argc, char **argv) {
    // No test needs a display; listing the tests at build time must not either.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    // A test window closing must not end the application under the next test.
    QApplication::setQuitOnLastWindowClosed(false);
    app::setUpApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
