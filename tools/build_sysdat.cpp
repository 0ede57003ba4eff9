// build_sysdat <quelto.tsv> <sys.dat> [--keep-existing]
//
// Writes the store file from the text table. With --keep-existing an existing
// store is left alone, because it may hold rows the user added.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "store/store_error.h"
#include "tools/cli/failure.h"
#include "tools/sysdat_builder.h"

int main(int argc, char **argv) {
    const bool keepExisting = argc == 4 && std::string(argv[3]) == "--keep-existing";
    if (argc != 3 && !keepExisting) {
        std::fprintf(stderr, "usage: %s <quelto.tsv> <sys.dat> [--keep-existing]\n", argv[0]);
        return 2;
    }
    const std::string out = argv[2];
    if (keepExisting && std::filesystem::exists(out)) {
        std::printf("%s exists; left as it is\n", out.c_str());
        return 0;
    }
    try {
        const auto start = std::chrono::steady_clock::now();
        const auto rows = tools::buildSysdat(argv[1], out);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("%s: %zu rows in %.2f s\n", out.c_str(), rows, took.count());
        return 0;
    } catch (const tools::cli::Failure &failure) {
        std::fprintf(stderr, "%s\n", failure.text().c_str());
        return 1;
    } catch (const store::StoreError &e) {
        std::fprintf(stderr, "%s: error %d: %s\n", argv[1], e.number(), e.description().c_str());
        return 1;
    }
}
