// A kill -9 (or a power cut) at any moment of an update leaves sys.dat as
// either the old file, byte for byte, or the complete new one; never a
// mixture, never no file. Run again, the update completes. Each trial prints
// what the kill left behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <iostream>
#include <thread>

#include "tests/plimora_table/tool_runner.h"

namespace {

using namespace table_test;

constexpr int kRanges = 30000;
constexpr int kUserRows = 20;
const std::array<std::string, 4> kMine = {"我的省", "我的市", "0999", "我的卡"};

// Edition 2: ranges of ten keys with gaps of ten; edition 3 closes the gaps,
// so that it covers every row the user added in them.
std::string table(int edition) {
    std::vector<std::string> lines;
    for (int i = 0; i < kRanges; ++i) {
        const int low = 1300000 + i * 20;
        const int high = low + (edition == 2 ? 9 : 19);
        lines.push_back(std::to_string(low) + "\t" + std::to_string(high) + "\t省" +
                        std::to_string(i % 31) + "\t市" + std::to_string(i % 50) + "\t0" +
                        std::to_string(100 + i % 800) + "\t版" + std::to_string(edition));
    }
    return tsv(lines);
}

std::string userNumber(int k) {
    return std::to_string(1300000 + k * 1500 * 20 + 15) + "0000";
}

class CrashDuringUpdate : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_data = new TempDir;
        const TempDir &d = *s_data;
        fs::create_directories(d.path() / "e2");
        fs::create_directories(d.path() / "e3");
        fs::create_directories(d.path() / "app");
        writeFile(d / "e2/quelto.tsv", table(2));
        writeFile(d / "e2/edition.tsv", editionFile(2));
        writeFile(d / "e3/quelto.tsv", table(3));
        writeFile(d / "e3/edition.tsv", editionFile(3));
        run({"build", "--store", d / "app/sys.dat", "--table", d / "e2/quelto.tsv"});
        for (int k = 0; k < kUserRows; ++k) {
            addLikeTheWindow(d / "app", userNumber(k), kMine);
        }
        s_oldSum = new std::string(checksum(d / "app/sys.dat"));
    }
    static void TearDownTestSuite() {
        delete s_data;
        delete s_oldSum;
    }

    void SetUp() override {
        fs::create_directories(m_dir.path() / "app");
        fs::copy_file(*s_data / "app/sys.dat", store());
    }
    std::string store() const { return m_dir / "app/sys.dat"; }
    std::vector<std::string> updateArgs() const {
        return {"update", "--store", store(), "--table", *s_data / "e3/quelto.tsv"};
    }

    // "old" or "new" for what sys.dat holds, failing the test for anything
    // else; and the other files the kill left in the folder.
    std::string whatIsLeft() const {
        std::string state;
        if (!fs::exists(store())) {
            ADD_FAILURE() << "no sys.dat at all";
            state = "NO FILE";
        } else if (checksum(store()) == *s_oldSum) {
            state = "old file";
        } else {
            expectCompleteNewStore();
            state = "new file";
        }
        std::string others;
        for (const auto &entry : fs::directory_iterator(m_dir.path() / "app")) {
            const std::string name = entry.path().filename().string();
            if (name != "sys.dat") {
                others += " " + (name.ends_with(".bak") ? std::string("backup") : name);
            }
        }
        return state + ", also:" + (others.empty() ? " nothing" : others);
    }

    void expectCompleteNewStore() const {
        EXPECT_EQ(queryText(store(), "pragma integrity_check"), "ok");
        EXPECT_EQ(queryText(store(), "select rtreecheck('quelto')"), "ok");
        EXPECT_EQ(metadataValue(store(), "edition"), "3");
        EXPECT_EQ(queryText(store(), "select count(*) from quelto"),
                  std::to_string(kRanges + 2 * kUserRows));
        for (int k = 0; k < kUserRows; k += 7) {
            const auto found = lookUpLikeTheWindow(m_dir / "app", userNumber(k));
            EXPECT_TRUE(found && *found == kMine) << userNumber(k);
        }
    }

    void expectUpdateCompletes() {
        const Result again = run(updateArgs());
        EXPECT_EQ(again.exitCode, 0) << again.err;
        expectCompleteNewStore();
        EXPECT_FALSE(fs::exists(store() + ".part"));
    }

    TempDir m_dir;
    static TempDir *s_data;
    static std::string *s_oldSum;
};
TempDir *CrashDuringUpdate::s_data = nullptr;
std::string *CrashDuringUpdate::s_oldSum = nullptr;

TEST_F(CrashDuringUpdate, AtEachNamedStep) {
    const struct {
        const char *point;
        const char *expected;
    } points[] = {
        {"update-locked", "old file, also: nothing"},
        {"update-shipped", "old file, also: sys.dat.part"},
        {"update-written", "old file, also: sys.dat.part"},
        {"update-backed-up", "old file, also:"},  // the .part and the backup, in either order
        {"update-replaced", "new file, also: backup"},
    };
    for (const auto &p : points) {
        fs::remove_all(m_dir.path() / "app");
        SetUp();
        RunOptions faulty;
        faulty.environment = {std::string("PLIMORA_CRASH_AT=") + p.point};
        faulty.program = PLIMORA_TABLE_FAULTY;
        const Result killed = run(updateArgs(), faulty);
        EXPECT_EQ(killed.signal, SIGKILL) << p.point << ": " << killed.err;
        const std::string left = whatIsLeft();
        EXPECT_TRUE(left.starts_with(p.expected)) << p.point << ": " << left;
        std::cout << "[ kill at " << p.point << " ] sys.dat = " << left << "\n";
        expectUpdateCompletes();
    }
}

TEST_F(CrashDuringUpdate, AtMomentsSpreadOverTheWholeRun) {
    const auto began = std::chrono::steady_clock::now();
    ASSERT_EQ(run(updateArgs()).exitCode, 0);
    const auto took = std::chrono::steady_clock::now() - began;
    // Kills at even steps over the run as timed once; the run may take longer
    // this time, so the steps go on, growing, until one comes after its end.
    constexpr int kTrials = 12;
    constexpr int kMostTrials = 40;
    int old = 0;
    int fresh = 0;
    bool firstKilled = false;
    bool reachedTheEnd = false;
    auto delay = took / (2 * kTrials);
    for (int trial = 0; trial < kMostTrials && !reachedTheEnd; ++trial) {
        fs::remove_all(m_dir.path() / "app");
        SetUp();
        const pid_t pid = start(updateArgs());
        std::this_thread::sleep_for(delay);
        ::kill(pid, SIGKILL);
        const Result result = finish(pid);
        const bool killed = result.signal == SIGKILL;
        firstKilled = firstKilled || (trial == 0 && killed);
        reachedTheEnd = !killed;
        const std::string left = whatIsLeft();
        (left.starts_with("old") ? old : fresh) += 1;
        std::cout << "[ kill after "
                  << std::chrono::duration_cast<std::chrono::milliseconds>(delay).count()
                  << " ms of ~"
                  << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ] "
                  << (killed ? "killed" : "had finished") << "; sys.dat = " << left << "\n";
        expectUpdateCompletes();
        delay = trial + 1 < kTrials ? delay + took / kTrials : delay * 3 / 2;
    }
    std::cout << "[ " << old + fresh << " kills: " << old << " left the old file, " << fresh
              << " the new one ]\n";
    // The first kill met the update at its start and the last came after its
    // end, so the kills between covered the whole run; each left a whole file
    // (whatIsLeft fails the test otherwise).
    EXPECT_TRUE(firstKilled);
    EXPECT_TRUE(reachedTheEnd);
}

TEST(CrashDuringImport, BeforeTheCommitLeavesTheStoreAsItWas) {
    TempDir dir;
    fs::create_directories(dir.path() / "app");
    writeFile(dir / "table.tsv", tsv({"1380000\t1380999\t北京\t北京\t010\t中国移动"}));
    writeFile(dir / "edition.tsv", editionFile(2));
    ASSERT_EQ(run({"build", "--store", dir / "app/sys.dat", "--table", dir / "table.tsv"}).exitCode,
              0);
    const std::string before = checksum(dir / "app/sys.dat");
    writeFile(dir / "mine.tsv", tsv({"1990000\t1990009\t广东\t广州\t020\t我的卡"}));
    const std::vector<std::string> import = {"import", dir / "mine.tsv", "--store",
                                             dir / "app/sys.dat"};
    RunOptions faulty;
    faulty.environment = {"PLIMORA_CRASH_AT=import-inserted"};
    faulty.program = PLIMORA_TABLE_FAULTY;
    EXPECT_EQ(run(import, faulty).signal, SIGKILL);
    // The next writer rolls the interrupted write back, then does its own.
    EXPECT_EQ(run(import).exitCode, 0);
    EXPECT_NE(checksum(dir / "app/sys.dat"), before);
    EXPECT_EQ(queryText(dir / "app/sys.dat", "select count(*) from quelto"), "2");
}

// Leaves what a writer killed while it wrote the store's pages leaves: the
// store partly written and, beside it, a hot journal (one with a valid
// header) holding what those pages were.
void leaveHotJournal(const std::string &store) {
    const pid_t child = ::fork();
    if (child == 0) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(store.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        // A cache of a few pages spills changed pages into the file long
        // before the commit, as a big write does.
        sqlite3_exec(db,
                     "pragma cache_size = 2; begin; "
                     "with recursive k(x) as (select 1500000 union all select x + 1 from k "
                     "where x < 1503000) "
                     "insert into quelto (号码1, 号码2, 省份, 城市, 区号, 卡信息) "
                     "select x, x, '半', '截', '010', '写入' from k",
                     nullptr, nullptr, nullptr);
        std::raise(SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
}

// A writer killed halfway leaves a hot journal. A command that only reads
// puts the interrupted write back first when it may write the file and its
// folder, as a writer would; where it may not, it says what happened and
// what to do, never that the file is read-only.
TEST(CrashDuringImport, ReadCommandsAfterwardsRollItBackOrSayWhatToDo) {
    TempDir dir;
    const fs::path folder = dir.path() / "app";
    fs::create_directories(folder);
    const std::string store = (folder / "sys.dat").string();
    writeFile(dir / "table.tsv", tsv({"1380000\t1380999\t北京\t北京\t010\t中国移动"}));
    writeFile(dir / "edition.tsv", editionFile(2));
    ASSERT_EQ(run({"build", "--store", store, "--table", dir / "table.tsv"}).exitCode, 0);
    leaveHotJournal(store);
    ASSERT_NE(readFile(store + "-journal").substr(0, 8), std::string(8, '\0'))
        << "no hot journal to test with";
    writeFile(dir / "numbers.txt", "13800138000\n");
    const std::vector<std::vector<std::string>> reads = {
        {"check", "--store", store},
        {"export", "--all", "--store", store},
        {"lookup", dir / "numbers.txt", "--store", store},
        {"update", "--rows-from", store, "--store", dir / "other.dat"},
    };

    // Nobody may write the folder: each command says what to do.
    if (::geteuid() == 0) {
        fs::permissions(dir.path(), fs::perms::all);
        fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
        fs::permissions(store, fs::perms::owner_read | fs::perms::owner_write |
                                   fs::perms::group_read | fs::perms::others_read);
        fs::permissions(store + "-journal", fs::perms::owner_read | fs::perms::owner_write |
                                                fs::perms::group_read | fs::perms::others_read);
        fs::permissions(dir / "numbers.txt", fs::perms::all);
        for (const auto &args :
             std::vector<std::vector<std::string>>(reads.begin(), reads.end() - 1)) {
            RunOptions nobody;
            nobody.asNobody = true;
            const Result result = run(args, nobody);
            if (result.exitCode == 125 && result.err == kCannotDropRights) {
                GTEST_SKIP() << "running as root without the right to change user";
            }
            EXPECT_EQ(result.exitCode, 1) << args.front() << ": " << result.out;
            EXPECT_NE(
                result.err.find(store + ": 上次写入这个文件时被中断了（旁边留有 sys.dat-journal）"),
                std::string::npos)
                << args.front() << ": " << result.err;
            EXPECT_EQ(result.err.find("只读"), std::string::npos)
                << args.front() << ": " << result.err;
        }
        EXPECT_TRUE(fs::exists(store + "-journal")) << "the journal was lost";
    }

    // Whoever may write it reads the store as it was before the import.
    for (const auto &args : reads) {
        const Result result = run(args);
        const bool update = args.front() == "update";
        EXPECT_EQ(result.exitCode, update ? 1 : 0) << args.front() << ": " << result.err;
        EXPECT_EQ(result.err.find("只读"), std::string::npos) << args.front() << ": " << result.err;
        EXPECT_FALSE(fs::exists(store + "-journal")) << args.front();
        if (args.front() == "export") {
            EXPECT_EQ(result.out, tsv({"1380000\t1380999\t北京\t北京\t010\t中国移动"}));
        }
        if (args.front() == "lookup") {
            EXPECT_NE(result.out.find("13800138000\t北京\t北京\t010\t中国移动\t找到"),
                      std::string::npos)
                << result.out;
        }
    }
    EXPECT_EQ(queryText(store, "select count(*) from quelto"), "1");
}

}  // namespace
