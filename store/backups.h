// The backups an update leaves beside a store: the old file under the name
// "<store>.<date>-<time>.bak" ("sys.dat.20261208-153000.bak"), with "-2",
// "-3" … before ".bak" when two are made in one second. The update makes them,
// removes the older ones it made, and the messages about a missing or damaged
// store name the newest.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace store {

// The backup of storePath made at stamp ("20261208-153000"), the n-th of that
// second (from 1).
std::string backupPath(const std::string &storePath, std::string_view stamp, int n = 1);

// True when name (a file name, no folder) is a backup of the store named
// storeName made by backupPath(): storeName, ".", eight digits, "-", six
// digits, optionally "-" and a number from 2, and ".bak". Any other name,
// also one a user gave a copy by hand ("sys.dat.bak", "sys.dat.old.bak"), is
// not.
bool isBackupName(std::string_view storeName, std::string_view name);

// The backups of storePath in its folder, oldest first (by the time in their
// names). Empty when there are none or the folder cannot be listed.
std::vector<std::string> backupsOf(const std::string &storePath);

// The newest of backupsOf(storePath), or nothing when there is none.
std::optional<std::string> newestBackup(const std::string &storePath);

}  // namespace store
