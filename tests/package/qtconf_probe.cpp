// Prints where Qt looks for its plugins and translations, one per line, as
// qt.conf beside this program tells it. The folder test runs it from inside
// the installed program folder.
#include <QCoreApplication>
#include <QLibraryInfo>
#include <cstdio>

int main(int argc, char *argv[]) {
    QCoreApplication application(argc, argv);
    for (const auto kind : {QLibraryInfo::PluginsPath, QLibraryInfo::TranslationsPath}) {
        std::printf("%s\n", QLibraryInfo::path(kind).toLocal8Bit().constData());
    }
    return 0;
}
