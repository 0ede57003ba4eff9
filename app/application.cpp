#include "app/application.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <filesystem>

#ifdef Q_OS_LINUX
#include <unistd.h>

#include <array>
#endif

#include "store/database.h"

namespace app {

namespace {

std::string &programDirOverride() {
    static std::string dir;
    return dir;
}

#ifdef Q_OS_LINUX
// The program file's path as the kernel has it, or "" when it cannot say.
std::string programFileBytes() {
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
        return {};
    }
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}
#endif

}  // namespace

void setUpApplication() {
    store::setUpEngine();
    QApplication::setApplicationName(QStringLiteral("Plimora"));
    // The name of the desktop entry (resources/desktop), so that a desktop
    // shows the entry's icon and name for the program's windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.plimora.Plimora"));
    // qtbase holds the texts of the widgets; qt, where a system has it, those
    // of the other Qt modules. The folder is the one the program's qt.conf
    // names, or Qt's own.
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char *catalogue : {"qtbase_zh_CN", "qt_zh_CN"}) {
        auto *translator = new QTranslator(qApp);
        if (translator->load(QString::fromLatin1(catalogue), folder)) {
            QCoreApplication::installTranslator(translator);
        } else {
            delete translator;
        }
    }
}

std::string programDir() {
    if (!programDirOverride().empty()) {
        return programDirOverride();
    }
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString();
#else
#ifdef Q_OS_LINUX
    // Qt decodes the path to text, which loses the bytes of a folder name
    // that is not UTF-8; the kernel's own link keeps them.
    const std::string file = programFileBytes();
    const auto slash = file.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        return file.substr(0, slash);
    }
#endif
    return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
#endif
}

void setProgramDirForTesting(const std::string &dir) {
    programDirOverride() = dir;
}

bool fileExists(const std::string &path) {
#ifdef Q_OS_WIN
    const std::filesystem::path native(std::u8string(path.begin(), path.end()));
#else
    const std::filesystem::path native(path);
#endif
    std::error_code error;
    return std::filesystem::is_regular_file(native, error);
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
