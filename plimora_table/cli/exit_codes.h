// The exit codes every sub-command of the project's command-line tools ends
// with, as their --help and the README document them.
#pragma once

namespace cli {

inline constexpr int kExitOk = 0;       // the work is done (check: no fault found)
inline constexpr int kExitFailure = 1;  // it could not be done, or check found faults
inline constexpr int kExitUsage = 2;    // the command line itself is wrong

}  // namespace cli
