// Named moments in the work on a store or an output file (an update, an
// import, the making of a store from the shipped edition, a list written by
// plimora-table) at which a test build injects a fault (a kill, as a power
// cut would), to prove that no such moment leaves a broken
// file. Neither the shipped program nor the shipped tool installs a hook: a
// fault point then does nothing.
#pragma once

#include <string_view>

namespace store {

using FaultHook = void (*)(std::string_view point);

// Installs hook, or none for nullptr. A test build calls it before its work
// starts.
void setFaultHook(FaultHook hook);

// Calls the installed hook with name; returns at once when there is none.
void faultPoint(std::string_view name);

}  // namespace store
