// The sub-commands of plimora-table. Each takes the words after its name,
// does its work and returns the exit code; it throws cli::UsageError for a
// command line it cannot follow and cli::Failure for work it cannot do, which
// run() prints and turns into exit codes 2 and 1.
#pragma once

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plimora_table/cli/options.h"
#include "upgrade/edition_update.h"

namespace table {

int runBuild(const std::vector<std::string> &words);
int runUpdate(const std::vector<std::string> &words);
int runImport(const std::vector<std::string> &words);
int runExport(const std::vector<std::string> &words);
int runCheck(const std::vector<std::string> &words);
int runLookup(const std::vector<std::string> &words);

// The whole tool, from main's arguments: picks the sub-command, prints
// --help, prints failures on stderr as "plimora-table: FILE:LINE: MESSAGE".
// Ignores SIGXFSZ and SIGPIPE, so that a file-size limit or a closed pipe
// ends a command with its message, and settles SQLite's engine as the
// windows do (store::setUpEngine). Returns the exit code (0, 1 or 2).
int run(int argc, char **argv);

// sys.dat in the folder of the running program.
std::string defaultStorePath();

// The options every sub-command takes.
inline constexpr cli::OptionSpec kStoreOption{"--store", "", "PATH",
                                              "存储文件（默认：本程序旁边的 sys.dat）"};
inline constexpr cli::OptionSpec kHelpOption{"--help", "-h", "", "显示这段说明并退出"};

// The --help text of a sub-command: usage line, what it does, its options
// and the exit codes.
std::string commandHelp(std::string_view usage, std::string_view about,
                        std::span<const cli::OptionSpec> options);

// A sub-command's words read by its options, or nothing when they ask for
// --help: its help (commandHelp) is then printed on stdout and the command
// ends with exit code 0.
std::optional<cli::Options> commandOptions(const std::vector<std::string> &words,
                                           std::string_view usage, std::string_view about,
                                           std::span<const cli::OptionSpec> options);

// Throws a usage error naming command when options hold an argument.
void refuseArguments(const cli::Options &options, std::string_view command);

// The value of --store, or defaultStorePath().
std::string storePathOf(const cli::Options &options);

// Throws cli::Failure naming output when it names the store file itself:
// writing there would put a text table in place of the table and the user's
// rows. Does nothing for no output, standard output or any other file.
void refuseStoreAsOutput(const std::optional<std::string> &output, const std::string &storePath);

// storePathOf(options), after makeFolderCurrent() of it: what every command
// that works on an existing store (all but build) starts with.
std::string currentStorePath(const cli::Options &options);

// When storePath is a program folder's sys.dat, with an edition.dat beside it,
// brings it up to that edition as the program does when it starts
// (upgrade::makeCurrent()): a new sys.dat is made silently, an update prints
// its report (printUpdateReport()) on stderr, which keeps stdout for the
// command's own output, and an edition.dat that cannot be used or an update
// that fails is said on stderr, after which the command goes on with sys.dat
// as it is. Does nothing for any other store.
void makeFolderCurrent(const std::string &storePath);

// Prints on out what an update did: the store, the editions, the rows kept
// and brought, the backup and the older backups removed, and the rows of the
// user's that the new edition also answers.
void printUpdateReport(const upgrade::UpdateReport &report, std::FILE *out);

}  // namespace table
