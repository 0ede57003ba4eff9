// What the windows need to know about the program itself.
#pragma once

#include <QString>

namespace app {

// The directory of the program file, without a trailing separator, in the
// platform's own notation.
QString programDir();

// Makes programDir() answer dir instead, so tests can give the windows a store
// of their own; an empty dir restores the real directory.
void setProgramDirForTesting(const QString &dir);

// The caption of message boxes that are given none: "quelto".
QString applicationTitle();

// The program's version, set once in the build.
int versionMajor();
int versionMinor();

}  // namespace app
