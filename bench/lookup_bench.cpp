// SPDX-License-Identifier: GPL-3.0-or-later
//
// lookup_bench [quelto.tsv ...]
//
// Builds a sys.dat from each given table (the shipped one when none is
// given) in a temporary folder, then times whole lookups the way the lookup
// window runs them: range query, refresh, read the four columns. With two
// tables (an old and a new one) the lookups alternate between the stores,
// number by number and in turn which goes first, so both see the same
// numbers under the same machine load and their medians compare fairly.
// Prints each build time and each store's lookup latencies.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "store/data_connection.h"
#include "store/prefix_key.h"
#include "store/schema.h"
#include "store/store_error.h"
#include "tools/sysdat_builder.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLookups = 20000;

double microseconds(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

struct Store {
    std::string tsv;
    std::filesystem::path dir{};
    std::unique_ptr<store::DataConnection> connection{};
    std::vector<double> latencies{};
    std::vector<double> foundLatencies{};  // of the lookups a row answered
    int found = 0;
};

struct Summary {
    double mean;
    double median;
    double p99;
    double max;
};

Summary summarise(std::vector<double> &latencies) {
    if (latencies.empty()) {
        return {0, 0, 0, 0};
    }
    std::sort(latencies.begin(), latencies.end());
    double total = 0;
    for (double l : latencies) {
        total += l;
    }
    const std::size_t n = latencies.size();
    return {total / static_cast<double>(n), latencies[n / 2], latencies[n * 99 / 100],
            latencies.back()};
}

// One lookup as the window runs it; returns whether a row answered.
bool lookUp(store::DataConnection &connection, const std::string &number) {
    if (!store::lookUp(connection, number)) {
        return false;
    }
    auto &set = connection.Recordset();
    const std::string shown =
        set.Fields(store::schema::kProvince).text() + set.Fields(store::schema::kCity).text() +
        set.Fields(store::schema::kAreaCode).text() + set.Fields(store::schema::kCard).text();
    return !shown.empty();
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<Store> stores;
    for (int i = 1; i < argc; ++i) {
        stores.push_back(Store{argv[i]});
    }
    if (stores.empty()) {
        stores.push_back(Store{PLIMORA_SOURCE_DIR "/data/quelto.tsv"});
    }
    const auto root = std::filesystem::temp_directory_path() / "plimora-bench";
    std::filesystem::remove_all(root);
    try {
        for (std::size_t i = 0; i < stores.size(); ++i) {
            Store &s = stores[i];
            s.dir = root / std::to_string(i);
            std::filesystem::create_directories(s.dir);
            const auto buildStart = Clock::now();
            const auto rows = tools::buildSysdat(s.tsv, (s.dir / "sys.dat").string());
            const double buildSeconds = microseconds(Clock::now() - buildStart) / 1e6;
            std::printf("%s: built sys.dat: %zu rows, %ju bytes, %.2f s\n", s.tsv.c_str(), rows,
                        static_cast<std::uintmax_t>(std::filesystem::file_size(s.dir / "sys.dat")),
                        buildSeconds);
            s.connection = std::make_unique<store::DataConnection>();
            s.connection->ConnectionString = store::connectionText(s.dir.string());
            store::lookUp(*s.connection, "13800138000");  // opens the file
            s.latencies.reserve(kLookups);
        }

        std::mt19937 random(20261208);  // fixed seed: the same numbers every run
        std::uniform_int_distribution<long long> number(13000000000LL, 19999999999LL);
        for (int i = 0; i < kLookups; ++i) {
            const std::string text = std::to_string(number(random));
            for (std::size_t k = 0; k < stores.size(); ++k) {
                Store &s = stores[(k + i) % stores.size()];
                const auto start = Clock::now();
                const bool found = lookUp(*s.connection, text);
                const double took = microseconds(Clock::now() - start);
                s.latencies.push_back(took);
                if (found) {
                    ++s.found;
                    s.foundLatencies.push_back(took);
                }
            }
        }

        std::printf("%d lookups of random numbers 13000000000..19999999999 in each store\n",
                    kLookups);
        // A lookup that finds a row also reads its four texts, so a table
        // that answers more numbers is slower on average for that alone; the
        // found lookups are summarised on their own to compare like with like.
        for (Store &s : stores) {
            const Summary all = summarise(s.latencies);
            const Summary found = summarise(s.foundLatencies);
            std::printf(
                "%s: %d found\n"
                "  all lookups:   mean %.1f us, median %.1f us, p99 %.1f us, max %.1f us\n"
                "  found lookups: mean %.1f us, median %.1f us, p99 %.1f us, max %.1f us\n",
                s.tsv.c_str(), s.found, all.mean, all.median, all.p99, all.max, found.mean,
                found.median, found.p99, found.max);
        }
    } catch (const store::StoreError &e) {
        std::fprintf(stderr, "error %d: %s\n", e.number(), e.description().c_str());
        return 1;
    }
    stores.clear();
    std::filesystem::remove_all(root);
    return 0;
}
