// plimora-table as the crash tests run it: the same tool, killed with SIGKILL
// (as a power cut would stop it) at the fault point that the environment
// variable PLIMORA_CRASH_AT names.
#include <csignal>
#include <cstdlib>
#include <string_view>

#include "plimora_table/commands.h"
#include "store/fault_point.h"

namespace {

void dieAtChosenPoint(std::string_view point) {
    static const char *const chosen = std::getenv("PLIMORA_CRASH_AT");
    if (chosen && point == chosen) {
        std::raise(SIGKILL);
    }
}

}  // namespace

int main(int argc, char **argv) {
    store::setFaultHook(dieAtChosenPoint);
    return table::run(argc, argv);
}
