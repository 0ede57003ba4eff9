// check: any sys.dat, also a plain table a user made by hand, with each kind
// of fault reported and the exit code saying whether there was one.
#include <gtest/gtest.h>

#include <array>

#include "tests/plimora_table/tool_runner.h"

namespace {

using namespace table_test;

const char *const kPlainTable =
    "create table quelto (号码1 integer, 号码2 integer, 省份 text, 城市 text, 区号 text, 卡信息 "
    "text)";

std::string plainStore(const TempDir &dir, const std::string &rows) {
    const std::string store = dir / "sys.dat";
    writeFile(store, "");
    execSql(store, kPlainTable);
    if (!rows.empty()) {
        execSql(store, "insert into quelto values " + rows);
    }
    return store;
}

TEST(Check, AHandMadeTableWithEveryKindOfFault) {
    TempDir dir;
    const std::string store = plainStore(
        dir,
        "(1380000, 1380999, '北京', '北京', '010', '中国移动'),"    // 1 good
        "(1380500, 1380500, '河北', '保定', '0312', '中国移动'),"   // 2 inside row 1
        "(1390009, 1390000, '新疆', '伊犁', '0999', '中国移动'),"   // 3 reversed
        "(1391000, 1391000, '新疆', NULL, '0999', '中国移动'),"     // 4 null city
        "(1392000, 1392000, '  ', '伊犁', '0999', '中国移动'),"     // 5 empty province
        "(1393000, 1393000, '新疆', '伊犁', '999', '中国移动'),"    // 6 area code without 0
        "(1540000, 1540099, '广东', '广州', '020', '中国移动'),"    // 7 154 is unallocated
        "(138001, 138001, '北京', '北京', '010', '中国移动'),"      // 8 six digits
        "(1394000.5, 1394001, '新疆', '伊犁', '0999', '中国移动')"  // 9 not whole
    );
    const std::string before = checksum(store);
    const Result result = run({"check", "--store", store});
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
    const struct {
        const char *kind;
        const char *row;
    } faults[] = {
        {"号码段重叠：1 处", "第 1 行 1380000-1380999 北京 北京 010 中国移动  与  第 2 行"},
        {"号码1 大于 号码2：1 处", "第 3 行 1390009-1390000"},
        {"文字为 NULL：1 处", "第 4 行 1391000 新疆 (NULL) 0999 中国移动：城市 为 NULL"},
        {"文字为空：1 处", "第 5 行 1392000 (空) 伊犁"},
        {"区号不是 0 加 2 到 3 位数字：1 处", "第 6 行 1393000 新疆 伊犁 999"},
        {"行落在未分配的号段：1 处", "第 7 行 1540000-1540099 广东 广州 020 中国移动：号段 1540"},
        {"号码不是 7 位的号码前缀（1000000 到 1999999 的整数）：2 处", "第 8 行 138001 "},
    };
    for (const auto &fault : faults) {
        EXPECT_NE(result.out.find(fault.kind), std::string::npos) << fault.kind << "\n"
                                                                  << result.out;
        EXPECT_NE(result.out.find(fault.row), std::string::npos) << fault.row << "\n" << result.out;
    }
    EXPECT_NE(result.out.find("发现 8 处问题"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("没有版本信息，也不是第 1 版的表"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("138：2 行，1001 个"), std::string::npos) << result.out;
    EXPECT_EQ(checksum(store), before) << "check changed the file";
}

TEST(Check, ACleanStorePassesAndImportWritesWholeNumbersIntoAPlainTable) {
    TempDir dir;
    const std::string store =
        plainStore(dir, "(1380000, 1380999, '北京', '北京', '010', '中国移动')");
    writeFile(dir / "rows.tsv", tsv({"1990000\t1990000\t广东\t广州\t020\t中国电信"}));
    const Result imported = run({"import", dir / "rows.tsv", "--store", store});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_EQ(queryText(store, "select typeof(号码1) || typeof(号码2) from quelto where rowid = 2"),
              "integerinteger");
    const Result result = run({"check", "--store", store});
    EXPECT_EQ(result.exitCode, 0) << result.out;
    EXPECT_NE(result.out.find("结论：没有发现问题"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("完整性：正常"), std::string::npos) << result.out;
}

TEST(Check, ListsTwentyOfAKindUnlessAskedForAll) {
    TempDir dir;
    std::string rows;
    for (int i = 0; i < 25; ++i) {
        rows += std::string(i ? "," : "") + "(" + std::to_string(1380000 + i) + ", " +
                std::to_string(1380000 + i) + ", '北京', '北京', '10', '中国移动')";
    }
    const std::string store = plainStore(dir, rows);
    const Result some = run({"check", "--store", store});
    EXPECT_NE(some.out.find("……还有 5 处（用 --list-all 全部列出）"), std::string::npos)
        << some.out;
    const Result all = run({"check", "--list-all", "--store", store});
    EXPECT_EQ(all.out.find("……还有"), std::string::npos) << all.out;
    EXPECT_NE(all.out.find("第 25 行"), std::string::npos) << all.out;
}

// What the add-record window lets a user add (a number in a segment no
// carrier holds, a text a spreadsheet takes for a formula) is a note in a row
// of the user's, and stays a fault in the edition's rows; what nobody can see
// or trust is a fault in either, shown escaped.
TEST(Check, NotesForWhatTheWindowAcceptsFaultsForTheRest) {
    const struct {
        const char *what;
        std::vector<std::string> edition;  // rows of the edition, besides a good one
        std::vector<std::pair<std::string, std::array<std::string, 4>>> added;  // by the window
        int exitCode;
        std::vector<std::string> shown;  // parts of the report
    } cases[] = {
        {"user rows in segment 140 and a formula",
         {},
         {{"14000010000", {"广东", "广州", "020", "我的卡"}},
          {"13900010000", {"广东", "=HYPERLINK(\"x\")", "020", "我的卡"}}},
         0,
         {"提示（添加数据 也接受这样的行，不算问题）：", "您添加的行落在未分配的号段：1 处",
          "第 2 行 1400001 广东 广州 020 我的卡：号段 1400 没有分配给任何运营商",
          "您添加的文字以 = + - @ 开头（表格软件会当作公式）：1 处", "结论：没有发现问题"}},
        {"user rows with area codes of three and four digits, one without its 0",
         {},
         {{"13900020000", {"广东", "广州", "755", "我的卡"}},
          {"13900030000", {"广东", "广州", "0755", "我的卡"}}},
         0,
         {"您添加的区号不是 0 加 2 到 3 位数字：1 处", "第 2 行 1390002 广东 广州 755 我的卡",
          "结论：没有发现问题"}},
        {"an edition row in segment 154 and one with a formula",
         {"1540000\t1540099\t广东\t广州\t020\t中国移动"},
         {},
         1,
         {"\n  行落在未分配的号段：1 处", "结论：发现 1 处问题"}},
        {"a user row with an escape sequence",
         {},
         {{"13900010000", {"\x1b[2J广东", "广州", "020", "我的卡"}}},
         1,
         {"文字含有控制字符：1 处",
          "第 2 行 1390001 \\x1B[2J广东 广州 020 我的卡：省份 含有控制字符 U+001B",
          "结论：发现 1 处问题"}},
    };
    for (const auto &c : cases) {
        TempDir dir;
        std::vector<std::string> edition = {"1380000\t1380999\t北京\t北京\t010\t中国移动"};
        edition.insert(edition.end(), c.edition.begin(), c.edition.end());
        writeFile(dir / "quelto.tsv", tsv(edition));
        writeFile(dir / "edition.tsv", editionFile(2));
        const std::string store = dir / "sys.dat";
        ASSERT_EQ(run({"build", "--store", store, "--table", dir / "quelto.tsv"}).exitCode, 0);
        for (const auto &[number, texts] : c.added) {
            ASSERT_TRUE(addLikeTheWindow(dir.path().string(), number, texts)) << c.what;
        }
        const Result result = run({"check", "--store", store});
        EXPECT_EQ(result.exitCode, c.exitCode) << c.what << "\n" << result.out;
        for (const std::string &part : c.shown) {
            EXPECT_NE(result.out.find(part), std::string::npos) << c.what << ": " << part << "\n"
                                                                << result.out;
        }
        EXPECT_EQ(result.out.find('\x1b'), std::string::npos) << c.what << ": raw escape";
    }
}

}  // namespace
