// update_bench [new quelto.tsv [its edition.tsv]]
//
// Times what a user runs when a new edition arrives: plimora-table update of
// a store that holds edition 1 as the program built it before stores recorded
// their edition (so every row is compared with edition 1), with 1,000 rows
// added through the add-record window, to the table given (default: the
// shipped data/quelto.tsv and data/edition.tsv). The real executable runs three
// times on fresh copies; wall time and the tool's CPU time are printed.
#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "store/connection_texts.h"
#include "store/data_connection.h"
#include "store/number_text.h"
#include "store/schema.h"
#include "store/store_error.h"
#include "tests/support/legacy_store.h"

extern char **environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kUserRows = 1000;
constexpr int kRuns = 3;

using testing_support::buildLegacyStore;

// Adds kUserRows rows at random numbers the store does not answer yet, the
// way the add-record window does.
void addUserRows(const std::string &folder) {
    store::DataConnection connection;
    store::bind(connection, folder);
    std::mt19937 random(20261208);
    std::uniform_int_distribution<long long> number(13000000000LL, 19999999999LL);
    for (int added = 0; added < kUserRows;) {
        const std::string text = std::to_string(number(random));
        if (store::lookUp(connection, text)) {
            continue;
        }
        store::Recordset &set = connection.Recordset();
        set.AddNew();
        set.Fields(store::schema::kLow) = store::prefixKey(text);
        set.Fields(store::schema::kHigh) = store::prefixKey(text);
        set.Fields(store::schema::kProvince) = std::string("测试省");
        set.Fields(store::schema::kCity) = std::string("测试市");
        set.Fields(store::schema::kAreaCode) = std::string("0999");
        set.Fields(store::schema::kCard) = std::string("我的卡");
        set.Update();
        ++added;
    }
}

}  // namespace

int main(int argc, char **argv) {
    const std::string table = argc > 1 ? argv[1] : PLIMORA_SOURCE_DIR "/data/quelto.tsv";
    const std::string edition = argc > 2 ? argv[2] : fs::path(table).parent_path() / "edition.tsv";
    const fs::path dir = fs::temp_directory_path() / "plimora-update-bench";
    fs::remove_all(dir);
    fs::create_directories(dir / "app");
    try {
        buildLegacyStore(FIRST_EDITION_DIR "/quelto.tsv", (dir / "master.dat").string());
        fs::copy_file(dir / "master.dat", dir / "app/sys.dat");
        addUserRows((dir / "app").string());
        fs::copy_file(dir / "app/sys.dat", dir / "master.dat",
                      fs::copy_options::overwrite_existing);
    } catch (const store::StoreError &e) {
        std::fprintf(stderr, "error %d: %s\n", e.number(), e.description().c_str());
        return 1;
    }
    std::printf("store: edition 1 without metadata, %d rows added through the window\n", kUserRows);
    std::printf("new table: %s\n", table.c_str());
    std::printf("command: %s update --store %s --table %s --edition %s\n", PLIMORA_TABLE,
                (dir / "app/sys.dat").c_str(), table.c_str(), edition.c_str());

    std::vector<double> walls;
    for (int run = 0; run < kRuns; ++run) {
        fs::remove_all(dir / "app");
        fs::create_directories(dir / "app");
        fs::copy_file(dir / "master.dat", dir / "app/sys.dat");
        const std::string store = (dir / "app/sys.dat").string();
        const char *args[] = {PLIMORA_TABLE, "update",    "--store",       store.c_str(), "--table",
                              table.c_str(), "--edition", edition.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        rusage before{};
        getrusage(RUSAGE_CHILDREN, &before);
        const auto start = Clock::now();
        pid_t pid = 0;
        if (posix_spawn(&pid, PLIMORA_TABLE, &actions, nullptr, const_cast<char **>(args),
                        environ) != 0) {
            std::fprintf(stderr, "cannot start %s\n", PLIMORA_TABLE);
            return 1;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        rusage after{};
        getrusage(RUSAGE_CHILDREN, &after);
        posix_spawn_file_actions_destroy(&actions);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "update failed (status %d)\n", status);
            return 1;
        }
        const auto seconds = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
        const double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) +
                           seconds(after.ru_stime) - seconds(before.ru_stime);
        std::printf("run %d: %.2f s wall, %.2f s CPU, new sys.dat %ju bytes\n", run + 1, wall, cpu,
                    static_cast<std::uintmax_t>(fs::file_size(store)));
        walls.push_back(wall);
    }
    std::sort(walls.begin(), walls.end());
    std::printf("update with %d user rows: median %.2f s wall\n", kUserRows, walls[kRuns / 2]);
    fs::remove_all(dir);
    return 0;
}
