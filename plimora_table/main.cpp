// plimora-table: the table tool; see commands.h and docs/plimora-table.md.
#include "plimora_table/commands.h"

int main(int argc, char **argv) {
    return table::run(argc, argv);
}
