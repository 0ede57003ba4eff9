// What the windows need to know about the program itself.
#pragma once

#include <QString>
#include <string>

namespace app {

// Readies the application object for the windows: the store engine's
// settings (store::setUpEngine()), the program's name, and Qt's own texts
// (the right-click menu of a text field, for one) in Simplified Chinese from
// Qt's translations folder; without those files Qt's texts stay English.
// Call once, right after the QApplication exists and before any window opens
// the store.
void setUpApplication();

// The directory of the program file, without a trailing separator, in the
// platform's own notation and exactly as the file system names it: UTF-8 on
// Windows, elsewhere the file system's own bytes, which need not be UTF-8.
std::string programDir();

// Makes programDir() answer dir instead, so tests can give the windows a store
// of their own; an empty dir restores the real directory.
void setProgramDirForTesting(const std::string &dir);

// True when path (in programDir()'s form) names an existing file, not a
// folder.
bool fileExists(const std::string &path);

// The caption of message boxes that are given none: "quelto".
QString applicationTitle();

// The program's version, set once in the build.
int versionMajor();
int versionMinor();

}  // namespace app
