// A kill -9 (or a power cut) at each step of the update the program runs when
// it starts beside a newer edition.dat leaves sys.dat as the old file, byte
// for byte, or as the complete new one; the next start completes the update
// and every row the user added answers. Each trial prints what the kill left.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "plimora_table/table_text.h"
#include "store/schema.h"
#include "tests/support/store_query.h"
#include "tests/support/temp_folder.h"
#include "tests/support/window_rows.h"

namespace {

using testing_support::queryText;

namespace fs = std::filesystem;
using Texts = std::array<std::string, 4>;

constexpr int kRanges = 20000;
constexpr int kUserRows = 20;
const Texts kMine = {"我的省", "我的市", "0999", "我的卡"};

struct ChildRun {
    int exitCode = -1;
    int signal = 0;
    std::string out;
};

// Runs the child on folder, killed at point unless it is empty.
ChildRun runChild(const fs::path &folder, const std::string &point, const fs::path &log) {
    const pid_t child = ::fork();
    if (child == 0) {
        // The messages on stdout; Qt's own warnings go elsewhere.
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int errors =
            ::open((log.string() + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 1);
        ::dup2(errors, 2);
        const std::string folderText = folder.string();
        const char *argv[] = {STARTUP_CHILD, folderText.c_str(),
                              point.empty() ? nullptr : point.c_str(), nullptr};
        ::execv(STARTUP_CHILD, const_cast<char *const *>(argv));
        ::_exit(127);
    }
    int status = 0;
    ChildRun run;
    if (child > 0 && ::waitpid(child, &status, 0) == child) {
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    std::ostringstream text;
    text << std::ifstream(log).rdbuf();
    run.out = text.str();
    return run;
}

std::string readBytes(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string userNumber(int k) {
    return std::to_string(1300000 + k * 1000 * 20 + 15) + "0000";
}

// Edition 2: ranges of ten keys with gaps of ten; edition 3 closes the gaps.
void writeEdition(const fs::path &work, int serial, const fs::path &out) {
    const fs::path tsv = work / "table.tsv";
    const fs::path edition = work / "edition.tsv";
    {
        std::ofstream table(tsv);
        table << store::schema::kTsvHeader << "\n";
        for (int i = 0; i < kRanges; ++i) {
            const int low = 1300000 + i * 20;
            table << low << "\t" << low + (serial == 2 ? 9 : 19) << "\t省" << i % 31 << "\t市"
                  << i % 50 << "\t0" << 100 + i % 800 << "\t版" << serial << "\n";
        }
        std::ofstream(edition) << "key\tvalue\nedition\t" << serial
                               << "\ndate\t2027-01-01\nsources\tcrash test\n";
    }
    fs::remove(out);
    table::buildSysdat(tsv.string(), out.string(), edition.string());
}

TEST(CrashDuringTheStartUpUpdate, AtEachStepTheFolderKeepsOneWholeTable) {
    testing_support::TempFolder base;
    const fs::path work = base.path() / "work";
    const fs::path master = base.path() / "master";
    fs::create_directories(work);
    fs::create_directories(master);
    writeEdition(work, 2, master / "sys.dat");
    for (int k = 0; k < kUserRows; ++k) {
        ASSERT_TRUE(testing_support::addLikeTheWindow(master.string(), userNumber(k), kMine));
    }
    writeEdition(work, 3, master / "edition.dat");
    const std::string oldBytes = readBytes(master / "sys.dat");
    const fs::path app = base.path() / "plimora";
    const fs::path store = app / "sys.dat";

    auto expectCompleteNewStore = [&](const std::string &when) {
        EXPECT_EQ(queryText(store, "pragma integrity_check"), "ok") << when;
        EXPECT_EQ(queryText(store, "select value from quelto_meta where key = 'edition'"), "3")
            << when;
        EXPECT_EQ(queryText(store, "select count(*) from quelto"),
                  std::to_string(kRanges + 2 * kUserRows))
            << when << ": each user row cuts an edition row in two, and is there itself";
        for (int k = 0; k < kUserRows; ++k) {
            EXPECT_EQ(testing_support::lookUpLikeTheWindow(app.string(), userNumber(k)), kMine)
                << when << ": " << userNumber(k);
        }
    };

    const struct {
        const char *point;
        const char *left;  // what sys.dat is after the kill
    } points[] = {
        {"update-locked", "old file"},   {"update-shipped", "old file"},
        {"update-written", "old file"},  {"update-backed-up", "old file"},
        {"update-replaced", "new file"},
    };
    for (const auto &p : points) {
        fs::remove_all(app);
        fs::copy(master, app);
        const ChildRun killed = runChild(app, p.point, base.path() / "log.txt");
        ASSERT_EQ(killed.signal, SIGKILL) << p.point << ": " << killed.out;
        std::string state;
        if (!fs::exists(store)) {
            state = "NO FILE";
        } else if (readBytes(store) == oldBytes) {
            state = "old file";
        } else {
            state = "new file";
            expectCompleteNewStore(std::string("after a kill at ") + p.point);
        }
        EXPECT_EQ(state, p.left) << p.point;
        std::string others;
        for (const auto &entry : fs::directory_iterator(app)) {
            const std::string name = entry.path().filename().string();
            if (name != "sys.dat" && name != "edition.dat") {
                others += " " + (name.ends_with(".bak") ? std::string("backup") : name);
            }
        }
        std::cout << "[ kill at " << p.point << " ] sys.dat = " << state
                  << ", also:" << (others.empty() ? " nothing" : others) << "\n";

        // The next start finishes the work: told once when it updates now.
        const ChildRun again = runChild(app, "", base.path() / "log.txt");
        EXPECT_EQ(again.exitCode, 0) << p.point << ": " << again.out;
        if (state == "old file") {
            EXPECT_NE(
                again.out.find("号码表已更新到第 3 版（2027-01-01）。 您添加的 20 行都已保留。"),
                std::string::npos)
                << p.point << ": " << again.out;
        } else {
            EXPECT_EQ(again.out, "") << p.point;
        }
        expectCompleteNewStore(std::string("after the start that followed a kill at ") + p.point);
        EXPECT_FALSE(fs::exists(app / "sys.dat.part")) << p.point;
        std::size_t backups = 0;
        for (const auto &entry : fs::directory_iterator(app)) {
            backups += entry.path().extension() == ".bak" ? 1 : 0;
        }
        EXPECT_EQ(backups, 1u) << p.point;
    }
}

}  // namespace
