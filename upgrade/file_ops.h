// The file operations of an update and of making a store from the shipped
// edition, the same on POSIX and on Windows: each is done whole or throws a
// Failure naming the file and the system's reason. Paths are in the form of
// store/files.h.
#pragma once

#include <optional>
#include <string>

#include "store/files.h"

namespace upgrade {

// A file open for reading, closed when it goes or by close().
class OpenFile {
public:
    // Opens the file at path. Throws unreadable(path, …).
    explicit OpenFile(const std::string &path);
    ~OpenFile();
    OpenFile(const OpenFile &) = delete;
    OpenFile &operator=(const OpenFile &) = delete;

    // The identity of the open file, or nothing when the system cannot tell.
    std::optional<store::FileIdentity> identity() const;

    // Copies the whole file, read through this handle, to target: written
    // beside it under a temporary name, flushed to disk and renamed over it
    // (with replace) or to it only where no file is (without, as
    // publishNew()). Reading through this handle matters on POSIX: closing
    // any other descriptor of a file drops the process's locks on it.
    // Returns false, leaving target as it is, when replace is false and a
    // file is there. Throws Failure naming the file that could not be read
    // or written; target is then as it was and no temporary is left.
    bool copyTo(const std::string &target, bool replace = true) const;

    // Closes the file (on Windows a file that is open cannot be renamed
    // over). Nothing may be read afterwards.
    void close();

private:
    std::string m_path;
#ifdef _WIN32
    void *m_handle;
#else
    int m_fd;
#endif
};

// The local time as "YYYYMMDD-HHMMSS", the stamp of a backup's name.
std::string timestamp();

// Gives the file at storePath, which store has open, a second name: the
// first free store::backupPath() of this second. A hard link costs neither
// time nor space; where the file system has none, the file is copied through
// store. Returns the backup's path. Throws Failure naming storePath.
std::string makeBackup(const std::string &storePath, const OpenFile &store);

// Creates the file at path, empty (an earlier file there is emptied), so that
// a folder that takes no new file is named with the system's reason. Throws
// Failure naming storePath, the file the new one is for, saying that it was
// not changed.
void createEmpty(const std::string &path, const std::string &storePath);

// Gives to the permissions (and, for root, the owner) of from, as far as the
// system allows; never fails. Does nothing on Windows.
void keepAccess(const std::string &from, const std::string &to);

// Flushes a folder's entries to disk, so that a rename in it survives a power
// cut. Throws Failure naming folder. Nothing to do on Windows, whose renames
// are written through.
void syncFolder(const std::string &folder);

// Renames from over to, within one folder, and syncs the folder: to is then
// either its old file or from's, never a mixture. On Windows this fails while
// any program holds to open. Throws Failure naming to; from is then left.
void replaceFile(const std::string &from, const std::string &to);

// Throws Failure naming path when a program holds the file at path open in a
// way that keeps it from being renamed over (on Windows: opened without
// sharing its deletion, as SQLite opens a store); otherwise, and always on
// POSIX, returns.
void requireReplaceable(const std::string &path);

// Renames from to to unless a file is there already, and syncs the folder.
// Returns false, leaving both as they are, when to exists. Throws Failure
// naming to for any other reason.
bool publishNew(const std::string &from, const std::string &to);

// Removes the file at path if there is one; never fails.
void removeFile(const std::string &path) noexcept;

// True when a file (not a folder) is at path.
bool isFile(const std::string &path);

// Up to size bytes from the start of the file at path: fewer when the file
// is shorter. Throws unreadable(path, …).
std::string readHead(const std::string &path, std::size_t size);

// Whether this program may write the file at path (false also for a file
// marked read-only), and whether it may create files in folder. On Windows
// every folder counts as writable: creating the file tells.
bool canWrite(const std::string &path);
bool canWriteFolder(const std::string &folder);

}  // namespace upgrade
