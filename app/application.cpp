#include "app/application.h"

#include <QCoreApplication>
#include <QDir>

namespace app {

QString programDir() {
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString applicationTitle() {
    return QStringLiteral("quelto");
}

int versionMajor() {
    return PLIMORA_VERSION_MAJOR;
}
int versionMinor() {
    return PLIMORA_VERSION_MINOR;
}

}  // namespace app
