// batch_bench [--numbers N] [--runs R] [--no-sql] [--table quelto.tsv] [--dir DIR]
//
// Times `plimora-table lookup` on a list of N numbers (1,000,000 by default)
// from a file to a file, R times (3 by default), and in the same run the same
// list through the window's per-number path: store::lookUp() on a
// DataConnection for every number, its four columns read and written out in
// the same form. Both run as child processes of this one on the same
// sys.dat (built from the shipped table), and each is reported with its wall
// time, CPU time and largest resident memory (what /usr/bin/time -v calls
// "Maximum resident set size"). The two outputs are compared byte for byte.
// The load average is printed before and after each run: the machine is
// shared. --no-sql leaves the per-number path out (for very long lists).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "bench/number_list.h"
#include "plimora_table/table_text.h"
#include "store/data_connection.h"
#include "store/number_text.h"
#include "store/schema.h"
#include "store/store_error.h"

namespace {

namespace fs = std::filesystem;

using Measure = bench::ChildRun;
using bench::loadAverage;

// Runs argv as a child, its standard output and error to the files given.
Measure measure(const std::vector<std::string> &argv, const std::string &out,
                const std::string &err) {
    return bench::runChild(argv, "/dev/null", out, err);
}

void print(const char *what, const Measure &m) {
    std::printf("%-22s %7.3f s wall, %6.3f s user, %6.3f s sys, max RSS %6.1f MB, exit %d\n", what,
                m.wall, m.user, m.system, static_cast<double>(m.maxRssKb) / 1024.0, m.status);
}

// The window's path for every number, written in the form lookup writes a
// plain list in, so that the two outputs can be compared byte for byte.
int sqlChild(const std::string &storePath, const std::string &in, const std::string &outPath) {
    store::DataConnection connection;
    connection.setStoreFile(storePath);
    std::ifstream numbers(in, std::ios::binary);
    std::FILE *out = std::fopen(outPath.c_str(), "wb");
    std::string output = "号码\t省份\t城市\t区号\t卡信息\t状态\n";
    std::string line;
    try {
        while (std::getline(numbers, line)) {
            output += line;
            const store::MobileNumber number = store::readMobileNumber(line);
            if (number.problem != store::NumberProblem::None) {
                output += "\t\t\t\t\t无效：" + store::problemText(number);
            } else if (!store::lookUp(connection, number.digits)) {
                output += "\t\t\t\t\t未找到";
            } else {
                store::Recordset &set = connection.Recordset();
                for (const std::string_view column :
                     {store::schema::kProvince, store::schema::kCity, store::schema::kAreaCode,
                      store::schema::kCard}) {
                    output += '\t';
                    output += set.Fields(column).text();
                }
                output += "\t找到";
            }
            output += '\n';
            if (output.size() > (1 << 18)) {
                std::fwrite(output.data(), 1, output.size(), out);
                output.clear();
            }
        }
    } catch (const store::StoreError &e) {
        std::fprintf(stderr, "error %d: %s\n", e.number(), e.description().c_str());
        return 1;
    }
    std::fwrite(output.data(), 1, output.size(), out);
    return std::fclose(out) == 0 ? 0 : 1;
}

bool sameFiles(const std::string &a, const std::string &b) {
    std::ifstream x(a, std::ios::binary);
    std::ifstream y(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(x), {}, std::istreambuf_iterator<char>(y), {});
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 5 && std::strcmp(argv[1], "--sql-child") == 0) {
        return sqlChild(argv[2], argv[3], argv[4]);
    }
    long long count = 1000000;
    int runs = 3;
    bool sql = true;
    std::string table = PLIMORA_SOURCE_DIR "/data/quelto.tsv";
    fs::path dir = fs::temp_directory_path() / "plimora-batch-bench";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--numbers" && i + 1 < argc) {
            count = std::stoll(argv[++i]);
        } else if (arg == "--runs" && i + 1 < argc) {
            runs = std::stoi(argv[++i]);
        } else if (arg == "--no-sql") {
            sql = false;
        } else if (arg == "--table" && i + 1 < argc) {
            table = argv[++i];
        } else if (arg == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: batch_bench [--numbers N] [--runs R] [--no-sql] [--table T] "
                         "[--dir DIR]\n");
            return 2;
        }
    }
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string storePath = (dir / "sys.dat").string();
    const std::string numbers = (dir / "numbers.txt").string();
    const auto rows = table::buildSysdat(table, storePath);
    bench::writeNumberList(numbers, count);
    std::printf("store: %zu rows from %s; list: %lld numbers, %ju bytes, in %s\n", rows,
                table.c_str(), count, static_cast<std::uintmax_t>(fs::file_size(numbers)),
                dir.c_str());

    std::vector<Measure> batch;
    for (int r = 0; r < runs; ++r) {
        const std::string before = loadAverage();
        batch.push_back(measure({PLIMORA_TABLE, "lookup", "--store", storePath, numbers, "-o",
                                 (dir / "batch.tsv").string()},
                                (dir / "batch.out").string(), (dir / "batch.err").string()));
        print(("lookup, run " + std::to_string(r + 1)).c_str(), batch.back());
        std::printf("%-22s load average %s before, %s after\n", "", before.c_str(),
                    loadAverage().c_str());
    }
    std::sort(batch.begin(), batch.end(),
              [](const Measure &a, const Measure &b) { return a.wall < b.wall; });
    print("lookup, median", batch[batch.size() / 2]);
    std::printf("%s",
                [&] {
                    std::ifstream in(dir / "batch.err");
                    return std::string(std::istreambuf_iterator<char>(in), {});
                }()
                    .c_str());

    if (sql) {
        const std::string before = loadAverage();
        const Measure perNumber = measure(
            {"/proc/self/exe", "--sql-child", storePath, numbers, (dir / "sql.tsv").string()},
            (dir / "sql.out").string(), (dir / "sql.err").string());
        print("store::lookUp each", perNumber);
        std::printf("%-22s load average %s before, %s after\n", "", before.c_str(),
                    loadAverage().c_str());
        const bool same = sameFiles((dir / "batch.tsv").string(), (dir / "sql.tsv").string());
        std::printf("outputs %s; per-number path / lookup (median): %.1f times the wall time\n",
                    same ? "identical" : "DIFFER", perNumber.wall / batch[batch.size() / 2].wall);
        if (!same) {
            return 1;
        }
    }
    fs::remove_all(dir);
    return 0;
}
