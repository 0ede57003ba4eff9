// plimora-table: the table tool; see commands.h and the README.
#include <csignal>

#include "tools/plimora_table/commands.h"

int main(int argc, char **argv) {
    // A file-size limit (ulimit -f) then shows as a write error with a message
    // instead of killing the tool halfway through a file.
    std::signal(SIGXFSZ, SIG_IGN);
    // Likewise a closed pipe (plimora-table lookup big.csv | head -1) ends
    // the tool with a message rather than killing it mid-write.
    std::signal(SIGPIPE, SIG_IGN);
    return tools::table::run(argc, argv);
}
