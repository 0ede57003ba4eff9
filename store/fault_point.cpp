#include "store/fault_point.h"

namespace store {

namespace {

FaultHook g_hook = nullptr;

}  // namespace

void setFaultHook(FaultHook hook) {
    g_hook = hook;
}

void faultPoint(std::string_view name) {
    if (g_hook) {
        g_hook(name);
    }
}

}  // namespace store
