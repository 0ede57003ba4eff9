// Runs the real plimora-table as a user would, and the stores it works on:
// built the way each version of the program built them, changed the way the
// add-record window changes them, read the way the lookup window reads them.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/legacy_store.h"
#include "tests/support/window_rows.h"

namespace table_test {

namespace fs = std::filesystem;

struct Result {
    int exitCode = -1;  // -1 when a signal ended the tool
    int signal = 0;     // the signal that ended it, or 0
    std::string out;
    std::string err;
};

struct RunOptions {
    std::vector<std::string> environment;  // "NAME=value" added to the tool's environment
    bool asNobody = false;                 // run as uid/gid 65534 (the test must be root)
    std::uint64_t fileSizeLimit = 0;       // RLIMIT_FSIZE in bytes; 0 for none
    std::string standardInput;             // a file the tool reads as stdin; "" for none
    const char *program = nullptr;         // the executable; nullptr for plimora-table
};

// Exit code 125 with this on stderr: the tool could not be started as asked
// (no right to change user, or the tool out of nobody's reach); the test
// should skip.
inline constexpr const char *kCannotDropRights = "cannot drop rights";

// Starts plimora-table with args; returns its pid. Its output goes to files
// that finish() reads.
pid_t start(const std::vector<std::string> &args, const RunOptions &options = {});
// Waits for the tool started as pid and collects what it wrote.
Result finish(pid_t pid);
// start() and finish().
Result run(const std::vector<std::string> &args, const RunOptions &options = {});

// A folder of the test's own, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const fs::path &path() const { return m_path; }
    std::string operator/(const std::string &name) const { return (m_path / name).string(); }

private:
    fs::path m_path;
};

void writeFile(const std::string &path, const std::string &bytes);
std::string readFile(const std::string &path);
// FNV-1a 64 over the file's bytes, as hex: two equal checksums mean, for the
// purpose of a test, a byte-identical file.
std::string checksum(const std::string &path);

// The header line of the text table followed by lines, each ending in "\n".
std::string tsv(const std::vector<std::string> &lines);
// An edition file for edition serial.
std::string editionFile(int serial);

using testing_support::buildLegacyStore;

using testing_support::addLikeTheWindow;
using testing_support::lookUpLikeTheWindow;

// The value of key in the store's metadata table, or "" when there is none.
std::string metadataValue(const std::string &storePath, const std::string &key);
// Runs sql on the store.
void execSql(const std::string &storePath, const std::string &sql);
// The first column of the first row of sql on the store, as text.
std::string queryText(const std::string &storePath, const std::string &sql);

}  // namespace table_test
