#include "store/data_connection.h"

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <cerrno>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "plimora_table/table_text.h"
#include "store/connection_texts.h"
#include "store/database.h"
#include "store/number_text.h"
#include "store/schema.h"
#include "store/store_error.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using testing_support::StoreFile;
using testing_support::TempFolder;

const char *const kRtreeSchema =
    "create virtual table quelto using rtree(id, 号码1, 号码2, +省份, +城市, +区号, +卡信息)";
const char *const kPlainSchema =
    "create table quelto (编号 integer primary key, 号码1 real, 号码2 real, 省份 text, "
    "城市 text, 区号 text, 卡信息 text, 备注 text)";

// Every behaviour holds for the shipped R*Tree table and for a user's own plain table.
class BothKinds : public ::testing::TestWithParam<int> {
protected:
    static const char *GetSchema() { return GetParam() == 0 ? kRtreeSchema : kPlainSchema; }
};

INSTANTIATE_TEST_SUITE_P(Store, BothKinds, ::testing::Values(0, 1), [](const auto &info) {
    return std::string(info.param == 0 ? "Rtree" : "Plain");
});

std::string cityOf(store::DataConnection &connection) {
    return connection.Recordset().Fields(store::schema::kCity).text();
}

TEST_P(BothKinds, FindsTheRangeThatHoldsTheKey) {
    StoreFile file(GetSchema());
    file.insert(1380013, 1380013, "北京", "北京", "010", "中国移动");
    file.insert(1390000, 1390999, "新疆", "乌鲁木齐", "0991", "中国移动");
    store::DataConnection connection;
    store::bind(connection, file.dir());

    const struct {
        const char *number;
        const char *city;  // nullptr: not found
    } cases[] = {
        {"13800138000", "北京"},     {"1380013", "北京"},
        {"1380012", nullptr},        {"1380014", nullptr},
        {"13900000000", "乌鲁木齐"},                           // low bound of a wider range
        {"1390999", "乌鲁木齐"},     {"1390500", "乌鲁木齐"},  // high bound, inside
        {"1391000", nullptr},        {"", nullptr},            // key 0
        {"9e99999", nullptr},                                  // infinite key
    };
    for (const auto &c : cases) {
        const bool found = store::lookUp(connection, c.number);
        EXPECT_EQ(found, c.city != nullptr) << "number \"" << c.number << '"';
        if (found && c.city) {
            EXPECT_EQ(cityOf(connection), c.city) << "number \"" << c.number << '"';
        }
    }
}

TEST_P(BothKinds, OverlappingRowsAnswerWithTheFirstTheStoreYields) {
    StoreFile file(GetSchema());
    file.insert(1380000, 1389999, "北京", "北京", "010", "中国移动");
    file.insert(1380013, 1380013, "天津", "天津", "022", "中国移动");
    store::DataConnection connection;
    store::bind(connection, file.dir());
    ASSERT_TRUE(store::lookUp(connection, "1380013"));
    auto &set = connection.Recordset();
    ASSERT_EQ(set.RecordCount(), 2u);
    const std::string first = cityOf(connection);
    EXPECT_TRUE(first == "北京" || first == "天津") << first;
    set.MoveNext();
    EXPECT_EQ(cityOf(connection), first == "北京" ? "天津" : "北京");
    set.MoveNext();
    EXPECT_TRUE(set.Eof());
    EXPECT_THROW(set.MoveNext(), store::StoreError);
    EXPECT_THROW(set.Fields(store::schema::kCity).Value(), store::StoreError);
}

TEST_P(BothKinds, InsertedRowIsFoundAndKeepsItsTextExactly) {
    StoreFile file(GetSchema());
    store::DataConnection connection;
    store::bind(connection, file.dir());
    const std::string awkward = "O'Brien \"引号\" 100% _x_ 😀; drop table quelto; --";

    ASSERT_FALSE(store::lookUp(connection, "1700123"));
    store::Recordset &set = connection.Recordset();
    set.AddNew();
    set.Fields(store::schema::kLow) = store::prefixKey("1700123");
    set.Fields(store::schema::kHigh) = store::prefixKey("1700123");
    set.Fields(store::schema::kProvince) = std::string("广东");
    set.Fields(store::schema::kCity) = awkward;
    set.Fields(store::schema::kAreaCode) = std::string("020");
    set.Fields(store::schema::kCard) = std::string("中国电信(虚拟运营商)");
    set.Update();

    store::DataConnection other;  // a second connection to the same file sees it
    store::bind(other, file.dir());
    ASSERT_TRUE(store::lookUp(other, "17001234567"));
    EXPECT_EQ(cityOf(other), awkward);
    EXPECT_EQ(other.Recordset().Fields(store::schema::kCard).text(), "中国电信(虚拟运营商)");
    EXPECT_FALSE(store::lookUp(other, "1700124"));
}

TEST_P(BothKinds, NullColumnsReadAsNullAndShowAsEmptyText) {
    StoreFile file(GetSchema());
    file.exec("insert into quelto (号码1, 号码2, 省份) values (1500000, 1500000, '云南')");
    store::DataConnection connection;
    store::bind(connection, file.dir());
    ASSERT_TRUE(store::lookUp(connection, "1500000"));
    auto &set = connection.Recordset();
    EXPECT_EQ(set.Fields(store::schema::kProvince).text(), "云南");
    EXPECT_TRUE(std::holds_alternative<std::monostate>(set.Fields(store::schema::kCity).Value()));
    EXPECT_EQ(set.Fields(store::schema::kCity).text(), "");
    EXPECT_DOUBLE_EQ(std::get<double>(set.Fields(store::schema::kLow).Value()), 1500000);
}

TEST(Store, PlainTableWithNumericColumnsShowsThemAsText) {
    StoreFile file(
        "create table quelto (号码1 integer, 号码2 integer, 省份 text, 城市 text, "
        "区号 integer, 卡信息 text)");
    file.exec("insert into quelto values (1300000, 1300000, '广西', '南宁', 771, '中国联通')");
    store::DataConnection connection;
    store::bind(connection, file.dir());
    ASSERT_TRUE(store::lookUp(connection, "1300000"));
    EXPECT_EQ(connection.Recordset().Fields(store::schema::kAreaCode).text(), "771");
}

// What a failure must look like: the store's own code, and the previous
// result set untouched.
void expectStoreError(const std::function<void()> &operation, int code, const char *what) {
    try {
        operation();
        ADD_FAILURE() << what << ": no error";
    } catch (const store::StoreError &e) {
        EXPECT_EQ(e.number(), code) << what << ": " << e.description();
        EXPECT_FALSE(e.description().empty()) << what;
    }
}

TEST(Store, FailuresCarryTheStoreCodeAndNeverCreateAFile) {
    TempFolder folder;
    const fs::path dir = folder.path();
    store::DataConnection missing;
    store::bind(missing, dir.string());
    expectStoreError([&] { store::lookUp(missing, "1380013"); }, SQLITE_CANTOPEN, "missing file");
    EXPECT_FALSE(fs::exists(dir / "sys.dat")) << "a lookup must never create the store";

    std::ofstream(dir / "sys.dat") << "this is not a database, just some text that is long enough "
                                      "to fill a header of one hundred bytes...................";
    store::DataConnection damaged;
    store::bind(damaged, dir.string());
    expectStoreError([&] { store::lookUp(damaged, "1380013"); }, SQLITE_NOTADB, "not a database");

    StoreFile noTable("create table other (x)");
    store::DataConnection connection;
    store::bind(connection, noTable.dir());
    expectStoreError([&] { store::lookUp(connection, "1380013"); }, SQLITE_ERROR, "no table");
}

// SQLite as Debian builds it takes a name starting with "file:" for a URI,
// whose parameters would choose another database (here one in memory).
TEST(Store, ANameStartingWithFileIsAPathNeverAUri) {
    TempFolder folder;
    const std::string name = "file:s.dat?mode=memory";
    store::Database(folder.file(name), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
        .exec("create table t (x); insert into t values (7)");
    const fs::path here = fs::current_path();
    fs::current_path(folder.path());
    std::string read;
    try {
        const store::Database db(name, SQLITE_OPEN_READONLY);
        const store::Statement select = db.prepare("select x from t");
        db.step(select.get());
        read = std::to_string(sqlite3_column_int(select.get(), 0));
    } catch (const store::StoreError &error) {
        read = error.description();
    }
    fs::current_path(here);
    EXPECT_EQ(read, "7");
}

TEST(Store, FailedRefreshKeepsThePreviousResultAndFailedUpdateKeepsTheRow) {
    StoreFile file(kPlainSchema);
    file.insert(1380013, 1380013, "北京", "北京", "010", "中国移动");
    store::DataConnection connection;
    store::bind(connection, file.dir());
    ASSERT_TRUE(store::lookUp(connection, "1380013"));

    connection.RecordSource = "select * from nowhere";
    expectStoreError([&] { connection.Refresh(); }, SQLITE_ERROR, "bad record source");
    EXPECT_EQ(cityOf(connection), "北京");

    ASSERT_FALSE(store::lookUp(connection, "1380014"));
    auto &set = connection.Recordset();
    set.AddNew();
    set.Fields(store::schema::kLow) = 1380014.0;
    set.Fields(store::schema::kHigh) = 1380014.0;
    set.Fields(store::schema::kProvince) = std::string("天津");
    file.exec(
        "create trigger refuse before insert on quelto begin "
        "select raise(abort, 'write refused'); end");
    expectStoreError([&] { set.Update(); }, SQLITE_CONSTRAINT, "refused insert");
    file.exec("drop trigger refuse");
    set.Update();  // the pending row is still there to retry
    ASSERT_TRUE(store::lookUp(connection, "1380014"));
    EXPECT_EQ(connection.Recordset().Fields(store::schema::kProvince).text(), "天津");
}

TEST(Store, MisuseIsAnErrorNotACrash) {
    StoreFile file(kRtreeSchema);
    store::DataConnection connection;
    store::bind(connection, file.dir());
    ASSERT_FALSE(store::lookUp(connection, "1380013"));
    auto &set = connection.Recordset();
    expectStoreError([&] { set.Fields(store::schema::kCity).Value(); }, SQLITE_MISUSE,
                     "read past the end");
    expectStoreError([&] { set.Fields(store::schema::kCity) = std::string("x"); }, SQLITE_MISUSE,
                     "assign without AddNew");
    expectStoreError([&] { set.Update(); }, SQLITE_MISUSE, "Update without AddNew");
    expectStoreError([&] { set.Fields("没有"); }, SQLITE_ERROR, "unknown column");
}

// Adds a row for key through connection's current (empty) result set.
void addRow(store::DataConnection &connection, double key, const std::string &province) {
    store::Recordset &set = connection.Recordset();
    set.AddNew();
    set.Fields(store::schema::kLow) = key;
    set.Fields(store::schema::kHigh) = key;
    set.Fields(store::schema::kProvince) = province;
    set.Update();
}

TEST_P(BothKinds, TransactionMakesTheCheckAndTheWriteOneUnit) {
    StoreFile file(GetSchema());
    store::DataConnection first;
    store::DataConnection second;
    store::bind(first, file.dir());
    store::bind(second, file.dir());

    first.BeginTrans();
    ASSERT_FALSE(store::lookUp(first, "1500001"));
    addRow(first, 1500001, "湖北");
    // The second connection cannot even start writing until the first is
    // done; it waits, telling its hook, and then finds the row.
    std::vector<bool> calls;
    second.setBusyHook([&](bool waiting) {
        calls.push_back(waiting);
        if (calls.size() == 3) {
            first.CommitTrans();
        }
    });
    second.BeginTrans();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls.front(), true);
    EXPECT_EQ(calls.back(), false) << "the hook hears when the wait is over";
    EXPECT_EQ(std::count(calls.begin(), calls.end(), false), 1);
    EXPECT_TRUE(store::lookUp(second, "1500001"));
    second.CommitTrans();

    // A rolled-back write leaves nothing behind.
    first.BeginTrans();
    ASSERT_FALSE(store::lookUp(first, "1500002"));
    addRow(first, 1500002, "湖南");
    first.RollbackTrans();
    EXPECT_FALSE(store::lookUp(second, "1500002"));
    first.RollbackTrans();  // none open: nothing happens

    expectStoreError([&] { first.CommitTrans(); }, SQLITE_MISUSE, "commit without a transaction");
    first.BeginTrans();
    expectStoreError([&] { first.BeginTrans(); }, SQLITE_MISUSE, "a second begin");
    first.RollbackTrans();
    EXPECT_TRUE(store::lookUp(first, "1500001"));
}

// Whole keys go in as integers, so a column declared as text holds the
// digits the range query compares with, and one without a type holds a
// number either way.
TEST(Store, WholeKeysAreWrittenAsIntegers) {
    StoreFile file(
        "create table quelto (号码1 text, 号码2, 省份 text, 城市 text, 区号 text, 卡信息 text)");
    store::DataConnection connection;
    store::bind(connection, file.dir());
    const struct {
        double key;
        const char *text;     // as the text column holds it
        const char *untyped;  // the type the untyped column gives it
    } cases[] = {
        {1700123, "1700123", "integer"},
        {-5, "-5", "integer"},
        {0, "0", "integer"},
        {1e15, "1000000000000000", "integer"},
        {12.5, "12.5", "real"},
        {1e19, "1.0e+19", "real"},  // beyond 64 bits
    };
    for (const auto &c : cases) {
        file.exec("delete from quelto");
        ASSERT_FALSE(store::lookUp(connection, "x"));
        addRow(connection, c.key, "x");
        connection.RecordSource = "select 号码1 as low, typeof(号码2) as kind from quelto";
        connection.Refresh();
        EXPECT_EQ(connection.Recordset().Fields("low").text(), c.text) << c.key;
        EXPECT_EQ(connection.Recordset().Fields("kind").text(), c.untyped) << c.key;
    }
    file.exec("delete from quelto");
    ASSERT_FALSE(store::lookUp(connection, "1700123"));
    addRow(connection, store::prefixKey("17001234567"), "x");
    EXPECT_TRUE(store::lookUp(connection, "17001234567")) << "the row is found again";
}

TEST(Store, ErrorsAUserCanActOnAreDescribedInChinese) {
    const struct {
        int number;
        const char *storeText;
        const char *starts;  // nullptr: the store's text alone
    } cases[] = {
        {SQLITE_READONLY, "attempt to write a readonly database", "数据文件 sys.dat 是只读的"},
        {SQLITE_BUSY, "database is locked", "数据文件 sys.dat 正被另一个程序使用"},
        {SQLITE_LOCKED, "database table is locked", "数据文件 sys.dat 正被另一个程序使用"},
        {SQLITE_NOTADB, "file is not a database", "sys.dat 不是本程序的数据文件"},
        {SQLITE_ERROR, "no such table: quelto", "数据文件 sys.dat 中缺少号码表或它的列"},
        {SQLITE_ERROR, "no such column: 号码1", "数据文件 sys.dat 中缺少号码表或它的列"},
        {SQLITE_ERROR, "no such column in the result set: 区号", "数据文件 sys.dat 中缺少号码表"},
        {SQLITE_CANTOPEN, "unable to open database file", "无法打开数据文件 sys.dat"},
        {SQLITE_FULL, "database or disk is full", "磁盘已满"},
        {SQLITE_IOERR, "disk I/O error", "读写数据文件 sys.dat 时磁盘出错"},
        {SQLITE_IOERR_READ, "disk I/O error", "读写数据文件 sys.dat 时磁盘出错"},
        {SQLITE_CORRUPT, "database disk image is malformed", "数据文件 sys.dat 已损坏"},
        {SQLITE_ERROR, "near \"x\": syntax error", nullptr},
        {SQLITE_CONSTRAINT, "UNIQUE constraint failed", nullptr},
        {SQLITE_MISUSE, "no new row has been started", nullptr},
    };
    for (const auto &c : cases) {
        const std::string text = store::describeStoreError(c.number, c.storeText);
        if (!c.starts) {
            EXPECT_EQ(text, c.storeText);
            continue;
        }
        EXPECT_EQ(text.rfind(c.starts, 0), 0u) << c.storeText << " -> " << text;
        EXPECT_TRUE(text.ends_with("（" + std::string(c.storeText) + "）")) << text;
        EXPECT_NE(text.find("请"), std::string::npos) << "says what to do: " << text;
    }
}

// A range query runs through the connection's own statement; followed by a
// space it is not the range query's exact text, and is prepared from its text.
std::string asText(const std::string &rangeQuery) {
    return rangeQuery + " ";
}

// The values of columns in every row of set from the current one on, a line
// a row.
std::string rowsOf(store::Recordset &set, const std::vector<std::string_view> &columns) {
    std::string rows;
    for (; !set.Eof(); set.MoveNext()) {
        for (std::string_view column : columns) {
            const store::Variant &value = set.Fields(column).Value();
            rows += (value.index() == 0 ? "null" : store::toText(value)) + "|";
        }
        rows += "\n";
    }
    return rows;
}

// What connection answers for recordSource: its rows, or the error.
std::string answer(store::DataConnection &connection, const std::string &recordSource,
                   const std::vector<std::string_view> &columns) {
    connection.RecordSource = recordSource;
    try {
        connection.Refresh();
        return rowsOf(connection.Recordset(), columns);
    } catch (const store::StoreError &e) {
        return "error " + std::to_string(e.number()) + ": " + e.description();
    }
}

// The keys worth comparing in the store in dir: the keys at and beside both
// bounds of every rowStep-th row and of every row numbered above userRowsAbove
// (a fractional bound gives the whole keys on either side of it), and
// kSampled keys drawn at random from 1300000-1999999, sorted.
std::vector<int> keysToTry(const std::string &dir, long long rowStep, long long userRowsAbove) {
    constexpr int kSampled = 20000;
    constexpr int kFirst = 1300000;
    constexpr int kLast = 1999999;
    std::vector<int> keys;
    const store::Database db(dir + "/sys.dat", SQLITE_OPEN_READONLY);
    const store::Statement rows = db.prepare("select rowid, 号码1, 号码2 from quelto");
    while (db.step(rows.get())) {
        const long long id = sqlite3_column_int64(rows.get(), 0);
        if (id % rowStep != 0 && id <= userRowsAbove) {
            continue;
        }
        for (int column = 1; column <= 2; ++column) {
            const auto bound =
                static_cast<int>(std::floor(sqlite3_column_double(rows.get(), column)));
            for (int key = bound - 1; key <= bound + 2; ++key) {
                keys.push_back(key);
            }
        }
    }
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> anyKey(kFirst, kLast);
    for (int i = 0; i < kSampled; ++i) {
        keys.push_back(anyKey(random));
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    std::erase_if(keys, [](int key) { return key < kFirst || key > kLast; });
    return keys;
}

// Looks keys up as the window does and as text, on two connections to the
// store in dir; returns how many keys a row answered.
int expectKeysAnsweredAlike(const std::string &dir, const std::vector<int> &keys,
                            const std::vector<std::string_view> &columns) {
    store::DataConnection window;
    store::DataConnection text;
    store::bind(window, dir);
    store::bind(text, dir);
    // One read transaction each for the whole run rather than one a lookup:
    // the same answers in a fraction of the time.
    answer(window, "begin", {});
    answer(text, "begin", {});
    int found = 0;
    int mismatches = 0;
    for (const int key : keys) {
        if (mismatches >= 10) {
            break;
        }
        found += store::lookUp(window, std::to_string(key)) ? 1 : 0;
        const std::string expected = answer(text, asText(window.RecordSource), columns);
        const std::string got = rowsOf(window.Recordset(), columns);
        if (got != expected) {
            ++mismatches;
            ADD_FAILURE() << "key " << key << ": window\n" << got << "text\n" << expected;
        }
    }
    return found;
}

// The shipped table with rows of a user's: on a prefix no row answers, inside
// a row of the table, a wide range over many, bounds between two keys.
class RangeBounds : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_folder = new TempFolder;
        s_shippedRows =
            table::buildSysdat(PLIMORA_SOURCE_DIR "/data/quelto.tsv", s_folder->file("sys.dat"));
        testing_support::execSql(
            s_folder->file("sys.dat"),
            "insert into quelto (号码1, 号码2, 省份, 城市, 区号, 卡信息) values "
            "(1400000, 1400000, '北京', '北京', '010', '我的卡'), "
            "(1991234, 1991234, '上海', '上海', '021', '中国电信'), "
            "(1380000, 1389999, '测试', '宽', '000', '覆盖'), "
            "(1500000.5, 1500002.5, '测试', '半', '000', '小数')");
    }
    static void TearDownTestSuite() { delete s_folder; }

    static inline TempFolder *s_folder = nullptr;
    static inline std::size_t s_shippedRows = 0;
};

TEST_F(RangeBounds, RtreeStoreAnswersAsTheText) {
    // Bounds of every 25th row of the table: the R*Tree reads no row
    // differently from another, and the sample reaches between them.
    const auto keys = keysToTry(s_folder->dir(), 25, static_cast<long long>(s_shippedRows));
    using namespace store::schema;
    EXPECT_GT(expectKeysAnsweredAlike(s_folder->dir(), keys,
                                      {kId, kLow, kHigh, kProvince, kCity, kAreaCode, kCard}),
              static_cast<int>(keys.size() / 2));
}

TEST_F(RangeBounds, PlainTableAnswersAsTheText) {
    // Every 2000th row of the shipped table and all of the user's: a lookup
    // in a plain table reads every row.
    StoreFile plain(kPlainSchema);
    plain.exec("attach '" + s_folder->file("sys.dat") +
               "' as shipped; insert into quelto (编号, 号码1, 号码2, 省份, 城市, 区号, 卡信息) "
               "select * from shipped.quelto where id % 2000 = 0 or id > " +
               std::to_string(s_shippedRows));
    const auto keys = keysToTry(plain.dir(), 1, 0);
    using namespace store::schema;
    EXPECT_GT(expectKeysAnsweredAlike(plain.dir(), keys,
                                      {"编号", kLow, kHigh, kProvince, kCity, kAreaCode, kCard}),
              100);
}

// A key is compared as its literal is: a whole key as an integer, any other
// as a real number. So a text column compares it with "1380013", not
// "1380013.0", and a column without a type orders it among numbers.
TEST(RangeStatement, KeysAreComparedAsTheirLiteralsAre) {
    const double keys[] = {1380013,
                           12.5,
                           1e15,
                           -5,
                           0,
                           1e-5,
                           -0.5,
                           1234567890123456,
                           1e300,
                           9223372036854775808.0,
                           store::prefixKey("9e99999"),
                           -store::prefixKey("9e99999")};
    for (const char *type : {"text", "real", "integer", "numeric", ""}) {
        StoreFile file("create table quelto (编号 integer primary key, 号码1 " + std::string(type) +
                       ", 号码2 " + type + ")");
        // Every bound against every other, as a number and as a text.
        file.exec(
            "create table bound (v); insert into bound values (1380013), ('1380013'), "
            "(1380013.0), ('1380013.0'), (12.5), ('12.5'), (1e15), ('1e+15'), ('1.0e+15'), "
            "('1000000000000000'), (-5), ('-5'), (0), ('0'), (1e-5), ('1.0e-05'), (-0.5), "
            "('-0.5'), (1234567890123456), ('abc'), (null), (9e999), (-9e999), "
            "('9223372036854775808'); "
            "insert into quelto (号码1, 号码2) select low.v, high.v from bound low, bound high");
        store::DataConnection window;
        store::DataConnection text;
        store::bind(window, file.dir());
        store::bind(text, file.dir());
        for (const double key : keys) {
            const std::string query = store::rangeQuery(store::keyText(key));
            EXPECT_EQ(answer(window, query, {"编号"}), answer(text, asText(query), {"编号"}))
                << "columns of type \"" << type << "\", key " << store::keyText(key);
        }
    }
}

TEST_P(BothKinds, ChangedTableAnswersAsTheText) {
    StoreFile file(GetSchema());
    file.insert(1380013, 1380013, "北京", "北京", "010", "中国移动");
    store::DataConnection window;
    store::DataConnection text;
    store::bind(window, file.dir());
    store::bind(text, file.dir());
    const std::string query = store::rangeQuery("1380013");
    const struct {
        const char *change;
        const char *answer;  // the start of the window's answer after it
    } steps[] = {
        {"select 1", "北京|中国移动|"},
        {"alter table quelto rename to old", "error 1: no such table: quelto"},
        {"create table quelto (号码2, 卡信息, 号码1, 城市); "
         "insert into quelto values (1380013, '新卡', 1380013, '天津')",
         "天津|新卡|"},
        {"drop table quelto", "error 1: no such table: quelto"},
        {"alter table old rename to quelto", "北京|中国移动|"},
    };
    const std::vector<std::string_view> columns = {store::schema::kCity, store::schema::kCard};
    for (const auto &step : steps) {
        file.exec(step.change);
        const std::string got = answer(window, query, columns);
        EXPECT_EQ(got, answer(text, asText(query), columns)) << step.change;
        EXPECT_TRUE(got.starts_with(step.answer)) << step.change << ": " << got;
    }
}

// A connection answers from the file its path names now: one renamed over
// it (as an update puts a new edition in place) is opened in its place, and
// one removed is an error that says so.
TEST(RangeStatement, ConnectionFollowsTheFileItsPathNames) {
    StoreFile first(kRtreeSchema);
    StoreFile second(kRtreeSchema);
    StoreFile plain(kPlainSchema);
    first.insert(1380013, 1380013, "北京", "北京", "010", "中国移动");
    second.insert(1380013, 1380013, "天津", "天津", "022", "中国联通");
    plain.insert(1380013, 1380013, "上海", "上海", "021", "中国电信");
    store::DataConnection window;
    store::DataConnection text;
    const std::string query = store::rangeQuery("1380013");
    const auto expectAnswers = [&](const std::string &dir, const char *city) {
        store::bind(window, dir);
        store::bind(text, dir);
        EXPECT_EQ(answer(window, query, {store::schema::kCity}), city + std::string("|\n"));
        EXPECT_EQ(answer(text, asText(query), {store::schema::kCity}), city + std::string("|\n"));
    };
    expectAnswers(first.dir(), "北京");
    fs::rename(second.path(), first.path());
    expectAnswers(first.dir(), "天津");
    expectAnswers(plain.dir(), "上海");
    expectAnswers(first.dir(), "天津");
    fs::remove(first.path());
    for (store::DataConnection *connection : {&window, &text}) {
        try {
            connection->Refresh();
            ADD_FAILURE() << "a removed store was read";
        } catch (const store::StoreError &error) {
            EXPECT_EQ(error.number(), SQLITE_CANTOPEN);
            EXPECT_EQ(error.systemError(), ENOENT);
        }
        try {
            connection->BeginTrans();
            ADD_FAILURE() << "a removed store was locked for writing";
        } catch (const store::StoreError &error) {
            EXPECT_EQ(error.number(), SQLITE_CANTOPEN);
        }
    }
}

TEST_P(BothKinds, LookupLeavesNoLockAndWaitsForAWriterTellingTheHook) {
    StoreFile file(GetSchema());
    store::DataConnection window;
    store::DataConnection adding;
    store::bind(window, file.dir());
    store::bind(adding, file.dir());
    std::vector<bool> calls;
    adding.setBusyHook([&](bool waiting) { calls.push_back(waiting); });
    ASSERT_FALSE(store::lookUp(window, "1500001"));
    adding.BeginTrans();
    ASSERT_FALSE(store::lookUp(adding, "1500001"));
    addRow(adding, 1500001, "湖北");
    adding.CommitTrans();
    EXPECT_TRUE(calls.empty()) << "the window's lookup left a lock behind";

    sqlite3 *writer = nullptr;
    ASSERT_EQ(sqlite3_open(file.path().c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
    window.setBusyHook([&](bool waiting) {
        calls.push_back(waiting);
        if (calls.size() == 3) {
            sqlite3_exec(writer, "commit", nullptr, nullptr, nullptr);
        }
    });
    EXPECT_TRUE(store::lookUp(window, "1500001")) << "the row added meanwhile is found";
    sqlite3_close(writer);
    EXPECT_EQ(calls, (std::vector<bool>{true, true, true, false}));
}

TEST(RangeStatement, RtreeIsToldFromItsDeclaration) {
    EXPECT_TRUE(store::schema::declaresRtree(kRtreeSchema));
    EXPECT_TRUE(
        store::schema::declaresRtree("CREATE VIRTUAL TABLE quelto USING rtree_i32(id, a, b)"));
    EXPECT_TRUE(
        store::schema::declaresRtree("create virtual table quelto using  RTree (id, a, b)"));
    EXPECT_FALSE(store::schema::declaresRtree(kPlainSchema));
    EXPECT_FALSE(
        store::schema::declaresRtree("create virtual table quelto using rtreex(id, a, b)"));
    EXPECT_FALSE(store::schema::declaresRtree("create virtual table quelto using fts5(rtree)"));
    EXPECT_FALSE(store::schema::declaresRtree(""));
}

// The window's statement on an R*Tree reads each text from where the R*Tree
// keeps it, whatever order the texts are declared in; an added row lands in
// the table; and a table replaced under an open connection is read as it is
// now.
TEST(RangeStatement, RtreeTextsComeFromTheirOwnColumns) {
    using namespace store::schema;
    StoreFile file(
        "create virtual table quelto using rtree(编号, 号码1, 号码2, +卡信息, +城市, +备注, "
        "+省份, +区号)");
    file.exec(
        "insert into quelto values (1, 1380000, 1380999, '中国移动', '北京', '注', '北京', "
        "'010'), (2, 1390000, 1390000, null, '', 'x', '新疆', 991)");
    const std::vector<std::string_view> columns = {"编号", kLow,      kHigh, kProvince,
                                                   kCity,  kAreaCode, kCard, "备注"};
    store::DataConnection window;
    store::DataConnection text;
    store::bind(window, file.dir());
    store::bind(text, file.dir());
    const auto expectAlike = [&](double key) {
        const std::string query = store::rangeQuery(store::keyText(key));
        const std::string got = answer(window, query, columns);
        EXPECT_EQ(got, answer(text, asText(query), columns)) << store::keyText(key);
        return got;
    };
    EXPECT_EQ(expectAlike(1380500), "1|1380000|1380999|北京|北京|010|中国移动|注|\n");
    EXPECT_EQ(expectAlike(1390000), "2|1390000|1390000|新疆||991|null|x|\n");
    EXPECT_EQ(expectAlike(1391000), "");

    ASSERT_FALSE(store::lookUp(window, "1395555"));
    addRow(window, 1395555, "天津");
    EXPECT_EQ(expectAlike(1395555), "3|1395555|1395555|天津|null|null|null|null|\n");

    file.exec("drop table quelto; " + std::string(kPlainSchema) +
              "; insert into quelto values (7, 1380000, 1380999, '河北', '石家庄', '0311', "
              "'中国联通', null)");
    EXPECT_EQ(expectAlike(1380500), "7|1380000|1380999|河北|石家庄|0311|中国联通|null|\n");
}

}  // namespace
