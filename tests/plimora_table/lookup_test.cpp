// lookup: every number answered as the lookup window answers it, the input's
// columns kept as they were, and bad input refused naming its file and line
// without leaving an output file behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "plimora_table/cli/table_reader.h"
#include "plimora_table/prefix_table.h"
#include "plimora_table/table_text.h"
#include "store/area_codes.h"
#include "store/connection_texts.h"
#include "store/data_connection.h"
#include "store/number_text.h"
#include "store/schema.h"
#include "tests/plimora_table/tool_runner.h"

namespace {

using namespace table_test;

using Records = std::vector<std::vector<std::string>>;

Records readRecords(const std::string &text, const cli::Dialect &dialect) {
    std::istringstream in(text);
    cli::TableReader reader(in, "output", dialect);
    Records records;
    std::vector<std::string> fields;
    while (reader.next(fields)) {
        records.push_back(fields);
    }
    return records;
}

const std::vector<std::string> kAnswerColumns = {"省份", "城市", "区号", "卡信息", "状态"};

// The digits of number written as people write them, in one of several ways.
std::string written(const std::string &number, std::mt19937 &random) {
    auto fullWidth = [](const std::string &digits) {
        std::string text;
        for (const char c : digits) {
            text += "\xEF\xBC";
            text += static_cast<char>(0x90 + (c - '0'));
        }
        return text;
    };
    switch (random() % 6) {
        case 0:
            return number;
        case 1:
            return "+86 " + number.substr(0, 3) + " " + number.substr(3, 4) + " " +
                   number.substr(7);
        case 2:
            return number.substr(0, 3) + "-" + number.substr(3, 4) + "-" + number.substr(7);
        case 3:
            return fullWidth(number);
        case 4:
            return "0086" + number;
        default:
            return "  (" + number.substr(0, 3) + ") " + number.substr(3) + " ";
    }
}

// A table of rows with gaps between them: the 7-digit key ranges of the rows,
// written as text table lines.
std::vector<std::string> generatedRows(long long from, long long to, std::mt19937 &random,
                                       std::vector<long long> &bounds) {
    const char *provinces[] = {"北京", "广东", "新疆", "上海"};
    const char *cards[] = {"中国移动", "中国联通", "中国电信(虚拟运营商)"};
    std::vector<std::string> lines;
    for (long long low = from; low < to;) {
        const long long high = std::min(to, low + static_cast<long long>(random() % 400));
        const char *province = provinces[random() % 4];
        lines.push_back(std::to_string(low) + "\t" + std::to_string(high) + "\t" + province + "\t" +
                        province + "\t0" + std::to_string(100 + random() % 900) + "\t" +
                        cards[random() % 3]);
        bounds.push_back(low);
        bounds.push_back(high);
        low = high + 1 + static_cast<long long>(random() % 3 == 0 ? random() % 200 : 0);
    }
    return lines;
}

// What the window shows for a number, on one connection kept for the store
// as the window keeps its own, each number asked once.
class Window {
public:
    explicit Window(const std::string &folder) { store::bind(m_connection, folder); }
    // The four texts and 找到, or 未找到.
    const std::vector<std::string> &answer(const std::string &digits) {
        auto [at, added] = m_answers.try_emplace(digits);
        if (added) {
            if (store::lookUp(m_connection, digits)) {
                store::Recordset &set = m_connection.Recordset();
                for (const std::string_view column :
                     {store::schema::kProvince, store::schema::kCity, store::schema::kAreaCode,
                      store::schema::kCard}) {
                    at->second.push_back(set.Fields(column).text());
                }
                at->second.push_back("找到");
            } else {
                at->second = {"", "", "", "", "未找到"};
            }
        }
        return at->second;
    }

private:
    store::DataConnection m_connection;
    std::map<std::string, std::vector<std::string>> m_answers;
};

class WindowAgreement : public ::testing::Test {
protected:
    // Looks up numbers around every bound and at random with the tool and
    // with the window on folder/sys.dat, and expects the same answer for
    // each: in short lists, which the tool answers number by number with the
    // window's own lookup, and in one long table whose first rows it answers
    // so and the rest from the whole table read into memory.
    void expectSameAnswers(const std::string &folder, const std::vector<long long> &bounds) {
        std::mt19937 random(7);
        std::vector<long long> keys;
        for (const long long bound : bounds) {
            for (const long long key : {bound - 1, bound, bound + 1}) {
                keys.push_back(key);
            }
        }
        for (int i = 0; i < 2000; ++i) {
            keys.push_back(1000000 + static_cast<long long>(random() % 1000000));
        }
        std::vector<std::string> numbers;
        for (const long long key : keys) {
            numbers.push_back(
                written(std::to_string(key) + std::to_string(1000 + random() % 9000), random));
        }
        Window window(folder);
        // The test build of the tool is killed when it reads the whole table.
        RunOptions faulty;
        faulty.program = PLIMORA_TABLE_FAULTY;
        faulty.environment = {"PLIMORA_CRASH_AT=lookup-whole-table"};

        constexpr std::size_t kShortList = table::PrefixTable::kLongInput / 4;
        std::array<std::size_t, 2> counts{};
        for (std::size_t from = 0; from < numbers.size(); from += kShortList) {
            std::string list;
            for (std::size_t i = from; i < numbers.size() && i < from + kShortList; ++i) {
                list += numbers[i] + "\n";
            }
            writeFile(folder + "/short.txt", list);
            const Result result = run({"lookup", "--store", folder + "/sys.dat", "-o",
                                       folder + "/short.tsv", folder + "/short.txt"},
                                      faulty);
            ASSERT_EQ(result.exitCode, 0) << "a short list read the whole table\n" << result.err;
            expectRows(readRecords(readFile(folder + "/short.tsv"), cli::kTsv), 0, window,
                       folder + " (a short list)", counts);
        }
        expectEnough(counts, folder + " (short lists)");

        // A note long enough that the block the reader holds ahead says
        // little about the length of the table, so that the first rows are
        // answered before the table turns out long.
        const std::string note(120, 'x');
        std::string table = "备注,手机\n";
        for (int pass = 0; pass < 2; ++pass) {
            for (const std::string &number : numbers) {
                table += note + ",\"" + number + "\"\n";
            }
        }
        writeFile(folder + "/long.csv", table);
        const Result cut =
            run({"lookup", "--store", folder + "/sys.dat", folder + "/long.csv"}, faulty);
        EXPECT_EQ(cut.signal, SIGKILL) << "the long table never read the whole table";
        const Records before = readRecords(cut.out, cli::kCsv);
        EXPECT_GT(before.size(), 1000u) << "too few rows answered before the whole table was read";
        std::array<std::size_t, 2> beforeCounts{};
        expectRows(before, 1, window, folder + " (before the whole table was read)", beforeCounts);

        const Result result = run({"lookup", "--store", folder + "/sys.dat", "-o",
                                   folder + "/long.out.csv", folder + "/long.csv"});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const Records rows = readRecords(readFile(folder + "/long.out.csv"), cli::kCsv);
        ASSERT_EQ(rows.size(), 2 * numbers.size() + 1) << result.err;
        std::array<std::size_t, 2> longCounts{};
        expectRows(rows, 1, window, folder + " (a long table)", longCounts);
        expectEnough(longCounts, folder + " (a long table)");
        m_summary = result.err;
    }

    // Expects every row of records after the header to hold the window's
    // answer for the number in column; counts the numbers found and not
    // found into counts.
    void expectRows(const Records &records, std::size_t column, Window &window,
                    const std::string &where, std::array<std::size_t, 2> &counts) {
        for (std::size_t i = 1; i < records.size(); ++i) {
            const std::vector<std::string> &row = records[i];
            ASSERT_EQ(row.size(), column + 6) << where;
            const std::vector<std::string> answer(row.begin() + column + 1, row.end());
            const store::MobileNumber number = store::readMobileNumber(row[column]);
            if (number.problem != store::NumberProblem::None) {
                EXPECT_EQ(answer.back(), "无效：" + store::problemText(number)) << row[column];
                continue;
            }
            EXPECT_EQ(answer, window.answer(number.digits)) << row[column] << " in " << where;
            ++counts[answer.back() == "找到" ? 0 : 1];
        }
    }

    // Expects enough numbers found and not found among counts to say
    // something.
    static void expectEnough(const std::array<std::size_t, 2> &counts, const std::string &where) {
        EXPECT_GT(counts[0], 500u) << "too few numbers found to compare in " << where;
        EXPECT_GT(counts[1], 100u) << "too few numbers not found to compare in " << where;
    }

    TempDir m_dir;
    std::string m_summary;
};

TEST_F(WindowAgreement, OnTheRTreeStoreWithTheUsersRowsAndAnOverlap) {
    std::mt19937 random(1);
    std::vector<long long> bounds;
    const std::string folder = m_dir.path().string();
    writeFile(m_dir / "quelto.tsv", tsv(generatedRows(1300000, 1400000, random, bounds)));
    writeFile(m_dir / "edition.tsv", editionFile(2));
    const Result built =
        run({"build", "--store", m_dir / "sys.dat", "--table", m_dir / "quelto.tsv"});
    ASSERT_EQ(built.exitCode, 0) << built.err;
    int added = 0;
    for (long long key = 1300000; key < 1400000 && added < 30; key += 97) {
        if (addLikeTheWindow(folder, std::to_string(key) + "5678",
                             {"上海", "上海", "021", "我的"})) {
            bounds.push_back(key);
            ++added;
        }
    }
    ASSERT_GT(added, 10);
    execSql(m_dir / "sys.dat",
            "insert into quelto (id, 号码1, 号码2, 省份, 城市, 区号, 卡信息) values "
            "(900000, 1305000, 1305500, '重叠', '重叠', '000', '重叠')");
    bounds.insert(bounds.end(), {1305000, 1305500});
    expectSameAnswers(folder, bounds);
    EXPECT_NE(m_summary.find("有重叠的号码段"), std::string::npos) << m_summary;
}

// The tool reads an R*Tree's rows from the tables the R*Tree keeps them in;
// where those disagree with its nodes, it reads them through the R*Tree, as
// the window does.
TEST_F(WindowAgreement, OnAnRTreeStoreWhoseOwnTablesDisagree) {
    std::mt19937 random(5);
    std::vector<long long> bounds;
    writeFile(m_dir / "quelto.tsv", tsv(generatedRows(1300000, 1400000, random, bounds)));
    writeFile(m_dir / "edition.tsv", editionFile(2));
    const Result built =
        run({"build", "--store", m_dir / "sys.dat", "--table", m_dir / "quelto.tsv"});
    ASSERT_EQ(built.exitCode, 0) << built.err;
    execSql(m_dir / "sys.dat", "update quelto_rowid set nodeno = nodeno + 1 where rowid = 7");
    expectSameAnswers(m_dir.path().string(), bounds);
}

// A table made by hand: no R*Tree, untyped columns, real and null bounds,
// numbers for texts, rows that overlap, repeat, reverse or leave the keys of
// mobile numbers.
const char *const kHandMade =
    "create table quelto (号码1, 号码2, 省份, 城市, 区号, 卡信息);"
    "insert into quelto values (1300000, 1300999, '北京', '北京', '010', '中国联通');"
    "insert into quelto values (1300500.5, 1301200.25, '天津', '天津', '022', '中国联通');"
    "insert into quelto values (1310000, 1310000, '上海', '上海', 21, '中国联通');"
    "insert into quelto values (1320000, 1329999, '广东', NULL, '020', '中国移动');"
    "insert into quelto values (1320000, 1329999, '广东', '深圳', '0755', '中国移动');"
    "insert into quelto values (NULL, 1339999, '无', '无', '000', '无');"
    "insert into quelto values (1349999, 1340000, '反', '反', '000', '反');"
    "insert into quelto values (999000, 1000100, '低', '低', '000', '低');"
    "insert into quelto values (1999990, 2000100, '高', '高', '000', '高');"
    "insert into quelto values (1350000, 1359999, '湖北', '武汉', '027', '中国移动');"
    "insert into quelto values (1355000, 1355000, '湖北', '宜昌', '0717', '我的');";

const std::vector<long long> kHandMadeBounds = {
    1000000, 1000100, 1300000, 1300500, 1300999, 1301200, 1310000, 1320000, 1329999,
    1339999, 1340000, 1349999, 1350000, 1355000, 1359999, 1999990, 1999999};

std::vector<long long> fillPlainTable(const std::string &store) {
    std::mt19937 random(3);
    std::vector<long long> bounds = kHandMadeBounds;
    std::string sql = kHandMade;
    for (const std::string &line : generatedRows(1360000, 1400000, random, bounds)) {
        std::istringstream fields(line);
        std::string low, high, province, city, area, card;
        std::getline(fields, low, '\t');
        std::getline(fields, high, '\t');
        std::getline(fields, province, '\t');
        std::getline(fields, city, '\t');
        std::getline(fields, area, '\t');
        std::getline(fields, card, '\t');
        sql += "insert into quelto values (" + low + ", " + high + ", '" + province + "', '" +
               city + "', '" + area + "', '" + card + "');";
    }
    writeFile(store, "");
    execSql(store, sql);
    return bounds;
}

TEST_F(WindowAgreement, OnAPlainTableMadeByHand) {
    const std::vector<long long> bounds = fillPlainTable(m_dir / "sys.dat");
    expectSameAnswers(m_dir.path().string(), bounds);
    EXPECT_NE(m_summary.find("有重叠的号码段"), std::string::npos) << m_summary;
}

TEST_F(WindowAgreement, OnAPlainTableWhoseBoundsAreNotAllNumbers) {
    std::vector<long long> bounds = fillPlainTable(m_dir / "sys.dat");
    execSql(m_dir / "sys.dat",
            "insert into quelto values ('1370000', '1379999', '文字', '文字', '000', '文字');"
            "insert into quelto values (1380000, '138x', '一半', '一半', '000', '一半');");
    bounds.insert(bounds.end(), {1370000, 1379999, 1380000});
    expectSameAnswers(m_dir.path().string(), bounds);
    EXPECT_NE(m_summary.find("不是数字"), std::string::npos) << m_summary;
}

// Stores and inputs for the tests of columns, formats and bad input.
class Lookup : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(m_dir / "quelto.tsv", tsv({"1380000\t1380999\t北京\t北京\t010\t中国移动",
                                             "1390000\t1390999\t湖北\t武汉\t027\t中国移动"}));
        writeFile(m_dir / "edition.tsv", editionFile(2));
        const Result built = run({"build", "--store", store(), "--table", m_dir / "quelto.tsv"});
        ASSERT_EQ(built.exitCode, 0) << built.err;
    }
    std::string store() const { return m_dir / "sys.dat"; }
    Result lookup(std::vector<std::string> args, const RunOptions &options = {}) const {
        args.insert(args.begin(), {"lookup", "--store", store()});
        return run(args, options);
    }
    // The files of the test folder other than the store and its tables.
    std::set<std::string> leftOver() const {
        std::set<std::string> names;
        for (const auto &entry : fs::directory_iterator(m_dir.path())) {
            const std::string name = entry.path().filename().string();
            if (name != "sys.dat" && name != "quelto.tsv" && name != "edition.tsv" &&
                !name.starts_with("in")) {
                names.insert(name);
            }
        }
        return names;
    }

    TempDir m_dir;
};

TEST_F(Lookup, CsvFieldsKeepTheirCommasQuotesAndLineBreaks) {
    const Records input = {
        {"姓名", "手机", "备注"},
        {"张三", "138 0013 8000", "说 \"你好\", 朋友"},
        {"李,四", "+86 139-0000-1111", "两行\n备注"},
        {"王五", "12345", ""},
        {"赵六 😀", "14700001111", "\"\""},
    };
    std::string csv;
    for (const auto &record : input) {
        std::string line;
        for (const std::string &field : record) {
            std::string quoted = "\"";
            for (const char c : field) {
                quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
            }
            line += (line.empty() ? "" : ",") + quoted + "\"";
        }
        csv += line + "\r\n";
    }
    writeFile(m_dir / "in.csv", csv);
    const Result inFolder = lookup({m_dir / "in.csv", "--column", "手机"});
    ASSERT_EQ(inFolder.exitCode, 0) << inFolder.err;
    const Records output = readRecords(inFolder.out, cli::kCsv);
    const Records expected = {
        {"姓名", "手机", "备注", "省份", "城市", "区号", "卡信息", "状态"},
        {"张三", "138 0013 8000", "说 \"你好\", 朋友", "北京", "北京", "010", "中国移动", "找到"},
        {"李,四", "+86 139-0000-1111", "两行\n备注", "湖北", "武汉", "027", "中国移动", "找到"},
        {"王五", "12345", "", "", "", "", "", "无效：位数不足（5 位）"},
        {"赵六 😀", "14700001111", "\"\"", "", "", "", "", "未找到"},
    };
    EXPECT_EQ(output, expected) << inFolder.out;
    EXPECT_NE(inFolder.err.find("共 4 行：找到 2，未找到 1，无效 1"), std::string::npos)
        << inFolder.err;
    EXPECT_NE(inFolder.err.find("省份：北京 1，湖北 1"), std::string::npos) << inFolder.err;
}

TEST_F(Lookup, TheNumberColumnIsChosenByNameByNumberOrByItsHeader) {
    const std::string table =
        "姓名,电话号码,备注\n"
        "张三,13800138000,x\n"
        "李四,13900001111\n"         // short: padded
        "王五,13800001111,y,z,w\n";  // long: kept whole
    const std::string noHeader = "张三,13800138000,x\n";
    const struct {
        const char *what;
        std::string input;
        std::vector<std::string> args;
        int exitCode;
        std::string firstLine;  // of the output, or what stderr says
        std::string aLine;      // of the output
    } cases[] = {
        {"by name",
         table,
         {"--column", "电话号码"},
         0,
         "姓名,电话号码,备注,省份,城市,区号,卡信息,状态",
         "王五,13800001111,y,z,w,北京,北京,010,中国移动,找到"},
        {"by number",
         table,
         {"-c", "2"},
         0,
         "姓名,电话号码,备注,省份,城市,区号,卡信息,状态",
         "李四,13900001111,,湖北,武汉,027,中国移动,找到"},
        {"by its header",
         table,
         {},
         0,
         "姓名,电话号码,备注,省份,城市,区号,卡信息,状态",
         "张三,13800138000,x,北京,北京,010,中国移动,找到"},
        {"no header, by number",
         noHeader,
         {"--column", "2"},
         0,
         "列1,号码,列3,省份,城市,区号,卡信息,状态",
         "张三,13800138000,x,北京,北京,010,中国移动,找到"},
        {"forced header",
         "13800138000\n13900001111\n",
         {"--header"},
         0,
         "13800138000,省份,城市,区号,卡信息,状态",
         "13900001111,湖北,武汉,027,中国移动,找到"},
        {"name not there",
         table,
         {"--column", "手机"},
         1,
         "in.csv:1: 第一行里没有名为 手机 的列；列名有：姓名、电话号码、备注",
         ""},
        {"number too high", table, {"--column", "4"}, 1, "in.csv:1: 只有 3 列，没有第 4 列", ""},
        {"no column, no header",
         noHeader,
         {},
         2,
         "有 3 列（张三、13800138000、x），请用 --column",
         ""},
        {"name without header",
         table,
         {"--column", "备注", "--no-header"},
         2,
         "不能同时给 --no-header",
         ""},
        {"column 0", table, {"--column", "0"}, 2, "--column 的列号从 1 开始", ""},
    };
    for (const auto &c : cases) {
        writeFile(m_dir / "in.csv", c.input);
        std::vector<std::string> args = c.args;
        args.push_back(m_dir / "in.csv");
        const Result result = lookup(args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.what << "\n" << result.err;
        if (c.exitCode != 0) {
            EXPECT_NE(result.err.find(c.firstLine), std::string::npos) << c.what << "\n"
                                                                       << result.err;
            continue;
        }
        EXPECT_EQ(result.out.substr(0, result.out.find('\n')), c.firstLine) << c.what;
        EXPECT_NE(result.out.find("\n" + c.aLine + "\n"), std::string::npos) << c.what << "\n"
                                                                             << result.out;
    }
}

TEST_F(Lookup, APlainListGetsAHeaderAndARowForEveryLine) {
    writeFile(m_dir / "in.txt",
              "\xEF\xBB\xBF"
              "13800138000\r\n\r\n１３９００００１１１１\r\n" +
                  std::string(1000000, '1') + "\r\n");
    RunOptions fromStdin;
    fromStdin.standardInput = m_dir / "in.txt";
    const Result result = lookup({}, fromStdin);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Records output = readRecords(result.out, cli::kTsv);
    ASSERT_EQ(output.size(), 5u) << result.out.substr(0, 500);
    EXPECT_EQ(output[0],
              (std::vector<std::string>{"号码", "省份", "城市", "区号", "卡信息", "状态"}));
    EXPECT_EQ(output[1][5], "找到");
    EXPECT_EQ(output[2], (std::vector<std::string>{"", "", "", "", "", "无效：空"}));
    EXPECT_EQ(output[3][3], "027");
    EXPECT_EQ(output[4][5], "无效：位数太多（1000000 位）") << "a line of a megabyte";
    EXPECT_NE(result.err.find("无效的原因：空 1，位数太多 1"), std::string::npos) << result.err;
}

// The kinds besides mobiles reach the output and the summary; a store
// from before the area-code table answers landlines as before, with a note;
// --only 手机 answers as before.
TEST_F(Lookup, AMixedListIsCountedByKind) {
    writeFile(m_dir / "in.txt",
              "13800138000\n010-8888 6666\n0571 876 5432\n400-810-8888\n10086\n"
              "+852 9123 4567\n+1 650 253 0000\n");
    const Result old = lookup({m_dir / "in.txt"});
    ASSERT_EQ(old.exitCode, 0) << old.err;
    EXPECT_EQ(readRecords(old.out, cli::kTsv)[2][5], "无效：固定电话号码（带区号）");
    EXPECT_NE(
        old.err.find("注意：号码表里没有区号表（它是较早的版本），2 个带区号的号码照旧记为无效"),
        std::string::npos)
        << old.err;

    {
        const store::Database db(store(), SQLITE_OPEN_READWRITE);
        db.exec("begin");
        store::writeAreaCodes(db, table::readAreaCodeTsv(AREACODES_TSV));
        db.exec("commit");
    }
    const Result result = lookup({m_dir / "in.txt"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Records output = readRecords(result.out, cli::kTsv);
    ASSERT_EQ(output.size(), 8u) << result.out;
    EXPECT_EQ(output[2], (std::vector<std::string>{"010-8888 6666", "北京", "北京", "010",
                                                   "固定电话", "找到"}));
    EXPECT_EQ(output[6][4], "香港号码");
    EXPECT_EQ(result.err,
              "共 7 行：找到 6，未找到 0，无效 1\n"
              "  类别：手机 1，固定电话 1，400/800 1，服务号码 1，港澳台 1，境外 1\n"
              "  无效的原因：本地号码位数不对 1\n"
              "  省份：北京 2，香港 1\n"
              "  卡信息：400号码 1，中国移动 1，中国移动客服 1，固定电话 1，境外号码（+1） 1，"
              "香港号码 1\n");

    const Result only = lookup({"--only", "手机", m_dir / "in.txt"});
    ASSERT_EQ(only.exitCode, 0) << only.err;
    EXPECT_EQ(only.err.substr(0, only.err.find('\n')), "共 7 行：找到 1，未找到 0，无效 6");
    EXPECT_EQ(only.err.find("类别"), std::string::npos) << only.err;
    EXPECT_EQ(lookup({"--only", "固定电话", m_dir / "in.txt"}).exitCode, 2);
}

TEST_F(Lookup, OutputForSpreadsheets) {
    writeFile(m_dir / "in.txt", "手机\n13800138000\n");
    const Result bom = lookup({m_dir / "in.txt", "--bom", "--format", "csv"});
    EXPECT_EQ(
        bom.out,
        "\xEF\xBB\xBF手机,省份,城市,区号,卡信息,状态\n13800138000,北京,北京,010,中国移动,找到\n");
    const Result gb = lookup({m_dir / "in.txt", "--encoding", "GB18030", "-o", m_dir / "gb.tsv"});
    ASSERT_EQ(gb.exitCode, 0) << gb.err;
    EXPECT_EQ(
        readFile(m_dir / "gb.tsv"),
        "\xCA\xD6\xBB\xFA\t\xCA\xA1\xB7\xDD\t\xB3\xC7\xCA\xD0\t\xC7\xF8\xBA\xC5\t\xBF\xA8\xD0"
        "\xC5\xCF\xA2\t\xD7\xB4\xCC\xAC\n13800138000\t\xB1\xB1\xBE\xA9\t\xB1\xB1\xBE\xA9\t010\t"
        "\xD6\xD0\xB9\xFA\xD2\xC6\xB6\xAF\t\xD5\xD2\xB5\xBD\n");
    EXPECT_NE(gb.err.find("结果已写入 " + m_dir / "gb.tsv"), std::string::npos) << gb.err;
    const std::vector<std::vector<std::string>> refused = {
        {"--bom", "--encoding", "gb18030"},
        {"--encoding", "gbk"},
        {"--format", "xlsx"},
        {"--header", "--no-header"},
        {"-", "-"},
        {"--colum", "1"},
    };
    for (const auto &args : refused) {
        const Result result = lookup(args);
        EXPECT_EQ(result.exitCode, 2) << args.front() << "\n" << result.err;
        EXPECT_NE(result.err.find("lookup --help"), std::string::npos) << result.err;
    }
    const Result help = run({"lookup", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("写到标准输出时无法撤回，失败时可能已经写出了一部分"),
              std::string::npos);
}

TEST_F(Lookup, BadInputIsRefusedNamingItsFileAndLineAndNoOutputIsLeft) {
    const std::string dir = m_dir.path().string();
    writeFile(m_dir / "in.txt", "");
    const struct {
        const char *what;
        std::string bytes;  // written to in.txt unless empty
        std::vector<std::string> inputs;
        std::string says;
        bool asNobody = false;
    } cases[] = {
        {"missing", "", {dir + "/in-missing.txt"}, dir + "/in-missing.txt: 找不到这个文件"},
        {"a folder", "", {dir}, dir + ": 这是一个文件夹"},
        {"binary",
         std::string("13800138000\n\x7F"
                     "ELF\x02\x01\x01") +
             std::string(3, '\0'),
         {dir + "/in.txt"},
         dir + "/in.txt:2: 含有 NUL 字节"},
        {"GBK",
         "13800138000\n\xB1\xB1\xBE\xA9,13800138000\n",
         {dir + "/in.txt"},
         dir + "/in.txt:2: 文字编码不是 UTF-8，看起来是 GBK/GB18030"},
        {"UTF-16",
         std::string("\xFF\xFE"
                     "1\0"
                     "3\0",
                     6),
         {dir + "/in.txt"},
         dir + "/in.txt:1: 文字编码是 UTF-16"},
        {"a line over a megabyte",
         "13800138000\n" + std::string(3 << 20, '7'),
         {dir + "/in.txt"},
         dir + "/in.txt:2: 这一行太长"},
        {"unclosed quote",
         "手机,b\n\"13800138000,x\n",
         {dir + "/in.txt"},
         dir + "/in.txt:2: 引号没有闭合"},
        {"second file missing",
         "13800138000\n",
         {dir + "/in.txt", dir + "/in-2.txt"},
         dir + "/in-2.txt: 找不到这个文件"},
        {"unreadable",
         "13800138000\n",
         {dir + "/in.txt"},
         dir + "/in.txt: 无法读取：没有权限",
         true},
    };
    for (const auto &c : cases) {
        if (!c.bytes.empty()) {
            writeFile(m_dir / "in.txt", c.bytes);
        }
        // An unreadable file: root reads every file, so the tool runs as
        // nobody then; anyone else is refused a file without permissions.
        RunOptions options;
        options.asNobody = c.asNobody && ::geteuid() == 0;
        fs::permissions(m_dir / "in.txt", !c.asNobody        ? fs::perms::all
                                          : options.asNobody ? fs::perms::owner_read
                                                             : fs::perms::none);
        std::vector<std::string> args = c.inputs;
        args.insert(args.end(), {"-o", m_dir / "out.csv"});
        if (options.asNobody) {
            fs::permissions(m_dir.path(), fs::perms::all);
        }
        const Result result = lookup(args, options);
        if (result.exitCode == 125 && result.err == kCannotDropRights) {
            continue;
        }
        EXPECT_EQ(result.exitCode, 1) << c.what << "\n" << result.err;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << c.what << "\n" << result.err;
        EXPECT_EQ(leftOver(), std::set<std::string>{}) << c.what << ": output left behind";
    }
}

TEST_F(Lookup, AnOutputThatCannotBeWrittenLeavesNoFile) {
    std::string numbers;
    for (int i = 0; i < 50000; ++i) {
        numbers += std::to_string(13800000000LL + i) + "\n";
    }
    writeFile(m_dir / "in.txt", numbers);
    RunOptions limited;
    limited.fileSizeLimit = 256 * 1024;
    const Result tooBig = lookup({m_dir / "in.txt", "-o", m_dir / "out.tsv"}, limited);
    EXPECT_EQ(tooBig.exitCode, 1);
    EXPECT_NE(tooBig.err.find(m_dir / "out.tsv" + ": 写入失败：文件超过了系统允许的大小（正在写 " +
                              m_dir / "in.txt" + " 第 "),
              std::string::npos)
        << tooBig.err;
    EXPECT_EQ(leftOver(), std::set<std::string>{});

    const Result noFolder = lookup({m_dir / "in.txt", "-o", m_dir / "no/out.tsv"});
    EXPECT_EQ(noFolder.exitCode, 1);
    EXPECT_NE(noFolder.err.find(m_dir / "no/out.tsv: 无法在文件夹"), std::string::npos)
        << noFolder.err;

    const std::string mount = m_dir / "small";
    fs::create_directories(mount);
    if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=200k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root in a privileged container)";
    }
    const Result full = lookup({m_dir / "in.txt", "-o", mount + "/out.tsv"});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_NE(full.err.find(mount + "/out.tsv: 写入失败：磁盘空间不足"), std::string::npos)
        << full.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(mount), {}), 0) << "a file was left";
    ::umount(mount.c_str());
}

// The tool's exit code and message where its output cannot be replaced (the
// kinds of output name are tested with the output file itself), and
// /dev/stdout, tried as nobody, who cannot replace the system's own if the
// tool went wrong.
TEST_F(Lookup, AReadOnlyOutputIsRefusedAndDevStdoutWrittenDirectly) {
    writeFile(m_dir / "in.txt", "13800138000\n");
    writeFile(m_dir / "ro.csv", "old");
    fs::permissions(m_dir / "ro.csv", fs::perms(0444));
    const Result readOnly = lookup({m_dir / "in.txt", "-o", m_dir / "ro.csv"});
    EXPECT_EQ(readOnly.exitCode, 1);
    EXPECT_NE(readOnly.err.find("ro.csv: 是只读文件，没有改动它"), std::string::npos)
        << readOnly.err;
    EXPECT_EQ(readFile(m_dir / "ro.csv"), "old");

    RunOptions nobody;
    nobody.asNobody = ::geteuid() == 0;
    const Result out = lookup({m_dir / "in.txt", "-o", "/dev/stdout"}, nobody);
    if (out.exitCode == 125 && out.err.find(kCannotDropRights) != std::string::npos) {
        GTEST_SKIP() << out.err;
    }
    EXPECT_EQ(out.exitCode, 0) << out.err;
    EXPECT_EQ(
        out.out,
        "号码\t省份\t城市\t区号\t卡信息\t状态\n13800138000\t北京\t北京\t010\t中国移动\t找到\n");
    EXPECT_TRUE(fs::is_symlink("/dev/stdout"));
}

// A run killed while its output was still a temporary leaves it beside the
// output; the next run writing in that folder removes it.
TEST_F(Lookup, TheNextRunRemovesWhatAKilledRunLeft) {
    writeFile(m_dir / "in.txt", "13800138000\n");
    writeFile(m_dir / "out.csv", "earlier");
    RunOptions killed;
    killed.environment = {"PLIMORA_CRASH_AT=output-written"};
    killed.program = PLIMORA_TABLE_FAULTY;
    EXPECT_EQ(lookup({m_dir / "in.txt", "-o", m_dir / "out.csv"}, killed).signal, SIGKILL);
    EXPECT_EQ(readFile(m_dir / "out.csv"), "earlier");
    std::set<std::string> left = leftOver();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_TRUE(std::any_of(left.begin(), left.end(), [](const std::string &name) {
        return name.starts_with("out.csv.plimora-tmp-");
    })) << "the killed run left no temporary";

    const Result next = lookup({m_dir / "in.txt", "-o", m_dir / "other.csv"});
    ASSERT_EQ(next.exitCode, 0) << next.err;
    EXPECT_EQ(leftOver(), (std::set<std::string>{"other.csv", "out.csv"}));
}

TEST_F(Lookup, TextsFromTheStoreNeverReachASpreadsheetAsFormulas) {
    execSql(store(),
            "insert into quelto (号码1, 号码2, 省份, 城市, 区号, 卡信息) values "
            "(1500000, 1500000, '=HYPERLINK(\"http://x\")', '+1', '-1', '@卡'),"
            "(1510000, 1510000, char(9) || '省', char(13) || '市', '010', '卡=')");
    writeFile(m_dir / "in.csv", "手机,备注\n15000000000,=1+1\n15100000000,@me\n");
    const Result csv = lookup({m_dir / "in.csv"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_EQ(
        readRecords(csv.out, cli::kCsv),
        (Records{{"手机", "备注", "省份", "城市", "区号", "卡信息", "状态"},
                 {"15000000000", "=1+1", "'=HYPERLINK(\"http://x\")", "'+1", "'-1", "'@卡", "找到"},
                 {"15100000000", "@me", "'\t省", "'\r市", "010", "卡=", "找到"}}))
        << csv.out;
    execSql(store(), "update quelto set 省份 = '=1', 城市 = '市' where 号码1 = 1510000");
    const Result tsvOut = lookup({m_dir / "in.csv", "--format", "tsv"});
    ASSERT_EQ(tsvOut.exitCode, 0) << tsvOut.err;
    EXPECT_NE(tsvOut.out.find("15100000000\t@me\t'=1\t"), std::string::npos) << tsvOut.out;
}

TEST_F(Lookup, TheStoreMayBeNamedBeforeTheCommand) {
    writeFile(m_dir / "in.txt", "13800138000\n");
    const Result before = run({"--store", store(), "lookup", m_dir / "in.txt"});
    EXPECT_EQ(before.exitCode, 0) << before.err;
    EXPECT_NE(before.out.find("13800138000\t北京"), std::string::npos) << before.out;
    const Result equals = run({"--store=" + store(), "check"});
    EXPECT_EQ(equals.exitCode, 0) << equals.out << equals.err;
    EXPECT_NE(run({"--help", "lookup"}).out.find("用法：plimora-table lookup"), std::string::npos);
    const struct {
        std::vector<std::string> words;
        const char *message;
    } refused[] = {
        {{"--store", store(), "lookup", "--store", store()}, "选项 --store 只能给一次"},
        {{"--all", "export"}, "子命令前面只能写 --store PATH 和 --help：--all"},
    };
    for (const auto &r : refused) {
        const Result result = run(r.words);
        EXPECT_EQ(result.exitCode, 2) << r.message;
        EXPECT_NE(result.err.find(r.message), std::string::npos) << result.err;
    }
}

TEST_F(Lookup, AClosedPipeEndsTheToolWithAMessage) {
    std::string numbers;
    for (int i = 0; i < 300000; ++i) {
        numbers += std::to_string(13800000000LL + i) + "\n";
    }
    writeFile(m_dir / "in.txt", numbers);
    int out[2];
    int err[2];
    ASSERT_EQ(::pipe(out), 0);
    ASSERT_EQ(::pipe(err), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::close(out[0]);
        ::close(err[0]);
        ::execl(PLIMORA_TABLE, PLIMORA_TABLE, "lookup", "--store", store().c_str(),
                (m_dir / "in.txt").c_str(), static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    char first[64] = {};
    EXPECT_GT(::read(out[0], first, sizeof first), 0);
    ::close(out[0]);  // as head -1 does after its line
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ADD_FAILURE() << "the tool hung on a closed pipe";
            break;
        }
        ::usleep(10000);
    }
    std::string message;
    char buffer[512];
    for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;) {
        message.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(err[0]);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(message.find("标准输出: 写入失败：读取输出的程序已经关闭了管道"), std::string::npos)
        << message;
}

}  // namespace
