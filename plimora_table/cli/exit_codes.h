// The exit codes every command-line tool of the project ends with, as their
// --help and docs/plimora-table.md document them.
#pragma once

namespace cli {

inline constexpr int kExitOk = 0;       // the work is done (check: no fault found)
inline constexpr int kExitFailure = 1;  // it could not be done, or check found faults
inline constexpr int kExitUsage = 2;    // the command line itself is wrong

}  // namespace cli
