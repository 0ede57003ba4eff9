// Named points where a tool can be made to die as a power cut or kill -9
// would, so that tests can prove that no such moment leaves a broken file.
#pragma once

#include <string_view>

namespace tools::cli {

// The environment variable that names the point to die at.
inline constexpr const char *kCrashAtVariable = "PLIMORA_CRASH_AT";

// Kills the process with SIGKILL when the environment variable
// PLIMORA_CRASH_AT equals name; returns at once otherwise.
void crashPoint(std::string_view name);

}  // namespace tools::cli
