// Bad input gets a message that names the file and the problem, a non-zero
// exit code, and leaves the store exactly as it was.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/mount.h>
#include <unistd.h>

#include <functional>

#include "tests/plimora_table/tool_runner.h"

namespace {

using namespace table_test;

const std::vector<std::string> kTable = {"1380000\t1380999\t北京\t北京\t010\t中国移动"};
const std::vector<std::string> kNewTable = {"1380000\t1380999\t北京\t北京\t010\t中国移动",
                                            "1990000\t1990999\t广东\t深圳\t0755\t中国电信"};

// Fills dir with sys.dat of edition 2 holding one row of the user's, and the
// text tables of editions 2 and 3 in e2/ and e3/.
void prepare(const TempDir &dir) {
    fs::create_directories(dir.path() / "e2");
    fs::create_directories(dir.path() / "e3");
    writeFile(dir / "e2/quelto.tsv", tsv(kTable));
    writeFile(dir / "e2/edition.tsv", editionFile(2));
    writeFile(dir / "e3/quelto.tsv", tsv(kNewTable));
    writeFile(dir / "e3/edition.tsv", editionFile(3));
    run({"build", "--store", dir / "sys.dat", "--table", dir / "e2/quelto.tsv"});
    addLikeTheWindow(dir.path().string(), "16600001111", {"上海", "上海", "021", "我的"});
}

// Each case of the table-driven tests prepares a folder of its own; the
// other tests work in m_dir, prepared by prepareFolder().
class BadInput : public ::testing::Test {
protected:
    void prepareFolder() const { prepare(m_dir); }
    std::string store() const { return m_dir / "sys.dat"; }
    std::vector<std::string> update() const {
        return {"update", "--store", store(), "--table", m_dir / "e3/quelto.tsv"};
    }

    TempDir m_dir;
};

using Setup = std::function<void(const TempDir &)>;

struct Case {
    const char *what;
    Setup setup;
    std::vector<std::string> args;  // "@" stands for the test folder
    std::vector<const char *> says;
};

std::vector<std::string> expand(const std::vector<std::string> &args, const TempDir &dir) {
    std::vector<std::string> out;
    for (std::string arg : args) {
        if (arg.starts_with("@")) {
            arg = dir.path().string() + arg.substr(1);
        }
        out.push_back(arg);
    }
    return out;
}

void expectRefused(const Case &c) {
    TempDir dir;
    prepare(dir);
    c.setup(dir);
    const bool haveStore = fs::is_regular_file(dir / "sys.dat");
    const std::string before = haveStore ? checksum(dir / "sys.dat") : "";
    const Result result = run(expand(c.args, dir));
    EXPECT_EQ(result.exitCode, 1) << c.what << "\n" << result.out << result.err;
    for (const char *text : c.says) {
        std::string expected = text;
        if (expected.starts_with("@")) {
            expected = dir.path().string() + expected.substr(1);
        }
        EXPECT_NE(result.err.find(expected), std::string::npos)
            << c.what << ": no \"" << expected << "\" in\n"
            << result.err;
    }
    if (haveStore) {
        EXPECT_EQ(checksum(dir / "sys.dat"), before) << c.what << ": the store changed";
    }
    EXPECT_FALSE(fs::exists(dir / "sys.dat.part")) << c.what;
    for (const auto &entry : fs::directory_iterator(dir.path())) {
        EXPECT_NE(entry.path().extension(), ".bak") << c.what << ": a backup was left";
    }
}

const std::vector<std::string> kUpdate = {"update", "--store", "@/sys.dat", "--table",
                                          "@/e3/quelto.tsv"};
std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string> &more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

void nothing(const TempDir &) {}
void replaceStore(const TempDir &dir, const std::string &bytes) {
    fs::remove(dir / "sys.dat");
    writeFile(dir / "sys.dat", bytes);
}

TEST_F(BadInput, TheStoreFile) {
    const std::vector<std::vector<std::string>> commands = {
        kUpdate,
        {"import", "@/rows.tsv", "--store", "@/sys.dat"},
        {"export", "--store", "@/sys.dat"},
        {"check", "--store", "@/sys.dat"},
    };
    const std::vector<Case> stores = {
        {"missing",
         [](const TempDir &d) { fs::remove(d / "sys.dat"); },
         {},
         {"@/sys.dat: 找不到这个文件"}},
        {"a folder",
         [](const TempDir &d) {
             fs::remove(d / "sys.dat");
             fs::create_directory(d / "sys.dat");
         },
         {},
         {"@/sys.dat: 这是一个文件夹"}},
        {"garbage",
         [](const TempDir &d) { replaceStore(d, std::string(8192, '\x5A')); },
         {},
         {"@/sys.dat: 不是 SQLite 存储文件"}},
        {"empty", [](const TempDir &d) { replaceStore(d, ""); }, {}, {"@/sys.dat: 是空文件"}},
        {"cut short",
         [](const TempDir &d) {
             const std::string bytes = readFile(d / "sys.dat");
             replaceStore(d, bytes.substr(0, 2048));
         },
         {},
         {"@/sys.dat: "}},
        {"no table quelto",
         [](const TempDir &d) {
             replaceStore(d, "");
             execSql(d / "sys.dat", "create table other (a)");
         },
         {},
         {"@/sys.dat: 没有 quelto 表"}},
        {"a column missing",
         [](const TempDir &d) {
             replaceStore(d, "");
             execSql(d / "sys.dat", "create table quelto (号码1, 号码2, 省份, 城市, 区号)");
         },
         {},
         {"@/sys.dat: quelto 表缺少列 卡信息"}},
    };
    for (const auto &command : commands) {
        for (const Case &s : stores) {
            Case c = s;
            c.args = command;
            const std::string what = command.front() + ", store " + s.what;
            c.what = what.c_str();
            auto setup = s.setup;
            c.setup = [setup](const TempDir &d) {
                writeFile(d / "rows.tsv", tsv({"1990000\t1990000\t广东\t广州\t020\t中国电信"}));
                setup(d);
            };
            expectRefused(c);
        }
    }
}

TEST_F(BadInput, StoresThatMayNotBeWritten) {
    const std::vector<Case> cases = {
        {"read-only file",
         [](const TempDir &d) { fs::permissions(d / "sys.dat", fs::perms::owner_read); },
         kUpdate,
         {"@/sys.dat: 文件是只读的"}},
        {"read-only file, import",
         [](const TempDir &d) {
             writeFile(d / "rows.tsv", tsv({"1990000\t1990000\t广东\t广州\t020\t中国电信"}));
             fs::permissions(d / "sys.dat", fs::perms::owner_read | fs::perms::group_read);
         },
         {"import", "@/rows.tsv", "--store", "@/sys.dat"},
         {"@/sys.dat: 文件是只读的"}},
        {"WAL mode",
         [](const TempDir &d) { execSql(d / "sys.dat", "pragma journal_mode=wal"); },
         kUpdate,
         {"@/sys.dat: 文件处于 WAL 模式"}},
    };
    for (const Case &c : cases) {
        expectRefused(c);
    }
}

TEST_F(BadInput, TheNewEditionsFiles) {
    const std::vector<Case> cases = {
        {"table missing",
         [](const TempDir &d) { fs::remove(d / "e3/quelto.tsv"); },
         kUpdate,
         {"@/e3/quelto.tsv: 找不到号码表"}},
        {"table is a folder",
         [](const TempDir &d) {
             fs::remove(d / "e3/quelto.tsv");
             fs::create_directory(d / "e3/quelto.tsv");
         },
         kUpdate,
         {"@/e3/quelto.tsv: "}},
        {"table line malformed",
         [](const TempDir &d) {
             writeFile(d / "e3/quelto.tsv",
                       tsv({kNewTable[0], "1990000\tx\t广东\t深圳\t0755\t电信"}));
         },
         kUpdate,
         {"@/e3/quelto.tsv:3: 号码2 不是 7 位的号码前缀"}},
        {"table without header",
         [](const TempDir &d) { writeFile(d / "e3/quelto.tsv", kNewTable[0] + "\n"); },
         kUpdate,
         {"@/e3/quelto.tsv:1: 第一行必须是"}},
        {"table in GBK",
         [](const TempDir &d) {
             writeFile(d / "e3/quelto.tsv",
                       tsv({"1380000\t1380999\t\xB1\xB1\xBE\xA9\t\xB1\xB1\xBE\xA9\t010\tx"}));
         },
         kUpdate,
         {"@/e3/quelto.tsv:2: 文字编码不是 UTF-8，看起来是 GBK/GB18030"}},
        {"garbage table",
         [](const TempDir &d) { writeFile(d / "e3/quelto.tsv", std::string(3 << 20, '\x01')); },
         kUpdate,
         {"@/e3/quelto.tsv:1: 这一行太长"}},
        {"edition missing",
         [](const TempDir &d) { fs::remove(d / "e3/edition.tsv"); },
         kUpdate,
         {"@/e3/edition.tsv: 找不到版本说明文件"}},
        {"edition without serial",
         [](const TempDir &d) { writeFile(d / "e3/edition.tsv", "key\tvalue\ndate\t2027\n"); },
         kUpdate,
         {"@/e3/edition.tsv: 缺少 edition"}},
        {"edition claims a tool key",
         [](const TempDir &d) {
             writeFile(d / "e3/edition.tsv", editionFile(3) + "shipped_rows\t5\n");
         },
         kUpdate,
         {"@/e3/edition.tsv:5: 键 shipped_rows 由工具自己写入"}},
        {"rows-from missing",
         nothing,
         with(kUpdate, {"--rows-from", "@/old/sys.dat"}),
         {"@/old/sys.dat: 找不到这个文件"}},
        {"shipped-from garbage",
         [](const TempDir &d) { writeFile(d / "new.dat", "SQLite format 2 and then some"); },
         {"update", "--store", "@/sys.dat", "--shipped-from", "@/new.dat"},
         {"@/new.dat: 不是 SQLite 存储文件"}},
        {"build over a store",
         nothing,
         {"build", "--store", "@/sys.dat", "--table", "@/e3/quelto.tsv"},
         {"@/sys.dat: 已经存在"}},
    };
    for (const Case &c : cases) {
        expectRefused(c);
    }
}

TEST_F(BadInput, ImportFiles) {
    auto file = [](std::string bytes) {
        return [bytes](const TempDir &d) { writeFile(d / "rows.tsv", bytes); };
    };
    const std::vector<std::string> import = {"import", "@/rows.tsv", "--store", "@/sys.dat"};
    const std::vector<Case> cases = {
        {"missing", nothing, import, {"@/rows.tsv: 找不到这个文件"}},
        {"a folder",
         [](const TempDir &d) { fs::create_directory(d / "rows.tsv"); },
         import,
         {"@/rows.tsv: 这是一个文件夹"}},
        {"empty", file(""), import, {"@/rows.tsv: 是空文件"}},
        {"wrong columns",
         file("号码\t号码2\t省份\t城市\t区号\t卡信息\n"),
         import,
         {"@/rows.tsv:1: ", "不认识的列 \"号码\""}},
        {"a column missing",
         file("号码1\t号码2\t省份\t城市\t区号\n"),
         import,
         {"@/rows.tsv:1: 缺少列 卡信息"}},
        {"a column twice",
         file("号码1\t号码2\t省份\t城市\t区号\t卡信息\t城市\n"),
         import,
         {"@/rows.tsv:1: 列 城市 出现了两次"}},
        {"GBK",
         file(tsv({"1990000\t1990000\t\xB9\xE3\xB6\xAB\t\xB9\xE3\xD6\xDD\t020\tx"})),
         import,
         {"@/rows.tsv:2: 文字编码不是 UTF-8，看起来是 GBK/GB18030"}},
        {"UTF-16", file("\xFF\xFE\x37\x00"), import, {"@/rows.tsv:1: 文字编码是 UTF-16"}},
        {"binary",
         file(std::string("\x7F"
                          "ELF\x02\x01\x01\0\0\0",
                          10)),
         import,
         {"@/rows.tsv:1: 含有 NUL 字节"}},
        {"bad numbers",
         file(tsv({"19900x0\t1990000\t广东\t广州\t020\tx"})),
         import,
         {"@/rows.tsv:2: 号码1 不是 7 位的号码前缀"}},
        {"overlapping lines",
         file(
             tsv({"1990000\t1990009\t广东\t广州\t020\tx", "1990009\t1990009\t广东\t广州\t020\tx"})),
         import,
         {"@/rows.tsv:3: 号码段与第 2 行重叠"}},
        {"unclosed quote in CSV",
         [](const TempDir &d) {
             writeFile(d / "rows.csv",
                       "号码1,号码2,省份,城市,区号,卡信息\n1990000,1990000,\"广东,广州,020,x\n");
         },
         {"import", "@/rows.csv", "--store", "@/sys.dat"},
         {"@/rows.csv:2: 引号没有闭合"}},
    };
    for (const Case &c : cases) {
        expectRefused(c);
    }
}

TEST_F(BadInput, UsageErrorsExitWithTwo) {
    prepareFolder();
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"update", "--store", store()},
        {"update", "--table", "a.tsv", "--shipped-from", "b.dat"},
        {"update", "--edition", "e.tsv", "--rows-from", "b.dat"},
        {"update", "--tabel", "a.tsv"},
        {"import"},
        {"import", "a.tsv", "b.tsv"},
        {"export", "-o"},
        {"check", "extra"},
        {"build", "--store", store()},
    };
    const std::string before = checksum(store());
    for (const auto &args : cases) {
        std::string shown;
        for (const auto &a : args) {
            shown += a + " ";
        }
        const Result result = run(args);
        EXPECT_EQ(result.exitCode, 2) << shown << "\n" << result.err;
        EXPECT_NE(result.err.find("plimora-table"), std::string::npos) << shown;
    }
    EXPECT_EQ(checksum(store()), before);
    const Result help = run({"update", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("用法：plimora-table update"), std::string::npos);
    EXPECT_NE(help.out.find("--rows-from FILE"), std::string::npos);
    EXPECT_NE(help.out.find("2  命令行用法错误"), std::string::npos);
}

TEST_F(BadInput, AStoreLockedByAnotherProgram) {
    prepareFolder();
    // Taken before the lock: closing any descriptor of the file in this
    // process would drop the lock (POSIX record locks are per process).
    const std::string before = checksum(store());
    sqlite3 *holder = nullptr;
    ASSERT_EQ(sqlite3_open(store().c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
    writeFile(m_dir / "rows.tsv", tsv({"1990000\t1990000\t广东\t广州\t020\t中国电信"}));
    for (const auto &args :
         {update(), std::vector<std::string>{"import", m_dir / "rows.tsv", "--store", store()}}) {
        const Result result = run(args);
        EXPECT_EQ(result.exitCode, 1) << args.front();
        EXPECT_NE(
            result.err.find(store() + ": 存储错误 5：数据文件 sys.dat 正被另一个程序使用，等了 2 "
                                      "秒仍未空出"),
            std::string::npos)
            << result.err;
    }
    sqlite3_exec(holder, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_EQ(checksum(store()), before);
    EXPECT_FALSE(fs::exists(store() + ".part"));
}

TEST_F(BadInput, AFolderThatMayNotBeWritten) {
    prepareFolder();
    fs::permissions(m_dir.path(), fs::perms::owner_all | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read |
                                      fs::perms::others_exec);
    fs::permissions(store(), fs::perms::all);
    fs::permissions(m_dir.path() / "e3", fs::perms::all);
    writeFile(m_dir / "rows.tsv", tsv({"1990000\t1990000\t广东\t广州\t020\t中国电信"}));
    const bool root = ::geteuid() == 0;
    if (!root) {
        fs::permissions(m_dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    }
    const std::string before = checksum(store());
    for (const auto &args :
         {update(), std::vector<std::string>{"import", m_dir / "rows.tsv", "--store", store()}}) {
        RunOptions options;
        options.asNobody = root;
        const Result result = run(args, options);
        if (result.exitCode == 125 && result.err == kCannotDropRights) {
            GTEST_SKIP() << "running as root without the right to change user";
        }
        EXPECT_EQ(result.exitCode, 1) << args.front() << "\n" << result.out;
        EXPECT_NE(result.err.find(store() + ": "), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("没有权限"), std::string::npos) << result.err;
    }
    EXPECT_EQ(checksum(store()), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.path()), {}), 4)
        << "something was left in the folder";
}

// The disk fills up while the new file is written.
class DiskFull : public BadInput {
protected:
    // Updates a copy of the store in folder to the big table under options.
    void expectRefusedWhole(const RunOptions &options, const std::string &folder,
                            const char *says) {
        const std::string store = folder + "/sys.dat";
        fs::copy_file(this->store(), store);
        const std::string before = checksum(store);
        const Result result =
            run({"update", "--store", store, "--table", m_dir / "big/quelto.tsv"}, options);
        EXPECT_EQ(result.exitCode, 1) << result.out;
        EXPECT_NE(result.err.find(store + ": " + says), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("原来的文件没有改动"), std::string::npos) << result.err;
        EXPECT_EQ(checksum(store), before);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1)
            << "a .part or backup was left";
        const auto found = lookUpLikeTheWindow(folder, "16600001111");
        EXPECT_TRUE(found && (*found)[3] == "我的");
    }
    void SetUp() override {
        prepareFolder();
        std::vector<std::string> lines;
        for (int i = 0; i < 40000; ++i) {
            lines.push_back(std::to_string(1300000 + 2 * i) + "\t" +
                            std::to_string(1300000 + 2 * i) + "\t广东\t深圳\t0755\t中国联通");
        }
        fs::create_directories(m_dir.path() / "big");
        writeFile(m_dir / "big/quelto.tsv", tsv(lines));
        writeFile(m_dir / "big/edition.tsv", editionFile(3));
    }
};

TEST_F(DiskFull, OnASmallFileSystem) {
    const std::string mount = m_dir / "small";
    fs::create_directories(mount);
    const std::string size = "size=" + std::to_string(fs::file_size(store()) + 256 * 1024);
    if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, size.c_str()) != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root in a privileged container)";
    }
    expectRefusedWhole({}, mount, "存储错误 13：磁盘已满");
    ::umount(mount.c_str());
}

TEST_F(DiskFull, UnderAFileSizeLimit) {
    const std::string folder = m_dir / "limited";
    fs::create_directories(folder);
    RunOptions limited;
    limited.fileSizeLimit = 512 * 1024;
    expectRefusedWhole(limited, folder,
                       "存储错误 10：读写数据文件 sys.dat 时磁盘出错。请检查磁盘后再试。（disk I/O "
                       "error；文件超过了系统允许的大小）");
}

}  // namespace
