// lookup_bench [quelto.tsv]
//
// Builds sys.dat from the shipped table in a temporary folder, then times
// whole lookups the way the lookup window runs them: range query, refresh,
// read the four columns. Prints the build time and the lookup latencies.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "store/data_connection.h"
#include "store/connection_texts.h"
#include "store/store_error.h"
#include "tools/sysdat_builder.h"

namespace {

using Clock = std::chrono::steady_clock;

double microseconds(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

}  // namespace

int main(int argc, char **argv) {
    const std::string tsv = argc > 1 ? argv[1] : PLIMORA_SOURCE_DIR "/data/quelto.tsv";
    const auto dir = std::filesystem::temp_directory_path() / "plimora-bench";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    try {
        const auto buildStart = Clock::now();
        const auto rows = tools::buildSysdat(tsv, (dir / "sys.dat").string());
        const double buildSeconds = microseconds(Clock::now() - buildStart) / 1e6;
        std::printf("built sys.dat: %zu rows, %ju bytes, %.2f s\n", rows,
                    static_cast<std::uintmax_t>(std::filesystem::file_size(dir / "sys.dat")),
                    buildSeconds);

        store::DataConnection connection;
        connection.ConnectionString = store::connectionText(dir.string());
        std::mt19937 random(20261208);  // fixed seed: the same numbers every run
        std::uniform_int_distribution<long long> number(13000000000LL, 19999999999LL);
        constexpr int kLookups = 20000;
        std::vector<double> latencies;
        latencies.reserve(kLookups);
        int found = 0;
        store::lookUp(connection, "13800138000");  // opens the file
        for (int i = 0; i < kLookups; ++i) {
            const std::string text = std::to_string(number(random));
            const auto start = Clock::now();
            if (store::lookUp(connection, text)) {
                auto &set = connection.Recordset();
                const std::string shown = set.Fields("省份").text() + set.Fields("城市").text() +
                                          set.Fields("区号").text() + set.Fields("卡信息").text();
                found += shown.empty() ? 0 : 1;
            }
            latencies.push_back(microseconds(Clock::now() - start));
        }
        std::sort(latencies.begin(), latencies.end());
        double total = 0;
        for (double l : latencies) {
            total += l;
        }
        std::printf("%d lookups of random numbers 13000000000..19999999999, %d found\n", kLookups,
                    found);
        std::printf("per lookup: mean %.1f us, median %.1f us, p99 %.1f us, max %.1f us\n",
                    total / kLookups, latencies[kLookups / 2], latencies[kLookups * 99 / 100],
                    latencies.back());
    } catch (const store::StoreError &e) {
        std::fprintf(stderr, "error %d: %s\n", e.number(), e.description().c_str());
        return 1;
    }
    std::filesystem::remove_all(dir);
    return 0;
}
