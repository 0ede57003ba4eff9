// The one exception type of the number-range store.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace store {

// Thrown by every store operation that fails. number() is SQLite's result
// code (SQLITE_MISUSE for a call the store cannot serve, such as reading past
// the last row), description() the message that goes with it, and
// systemError() the system's error number behind it (errno: a full disk, a
// file-size limit), or 0 when there was none.
class StoreError : public std::runtime_error {
public:
    StoreError(int number, std::string description, int systemError = 0);

    int number() const { return m_number; }
    const std::string &description() const { return m_description; }
    int systemError() const { return m_systemError; }

private:
    int m_number;
    std::string m_description;
    int m_systemError;
};

// How long a window's connection waits for a store that another program is
// writing before it reports the store as busy.
inline constexpr int kWindowBusyWaitSeconds = 30;

// The text a user is shown for a store error numbered number (SQLite's
// result code) whose own text is storeText. For the failures a user can do
// something about (a read-only, locked or damaged file, a file that is no
// store or lacks the table or a column, a file that cannot be opened, a full
// disk, a disk error) it is a Chinese description that says what to do,
// followed by storeText in full-width brackets; for any other error it is
// storeText alone. A busy store is said to have been waited for
// waitedSeconds. Given the store's path, the text for a damaged file (or one
// that is no store, or lacks the table) names the newest backup beside it
// (store/backups.h) and how to get the user's rows out; without it, it says
// where to look for a backup.
std::string describeStoreError(int number, std::string_view storeText,
                               int waitedSeconds = kWindowBusyWaitSeconds,
                               const std::string &storePath = {});

// The same for error, met on the store at storePath: a store file that is no
// longer there (missingStoreError()) is described as gone, naming the newest
// backup beside it; every other error as above.
std::string describeStoreError(const StoreError &error, const std::string &storePath,
                               int waitedSeconds = kWindowBusyWaitSeconds);

// The error (SQLITE_CANTOPEN, system error ENOENT) of a store file that is no
// longer at path: removed or moved away after it was opened, or never there.
StoreError missingStoreError(const std::string &path);

}  // namespace store
