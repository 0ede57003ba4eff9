// ratio_bench [--runs R] [--pairs P] [--before TOOL] [--no-ten-million] [--dir DIR]
//
// Every ratio the lookup is held to, measured side by side in one run on one
// sys.dat built from the shipped table, R times (3 by default):
//
//   one number     `printf '13800138000\n' | plimora-table lookup` against
//                  `sqlite3 sys.dat 'select 1'`: P pairs a run (21 by
//                  default), started alternately, the ratio of the medians
//                  of their wall times;
//   1M, 10M        plimora-table lookup of 1,000,000 and 10,000,000 numbers
//                  (bench/number_list.h) from a file to a file, against
//                  minimal_lookup, the least a C++ program does for the same
//                  output, with the table as `plimora-table export --all`
//                  writes it; the two outputs must be byte for byte the same;
//   start-up       first paint and peak memory of the program against a bare
//                  Qt label program, by startup_bench when it is built beside
//                  this program (left out, with a note, when it is not).
//
// --before TOOL measures another plimora-table (an earlier build) in the same
// rounds, so that a change is seen before and after under the same load. The
// load average is printed before and after every measurement: the machine
// may be shared. --no-ten-million leaves the 10,000,000 numbers out. The
// files go to DIR (/dev/shm/plimora-ratio-bench when there is /dev/shm),
// which is removed at the end.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "bench/number_list.h"
#include "plimora_table/table_text.h"

namespace {

namespace fs = std::filesystem;

constexpr const char *kOneNumber = "13800138000\n";

using Measure = bench::ChildRun;
using bench::loadAverage;

struct Options {
    int runs = 3;
    int pairs = 21;
    std::optional<std::string> before;
    bool tenMillion = true;
    fs::path dir;
};

// In memory when the machine has a memory file system, so that writing the
// outputs (600 MB each for 10,000,000 numbers) waits for no disk.
fs::path defaultDir() {
    const fs::path shm = "/dev/shm";
    return (::access(shm.c_str(), W_OK) == 0 ? shm : fs::temp_directory_path()) /
           "plimora-ratio-bench";
}

// Runs argv as a child with its standard input, output and error on the
// files given, and measures it.
Measure measure(const std::vector<std::string> &argv, const std::string &in, const std::string &out,
                const std::string &err) {
    return bench::runChild(argv, in, out, err);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool sameFiles(const std::string &a, const std::string &b) {
    std::ifstream x(a, std::ios::binary);
    std::ifstream y(b, std::ios::binary);
    std::vector<char> bx(1 << 20);
    std::vector<char> by(1 << 20);
    for (;;) {
        x.read(bx.data(), static_cast<std::streamsize>(bx.size()));
        y.read(by.data(), static_cast<std::streamsize>(by.size()));
        if (x.gcount() != y.gcount() ||
            std::memcmp(bx.data(), by.data(), static_cast<std::size_t>(x.gcount())) != 0) {
            return false;
        }
        if (x.gcount() == 0) {
            return true;
        }
    }
}

[[noreturn]] void fail(const std::string &message) {
    std::fprintf(stderr, "ratio_bench: %s\n", message.c_str());
    std::exit(1);
}

// A program measured against a yardstick: its name and its ratio in each run.
struct Tool {
    std::string name;  // "before", "after"
    std::string path;
};

using Ratios = std::map<std::string, std::vector<std::string>>;  // by row label, one per run

std::string format(const char *pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

class Bench {
public:
    Bench(Options options, std::vector<Tool> tools)
        : m_options(std::move(options)), m_tools(std::move(tools)) {}

    void prepare();
    void oneNumber(int run);
    void list(int run, long long count, const std::string &label, const std::string &goal);
    void startUp(int run);
    void summary() const;

private:
    std::string path(const std::string &name) const { return (m_options.dir / name).string(); }

    Options m_options;
    std::vector<Tool> m_tools;
    std::string m_store;
    std::string m_table;
    std::string m_sqlite3;
    Ratios m_ratios;
    std::vector<std::string> m_rows;  // labels in the order first met
    std::string m_loadBefore;

    void record(const std::string &label, const std::string &ratio) {
        if (m_ratios.find(label) == m_ratios.end()) {
            m_rows.push_back(label);
        }
        m_ratios[label].push_back(ratio);
    }
};

void Bench::prepare() {
    m_loadBefore = loadAverage();
    fs::remove_all(m_options.dir);
    fs::create_directories(m_options.dir);
    m_store = path("sys.dat");
    m_table = path("table.tsv");
    const std::size_t rows = table::buildSysdat(PLIMORA_SOURCE_DIR "/data/quelto.tsv", m_store);
    const Measure exported =
        measure({PLIMORA_TABLE, "export", "--all", "--store", m_store, "-o", m_table}, "/dev/null",
                "/dev/null", path("export.err"));
    if (exported.status != 0) {
        fail("plimora-table export --all failed; see " + path("export.err"));
    }
    std::ofstream(path("one.txt"), std::ios::binary) << kOneNumber;
    for (const char *candidate : {"/usr/bin/sqlite3", "/usr/local/bin/sqlite3"}) {
        if (::access(candidate, X_OK) == 0) {
            m_sqlite3 = candidate;
            break;
        }
    }
    std::printf("store %s: %zu rows from data/quelto.tsv\n", m_store.c_str(), rows);
    for (const Tool &tool : m_tools) {
        std::printf("%-6s %s\n", tool.name.c_str(), tool.path.c_str());
    }
}

void Bench::oneNumber(int run) {
    if (m_sqlite3.empty()) {
        if (run == 0) {
            std::printf("one number: left out, no sqlite3 (Debian: apt-get install sqlite3)\n");
        }
        return;
    }
    const std::string load = loadAverage();
    std::vector<double> sqlite;
    std::map<std::string, std::vector<double>> tools;
    for (int pair = 0; pair < m_options.pairs; ++pair) {
        // The first of a pair takes turns, so that neither always starts on
        // caches the other has just warmed.
        std::vector<std::size_t> order;
        for (std::size_t i = 0; i <= m_tools.size(); ++i) {
            order.push_back((i + static_cast<std::size_t>(pair)) % (m_tools.size() + 1));
        }
        for (const std::size_t i : order) {
            if (i == m_tools.size()) {
                const Measure m = measure({m_sqlite3, m_store, "select 1"}, "/dev/null",
                                          "/dev/null", path("sqlite3.err"));
                if (m.status != 0) {
                    fail("sqlite3 failed; see " + path("sqlite3.err"));
                }
                sqlite.push_back(m.wall);
            } else {
                const Measure m = measure({m_tools[i].path, "lookup", "--store", m_store},
                                          path("one.txt"), path("one.out"), path("one.err"));
                if (m.status != 0) {
                    fail(m_tools[i].name + ": lookup of one number failed; see " + path("one.err"));
                }
                tools[m_tools[i].name].push_back(m.wall);
            }
        }
    }
    const double base = median(sqlite);
    std::printf("one number, run %d: sqlite3 select 1 %.1f ms", run + 1, base * 1e3);
    for (const Tool &tool : m_tools) {
        const double t = median(tools[tool.name]);
        std::printf(", %s %.1f ms (%.2fx)", tool.name.c_str(), t * 1e3, t / base);
        record("one number / sqlite3 select 1 (<= 3), " + tool.name, format("%.2f", t / base));
    }
    std::printf(" (medians of %d; load %s -> %s)\n", m_options.pairs, load.c_str(),
                loadAverage().c_str());
}

void Bench::list(int run, long long count, const std::string &label, const std::string &goal) {
    const std::string numbers = path("numbers-" + label + ".txt");
    if (!fs::exists(numbers)) {
        bench::writeNumberList(numbers, count);
    }
    const std::string load = loadAverage();
    const std::string yardstickOut = path("minimal.tsv");
    // The yardstick first in odd runs, last in even ones.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i <= m_tools.size(); ++i) {
        order.push_back(run % 2 == 0 ? i : m_tools.size() - i);
    }
    Measure yardstick;
    std::map<std::string, Measure> tools;
    for (const std::size_t i : order) {
        if (i == m_tools.size()) {
            yardstick = measure({MINIMAL_LOOKUP, m_table, numbers, yardstickOut}, "/dev/null",
                                "/dev/null", path("minimal.err"));
            if (yardstick.status != 0) {
                fail("minimal_lookup failed; see " + path("minimal.err"));
            }
        } else {
            const std::string out = path(m_tools[i].name + ".tsv");
            const Measure m =
                measure({m_tools[i].path, "lookup", "--store", m_store, numbers, "-o", out},
                        "/dev/null", "/dev/null", path(m_tools[i].name + ".err"));
            if (m.status != 0) {
                fail(m_tools[i].name + ": lookup failed; see " + path(m_tools[i].name + ".err"));
            }
            tools[m_tools[i].name] = m;
        }
    }
    std::printf("%s numbers, run %d: minimal loop %.3f s (cpu %.3f s)", label.c_str(), run + 1,
                yardstick.wall, yardstick.cpu());
    for (const Tool &tool : m_tools) {
        const Measure &m = tools[tool.name];
        const std::string out = path(tool.name + ".tsv");
        if (!sameFiles(out, yardstickOut)) {
            fail(tool.name + ": the output differs from minimal_lookup's: " + out + " " +
                 yardstickOut);
        }
        fs::remove(out);
        std::printf(", %s %.3f s (cpu %.3f s, %.2fx)", tool.name.c_str(), m.wall, m.cpu(),
                    m.wall / yardstick.wall);
        record(label + " / minimal loop (<= " + goal + "), " + tool.name,
               format("%.2f", m.wall / yardstick.wall) + " (cpu " +
                   format("%.2f", m.cpu() / yardstick.cpu()) + ")");
    }
    fs::remove(yardstickOut);
    std::printf("; outputs identical (load %s -> %s)\n", load.c_str(), loadAverage().c_str());
}

void Bench::startUp(int run) {
    const std::string startup = (fs::path(BENCH_DIR) / "startup_bench").string();
    if (::access(startup.c_str(), X_OK) != 0) {
        if (run == 0) {
            std::printf("start-up: left out, %s is not built\n", startup.c_str());
        }
        return;
    }
    const std::string out = path("startup.out");
    const Measure m = measure({startup}, "/dev/null", out, path("startup.err"));
    if (m.status != 0) {
        std::printf("start-up, run %d: startup_bench failed (exit %d); see %s\n", run + 1, m.status,
                    path("startup.err").c_str());
        return;
    }
    // Its lines "first paint ms …" and "peak memory MiB …" end in the ratio
    // of the medians and the median of the rounds' ratios.
    std::ifstream in(out);
    std::string line;
    std::string loads;
    while (std::getline(in, line)) {
        for (const auto &[measure, goal] :
             {std::pair{"first paint ms", "1.10"}, std::pair{"peak memory MiB", "1.15"}}) {
            if (line.starts_with(measure)) {
                const std::size_t comma = line.rfind(',');
                const std::size_t space = line.rfind(' ', comma);
                record(std::string(measure) + " / bare Qt label (<= " + goal + ")",
                       line.substr(space + 1, comma - space - 1));
                std::printf("start-up, run %d: %s\n", run + 1, line.c_str());
            }
        }
        if (line.starts_with("load average")) {
            loads += (loads.empty() ? "" : ", ") + line;
        }
    }
    std::printf("start-up, run %d: %s\n", run + 1, loads.c_str());
}

void Bench::summary() const {
    std::printf("\n%-48s", "ratio (goal), wall time (cpu time)");
    for (int run = 0; run < m_options.runs; ++run) {
        std::printf(" %-18s", ("run " + std::to_string(run + 1)).c_str());
    }
    std::printf("\n");
    for (const std::string &label : m_rows) {
        std::printf("%-48s", label.c_str());
        for (const std::string &ratio : m_ratios.at(label)) {
            std::printf(" %-18s", ratio.c_str());
        }
        std::printf("\n");
    }
    std::printf("load average before %s, after %s\n", m_loadBefore.c_str(), loadAverage().c_str());
}

}  // namespace

int main(int argc, char **argv) {
    Options options;
    options.dir = defaultDir();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            options.runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--pairs" && i + 1 < argc) {
            options.pairs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--before" && i + 1 < argc) {
            options.before = fs::absolute(argv[++i]).string();
        } else if (arg == "--no-ten-million") {
            options.tenMillion = false;
        } else if (arg == "--dir" && i + 1 < argc) {
            options.dir = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: ratio_bench [--runs R] [--pairs P] [--before TOOL] "
                         "[--no-ten-million] [--dir DIR]\n");
            return 2;
        }
    }
    std::vector<Tool> tools;
    if (options.before) {
        tools.push_back({"before", *options.before});
    }
    tools.push_back({options.before ? "after" : "lookup", PLIMORA_TABLE});
    const std::time_t now = std::time(nullptr);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", std::localtime(&now));
    std::printf("ratio_bench, %s, %d runs, %ld cores, load average %s\n", date, options.runs,
                ::sysconf(_SC_NPROCESSORS_ONLN), loadAverage().c_str());
    Bench bench(options, tools);
    bench.prepare();
    for (int run = 0; run < options.runs; ++run) {
        bench.oneNumber(run);
        bench.list(run, 1000000, "1M", "1.3");
        if (options.tenMillion) {
            bench.list(run, 10000000, "10M", "1.1");
        }
        bench.startUp(run);
    }
    bench.summary();
    fs::remove_all(options.dir);
    return 0;
}
