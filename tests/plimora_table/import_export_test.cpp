// import: the whole file or nothing, every refused line named; export: the
// user's rows back out, in a form import reads again.
#include <gtest/gtest.h>

#include "tests/plimora_table/tool_runner.h"

namespace {

using namespace table_test;

class ImportExport : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(m_dir / "quelto.tsv", tsv({"1380000\t1380999\t北京\t北京\t010\t中国移动",
                                             "1390000\t1390999\t新疆\t乌鲁木齐\t0991\t中国移动"}));
        writeFile(m_dir / "edition.tsv", editionFile(2));
        const Result built = run({"build", "--store", store(), "--table", m_dir / "quelto.tsv"});
        ASSERT_EQ(built.exitCode, 0) << built.err;
    }
    std::string store() const { return m_dir / "sys.dat"; }

    TempDir m_dir;
};

TEST_F(ImportExport, AFileWithOneBadLineImportsNothingAndListsEveryBadLine) {
    const std::string before = checksum(store());
    writeFile(m_dir / "rows.tsv",
              "号码1\t号码2\t省份\t城市\t区号\t卡信息\n"
              "1990000\t1990009\t广东\t广州\t020\t中国电信\n"              // 2 good
              "199001\t1990010\t广东\t广州\t020\t中国电信\n"               // 3 six digits
              "1990020\t1990011\t广东\t广州\t020\t中国电信\n"              // 4 reversed
              "2990020\t2990020\t广东\t广州\t020\t中国电信\n"              // 5 not 1
              "1990030\t1990030\t  \t广州\t020\t中国电信\n"                // 6 empty province
              "1990040\t1990040\t广东\t广州\t02\t中国电信\n"               // 7 area code of 2
              "1990050\t1990050\t广东\t广州\t02000\t中国电信\n"            // 8 area code of 5
              "1990005\t1990005\t广东\t广州\t020\t中国电信\n"              // 9 inside line 2
              "1380013\t1380013\t北京\t北京\t010\t我的\n"                  // 10 the store has it
              "1990060\t1990060\t广东\t广州\t020\n"                        // 11 five fields
              "1990070\t1990070\t广东\t广州\t0200\t中国电信\n"             // 12 good (4 characters)
              "1990080\t1990080\t\x1b[31m广东\x07\t广州\t020\t中国电信\n"  // 13 ESC, BEL
              "1990100\t1990100\t\u200b\t广州\t020\t中国电信\n"            // 14 ZWSP only
              "1990130\t1990130\t广东\t=HYPERLINK(\"http://x\")\t020\t中国电信\n"  // 15
              "1990180\t1990180\t广东\t广州\t-1+1\t中国电信\n"                     // 16 a sum
              "1990190\t1990190\t广东\t\u202e州广\t020\t中国电信\n");              // 17 RLO
    const Result result = run({"import", m_dir / "rows.tsv", "--store", store()});
    EXPECT_EQ(result.exitCode, 1);
    const struct {
        int line;
        const char *reason;
    } refused[] = {
        {3, "号码1 不是 7 位的号码前缀"},
        {4, "号码1 大于 号码2"},
        {5, "号码1 不是 7 位的号码前缀"},
        {6, "省份 为空"},
        {7, "区号 不是 0 加 2 到 3 位数字"},
        {8, "区号 不是 0 加 2 到 3 位数字"},
        {9, "与第 2 行重叠"},
        {10, "已有数据：1380000-1380999 北京 北京 010 中国移动"},
        {11, "应有 6 个字段，实际有 5 个"},
        {13, "省份 含有控制字符 U+001B U+0007：\"\\x1B[31m广东\\x07\""},
        {14, "省份 只有空白或看不见的字符（U+200B）"},
        {15, "城市 以 = 开头，表格软件会把它当作公式"},
        {16, "区号 不是 0 加 2 到 3 位数字：\"-1+1\""},
        {17, "城市 含有改变文字方向的字符 U+202E：\"\\u202E州广\""},
    };
    for (const auto &r : refused) {
        const std::string expected = "rows.tsv:" + std::to_string(r.line) + ": ";
        const auto at = result.err.find(expected);
        ASSERT_NE(at, std::string::npos) << "line " << r.line << " not listed:\n" << result.err;
        EXPECT_NE(result.err.substr(at, result.err.find('\n', at) - at).find(r.reason),
                  std::string::npos)
            << "line " << r.line << ":\n"
            << result.err;
    }
    EXPECT_EQ(result.err.find("rows.tsv:2:"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("rows.tsv:12:"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("有 14 处不合格（共 16 行数据），一行也没有导入"), std::string::npos)
        << result.err;
    EXPECT_EQ(result.err.find_first_of("\x1b\x07\x7f"), std::string::npos)
        << "a control character reached the terminal";
    EXPECT_EQ(checksum(store()), before);
}

TEST_F(ImportExport, ASpreadsheetsCsvLandsWholeAndComesBackOutAsTheUsersRows) {
    // Columns in another order, a BOM, CRLF, quoted fields with a comma and
    // doubled quotes, spaces to trim, 中文 and an emoji.
    writeFile(m_dir / "rows.csv",
              "\xEF\xBB\xBF卡信息,号码1,号码2,省份,城市,区号\r\n"
              "\"联通, 商务\",1990000,1990009, 广东 ,广州,020\r\n"
              "\"我的\"\"卡\"\"😀\",1660000,1660000,上海,上海,0210\r\n");
    const Result result = run({"import", m_dir / "rows.csv", "--store", store()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("导入 2 行"), std::string::npos) << result.out;

    const auto found = lookUpLikeTheWindow(m_dir.path().string(), "19900051234");
    ASSERT_TRUE(found);
    EXPECT_EQ((*found)[0], "广东") << "not trimmed";
    EXPECT_EQ((*found)[3], "联通, 商务");

    const std::string expected = tsv({"1990000\t1990009\t广东\t广州\t020\t联通, 商务",
                                      "1660000\t1660000\t上海\t上海\t0210\t我的\"卡\"😀"});
    EXPECT_EQ(run({"export", "--store", store()}).out, expected);
    ASSERT_EQ(run({"export", "--store", store(), "-o", m_dir / "mine.tsv"}).exitCode, 0);
    EXPECT_EQ(readFile(m_dir / "mine.tsv"), expected);

    // Moved to another machine: the exported rows import into a fresh store.
    TempDir other;
    run({"build", "--store", other / "sys.dat", "--table", m_dir / "quelto.tsv", "--edition",
         m_dir / "edition.tsv"});
    const Result moved = run({"import", m_dir / "mine.tsv", "--store", other / "sys.dat"});
    ASSERT_EQ(moved.exitCode, 0) << moved.err;
    EXPECT_EQ(run({"export", "--store", other / "sys.dat"}).out, expected);

    // The same file again is refused whole: its rows are there now.
    const std::string before = checksum(store());
    EXPECT_EQ(run({"import", m_dir / "rows.csv", "--store", store()}).exitCode, 1);
    EXPECT_EQ(checksum(store()), before);
}

TEST_F(ImportExport, ExportAllWritesTheWholeTableAndRefusesATextTsvCannotHold) {
    EXPECT_EQ(run({"export", "--all", "--store", store()}).out,
              tsv({"1380000\t1380999\t北京\t北京\t010\t中国移动",
                   "1390000\t1390999\t新疆\t乌鲁木齐\t0991\t中国移动"}));
    execSql(store(),
            "insert into quelto (号码1, 号码2, 省份, 城市, 区号, 卡信息) values "
            "(1660000, 1660000, 'a' || char(9) || 'b', 'c', '010', 'd')");
    const Result result = run({"export", "--store", store(), "-o", m_dir / "out.tsv"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("第 3 行的 省份 含有制表符或换行"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(m_dir / "out.tsv")) << "a partial output was left";
}

}  // namespace

TEST_F(ImportExport, AnOutputThatIsTheStoreItselfIsRefused) {
    fs::create_symlink(store(), m_dir / "link.tsv");
    writeFile(m_dir / "numbers.txt", "13800138000\n");
    const std::string before = checksum(store());
    for (const std::string &output : {store(), std::string(m_dir / "link.tsv")}) {
        for (const std::vector<std::string> &command :
             {std::vector<std::string>{"export", "--store", store(), "-o", output},
              std::vector<std::string>{"lookup", m_dir / "numbers.txt", "--store", store(), "-o",
                                       output}}) {
            const Result result = run(command);
            EXPECT_EQ(result.exitCode, 1) << command.front() << " -o " << output;
            EXPECT_NE(result.err.find("本身"), std::string::npos) << result.err;
        }
    }
    EXPECT_EQ(checksum(store()), before);
}
