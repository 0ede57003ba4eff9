// The sub-commands of plimora-table. Each takes the words after its name,
// does its work and returns the exit code; it throws cli::UsageError for a
// command line it cannot follow and cli::Failure for work it cannot do, which
// run() prints and turns into exit codes 2 and 1.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plimora_table/cli/options.h"

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

}  // namespace table
