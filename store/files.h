// The few facts about files that the store and the tools ask the file system
// for, the same way on every platform: whether a path still names the file
// that was opened, a path in the platform's own form, and a system error
// described for the user. Paths are UTF-8 on Windows and the file system's
// own bytes elsewhere, as the program's directory is (app::programDir()).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace store {

// What tells one file from another, however it is named: the device and the
// inode on POSIX, the volume's serial number and the file index on Windows.
// Two paths with the same identity name the same file; a file renamed over
// another takes a new identity at that name.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileIdentity &) const = default;
};

// The identity of the file at path, following links, or nothing when there is
// no file there (or it cannot be reached). Never opens the file for reading
// or writing: on Windows it opens it for its attributes only, sharing every
// access, which nothing that holds the file open refuses.
std::optional<FileIdentity> identityOf(const std::string &path);

// path as the standard library takes it: from UTF-8 on Windows, as it is
// elsewhere; and back.
std::filesystem::path nativePath(const std::string &path);
std::string pathText(const std::filesystem::path &path);

// The folder part of path, "." for a bare file name; on Windows "\" and "/"
// both separate. The file name part is fileName().
std::string folderOf(const std::string &path);
std::string fileName(const std::string &path);
// folder and name joined by the platform's separator.
std::string joinPath(const std::string &folder, const std::string &name);

// Renames from over to (an existing file at to is replaced in one step) and
// returns 0, or the errno of the failure. On Windows this is MoveFileEx
// with its write-through, and a file that any program holds open cannot be
// replaced: that fails with EBUSY.
int renameOver(const std::string &from, const std::string &to);

// Flushes a folder's entries to disk, so that a rename in it survives a power
// cut, and returns 0 or the errno of the failure. A file system that does not
// flush folders (EINVAL) counts as done, as does Windows, whose renames are
// written through.
int syncFolderEntries(const std::string &folder);

// A short description of the system error number error (errno) for the user:
// Chinese for the conditions a user can act on (no space, no permission, a
// read-only file system, a file too large, no such file, a file another
// program holds, a pipe whose reader has gone), the C library's text for the
// rest.
std::string describeSystemError(int error);

// Why a file could not be read, for the user: for a file that does not exist
// "找不到这个文件" ("找不到" and what, when what names the kind of file:
// "找不到号码表"), otherwise "无法读取" and what, "：" and
// describeSystemError() ("无法读取号码表：没有权限").
std::string describeUnreadable(int error, std::string_view what = "");

}  // namespace store
