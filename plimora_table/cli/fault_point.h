// Named moments in a command's work at which a test build of a tool injects a
// fault (a kill, as a power cut would), to prove that no such moment leaves a
// broken file, or that the work reaches the moment (or never does). The
// shipped tool installs no hook: a fault point then does nothing.
#pragma once

#include <string_view>

namespace cli {

using FaultHook = void (*)(std::string_view point);

// Installs hook, or none for nullptr. A test build calls it before the tool
// starts its work.
void setFaultHook(FaultHook hook);

// Calls the installed hook with name; returns at once when there is none.
void faultPoint(std::string_view name);

}  // namespace cli
