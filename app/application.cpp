#include "app/application.h"

#include <QCoreApplication>
#include <QDir>

namespace app {

namespace {

QString &programDirOverride() {
    static QString dir;
    return dir;
}

}  // namespace

QString programDir() {
    const QString dir = programDirOverride().isEmpty() ? QCoreApplication::applicationDirPath()
                                                       : programDirOverride();
    return QDir::toNativeSeparators(dir);
}

void setProgramDirForTesting(const QString &dir) {
    programDirOverride() = dir;
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
