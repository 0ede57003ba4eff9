// update: a new edition arrives, every row the user added stays, the user's
// answer wins where the new edition now covers the same numbers, and the old
// file stays as a backup. Both ways a user gets a new edition are covered:
// a clone (the text table) and a newer program folder (another sys.dat).
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/plimora_table/tool_runner.h"

namespace {

using namespace table_test;

using Texts = std::array<std::string, 4>;

const std::vector<std::string> kEdition2 = {
    "1300000\t1300099\t北京\t北京\t010\t中国联通",
    "1380000\t1380999\t北京\t北京\t010\t中国移动",
    "1390000\t1390999\t新疆\t乌鲁木齐\t0991\t中国移动",
};
// Edition 3 adds a block that now covers a number the user added.
const std::vector<std::string> kEdition3 = {
    "1300000\t1300099\t北京\t北京\t010\t中国联通",
    "1380000\t1380999\t北京\t北京\t010\t中国移动",
    "1390000\t1390999\t新疆\t乌鲁木齐\t0991\t中国移动",
    "1990000\t1990999\t广东\t深圳\t0755\t中国电信",
};

const Texts kGuangzhou = {"广东", "广州", "020", "中国电信"};
const Texts kMine = {"上海", "上海", "021", "我的\"卡\"😀"};

std::string describe(const std::optional<Texts> &texts) {
    return texts ? (*texts)[0] + " " + (*texts)[1] + " " + (*texts)[2] + " " + (*texts)[3]
                 : "(none)";
}

class Update : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_dir.path() / "e2");
        fs::create_directories(m_dir.path() / "e3");
        writeFile(m_dir / "e2/quelto.tsv", tsv(kEdition2));
        writeFile(m_dir / "e2/edition.tsv", editionFile(2));
        writeFile(m_dir / "e3/quelto.tsv", tsv(kEdition3));
        writeFile(m_dir / "e3/edition.tsv", editionFile(3));
    }

    // A program folder holding a store of edition 2 with two rows the user
    // added through the add-record window.
    std::string folderWithUserRows(const std::string &name) {
        const std::string folder = m_dir / name;
        fs::create_directories(folder);
        const Result built =
            run({"build", "--store", folder + "/sys.dat", "--table", m_dir / "e2/quelto.tsv"});
        EXPECT_EQ(built.exitCode, 0) << built.err;
        EXPECT_TRUE(addLikeTheWindow(folder, "19901230000", kGuangzhou));
        EXPECT_TRUE(addLikeTheWindow(folder, "16600001111", kMine));
        return folder;
    }

    std::vector<std::string> backups(const std::string &folder) const {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() == ".bak") {
                names.push_back(entry.path().string());
            }
        }
        return names;
    }

    TempDir m_dir;
};

TEST_F(Update, CarriesTheUsersRowsAndTheirAnswerWinsOverTheNewEdition) {
    const std::string folder = folderWithUserRows("app");
    const std::string store = folder + "/sys.dat";
    const std::string before = checksum(store);

    const Result result = run({"update", "--store", store, "--table", m_dir / "e3/quelto.tsv"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("已从第 2 版更新到第 3 版"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("保留了您添加的 2 行"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("您的：1990123 广东 广州 020 中国电信    新版本：1990000-1990999 "
                              "广东 深圳 0755 中国电信"),
              std::string::npos)
        << result.out;

    const auto saved = backups(folder);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(checksum(saved.front()), before) << "the backup is not the old file";
    EXPECT_FALSE(fs::exists(store + ".part"));

    const struct {
        const char *number;
        Texts expected;
    } lookups[] = {
        {"19901230000", kGuangzhou},  // the user's row, inside the new block
        {"19901220000", {"广东", "深圳", "0755", "中国电信"}},
        {"19901240000", {"广东", "深圳", "0755", "中国电信"}},
        {"19900000000", {"广东", "深圳", "0755", "中国电信"}},
        {"19909990000", {"广东", "深圳", "0755", "中国电信"}},
        {"16600001111", kMine},
        {"13800138000", {"北京", "北京", "010", "中国移动"}},
    };
    for (const auto &lookup : lookups) {
        EXPECT_EQ(describe(lookUpLikeTheWindow(folder, lookup.number)), describe(lookup.expected))
            << lookup.number;
    }
    EXPECT_EQ(metadataValue(store, "edition"), "3");
    EXPECT_EQ(metadataValue(store, "shipped_rows"), "5") << "the new block in two parts";
    EXPECT_EQ(metadataValue(store, "shipped_overridden"), "1");
    EXPECT_EQ(queryText(store, "select count(*) from quelto where id > 5"), "2");

    const Result exported = run({"export", "--store", store});
    EXPECT_EQ(exported.out, tsv({"1990123\t1990123\t广东\t广州\t020\t中国电信",
                                 "1660000\t1660000\t上海\t上海\t021\t我的\"卡\"😀"}));
    const Result checked = run({"check", "--store", store});
    EXPECT_EQ(checked.exitCode, 0) << checked.out;
}

TEST_F(Update, AgainKeepsEverythingAndOnlyTheNewestBackupOfItsOwn) {
    const std::string folder = folderWithUserRows("app");
    const std::string store = folder + "/sys.dat";
    // Copies the user made by hand, and a file of another store's, are not
    // the update's to remove.
    for (const char *name : {"sys.dat.bak", "sys.dat.old.bak", "other.dat.20260101-120000.bak",
                             "sys.dat.20260101-120000-0.bak"}) {
        writeFile(folder + "/" + name, "mine");
    }
    std::vector<std::string> named;
    for (int round = 0; round < 3; ++round) {
        const Result result = run({"update", "--store", store, "--table", m_dir / "e3/quelto.tsv"});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_NE(result.out.find("保留了您添加的 2 行"), std::string::npos) << result.out;
        const auto at = result.out.find("原文件备份为 ");
        ASSERT_NE(at, std::string::npos) << result.out;
        named.push_back(result.out.substr(
            at + std::string("原文件备份为 ").size(),
            result.out.find('\n', at) - at - std::string("原文件备份为 ").size()));
        if (round > 0) {
            EXPECT_NE(result.out.find("已删除较早的备份 " + named[round - 1]), std::string::npos)
                << result.out;
        }
    }
    std::vector<std::string> left = backups(folder);
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = {named.back(), folder + "/other.dat.20260101-120000.bak",
                                         folder + "/sys.dat.20260101-120000-0.bak",
                                         folder + "/sys.dat.bak", folder + "/sys.dat.old.bak"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
    EXPECT_TRUE(addLikeTheWindow(folder, "17000000000", kMine)) << "the window cannot add after";
    const Result exported = run({"export", "--store", store});
    EXPECT_NE(exported.out.find("1700000\t1700000"), std::string::npos) << exported.out;
}

TEST_F(Update, IfNewerLeavesAStoreOfTheSameEditionAloneAndAnOlderEditionIsRefused) {
    const std::string folder = folderWithUserRows("app");
    const std::string store = folder + "/sys.dat";
    const std::string before = checksum(store);

    const Result same =
        run({"update", "--if-newer", "--store", store, "--table", m_dir / "e2/quelto.tsv"});
    EXPECT_EQ(same.exitCode, 0) << same.err;
    EXPECT_EQ(same.out + same.err, "");
    EXPECT_EQ(checksum(store), before);
    EXPECT_TRUE(backups(folder).empty());

    ASSERT_EQ(run({"update", "--store", store, "--table", m_dir / "e3/quelto.tsv"}).exitCode, 0);
    const std::string updated = checksum(store);
    const Result older = run({"update", "--store", store, "--table", m_dir / "e2/quelto.tsv"});
    EXPECT_EQ(older.exitCode, 1);
    EXPECT_NE(older.err.find("e2/quelto.tsv: 是第 2 版，比"), std::string::npos) << older.err;
    EXPECT_EQ(checksum(store), updated);
}

TEST_F(Update, ANewerProgramFolderTakesTheRowsOfTheOldOne) {
    const std::string old = folderWithUserRows("plimora-old");
    const std::string oldSum = checksum(old + "/sys.dat");
    const std::string fresh = m_dir / "plimora-new";
    fs::create_directories(fresh);
    ASSERT_EQ(
        run({"build", "--store", fresh + "/sys.dat", "--table", m_dir / "e3/quelto.tsv"}).exitCode,
        0);

    const Result result =
        run({"update", "--store", fresh + "/sys.dat", "--rows-from", old + "/sys.dat"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("保留了您添加的 2 行（其中 2 行来自"), std::string::npos)
        << result.out;
    EXPECT_EQ(describe(lookUpLikeTheWindow(fresh, "19901230000")), describe(kGuangzhou));
    EXPECT_EQ(describe(lookUpLikeTheWindow(fresh, "16600001111")), describe(kMine));
    EXPECT_EQ(metadataValue(fresh + "/sys.dat", "edition"), "3");
    EXPECT_EQ(checksum(old + "/sys.dat"), oldSum) << "the old folder's store was changed";

    // Run twice by mistake: the same rows are not brought over again.
    const Result again =
        run({"update", "--store", fresh + "/sys.dat", "--rows-from", old + "/sys.dat"});
    EXPECT_NE(again.out.find("保留了您添加的 2 行（其中 0 行来自"), std::string::npos) << again.out;

    // The other way round: the old folder's store takes the new edition.
    const Result other =
        run({"update", "--store", old + "/sys.dat", "--shipped-from", fresh + "/sys.dat"});
    EXPECT_EQ(other.exitCode, 1) << "took a store whose edition gave way to user rows";
    EXPECT_NE(other.err.find("不完整"), std::string::npos) << other.err;
    const std::string pristine = m_dir / "pristine";
    fs::create_directories(pristine);
    ASSERT_EQ(run({"build", "--store", pristine + "/sys.dat", "--table", m_dir / "e3/quelto.tsv"})
                  .exitCode,
              0);
    const Result taken =
        run({"update", "--store", old + "/sys.dat", "--shipped-from", pristine + "/sys.dat"});
    ASSERT_EQ(taken.exitCode, 0) << taken.err;
    EXPECT_EQ(metadataValue(old + "/sys.dat", "edition"), "3");
    EXPECT_EQ(describe(lookUpLikeTheWindow(old, "19901230000")), describe(kGuangzhou));
    EXPECT_EQ(describe(lookUpLikeTheWindow(old, "19901240000")),
              describe(Texts{"广东", "深圳", "0755", "中国电信"}));
}

// The area-code table goes with its edition: a build takes the one beside
// the text table, every way of updating brings the new edition's (or keeps
// the store's own), and check counts it.
TEST_F(Update, TheAreaCodeTableTravelsWithItsEdition) {
    const std::string header = "区号\t省份\t城市\t共用城市\t本地号码位数\n";
    writeFile(m_dir / "e3/areacodes.tsv", header + "0755\t广东\t深圳\t\t8\n010\t北京\t北京\t\t8\n");
    const auto codes = [](const std::string &store) {
        return queryText(store,
                         "select group_concat(code || ':' || local_lengths, ' ') from "
                         "(select * from quelto_areacodes order by code)");
    };
    const std::string folder = folderWithUserRows("app");
    const std::string store = folder + "/sys.dat";
    EXPECT_NE(run({"check", "--store", store}).out.find("区号表：没有"), std::string::npos);

    ASSERT_EQ(run({"update", "--store", store, "--table", m_dir / "e3/quelto.tsv"}).exitCode, 0);
    EXPECT_EQ(codes(store), "010:8 0755:8");
    // Rewritten with its own edition (to bring rows), the store keeps its table.
    const std::string other = folderWithUserRows("other");
    ASSERT_EQ(run({"update", "--store", store, "--rows-from", other + "/sys.dat"}).exitCode, 0);
    EXPECT_EQ(codes(store), "010:8 0755:8");
    EXPECT_EQ(describe(lookUpLikeTheWindow(folder, "16600001111")), describe(kMine));
    EXPECT_NE(run({"check", "--store", store}).out.find("区号表：2 个区号"), std::string::npos);

    const std::string fresh = m_dir / "fresh";
    fs::create_directories(fresh);
    ASSERT_EQ(
        run({"build", "--store", fresh + "/sys.dat", "--table", m_dir / "e3/quelto.tsv"}).exitCode,
        0);
    ASSERT_EQ(run({"update", "--store", other + "/sys.dat", "--shipped-from", fresh + "/sys.dat"})
                  .exitCode,
              0);
    EXPECT_EQ(codes(other + "/sys.dat"), "010:8 0755:8");
}

TEST_F(Update, AMalformedAreaCodeTableIsRefusedWithItsLine) {
    const std::string header = "区号\t省份\t城市\t共用城市\t本地号码位数\n";
    const struct {
        std::string text;
        const char *expected;
    } cases[] = {
        {"区号\t省份\n", "第一行必须是"},
        {header + "010\t北京\t北京\t8\n", "应有 5 个"},
        {header + "10\t北京\t北京\t\t8\n", "0 加两位或三位数字"},
        {header + "0101a\t北京\t北京\t\t8\n", "0 加两位或三位数字"},
        {header + "010\t北京\t北京\t\t9\n", "7、8 或 7,8"},
        {header + "010\t\t北京\t\t8\n", "不能为空"},
        {header + "010\t北京\t北京\t\t8\n020\t广东\t广州\t\t8\n010\t北京\t北京\t\t8\n",
         "areacodes.tsv:4: 区号 010 出现了两次"},
    };
    const std::string folder = folderWithUserRows("app");
    const std::string before = checksum(folder + "/sys.dat");
    for (const auto &c : cases) {
        writeFile(m_dir / "e3/areacodes.tsv", c.text);
        const Result result =
            run({"update", "--store", folder + "/sys.dat", "--table", m_dir / "e3/quelto.tsv"});
        EXPECT_EQ(result.exitCode, 1) << c.text;
        EXPECT_NE(result.err.find(c.expected), std::string::npos) << c.text << result.err;
        EXPECT_NE(result.err.find("areacodes.tsv"), std::string::npos) << result.err;
        EXPECT_EQ(checksum(folder + "/sys.dat"), before) << c.text;
    }
}

// A store of the program as it was before stores recorded their edition: the
// real edition 1, built with the ids the builder of that time gave, and rows
// added through the window.
class UpdateFromEdition1 : public Update {
protected:
    static void SetUpTestSuite() {
        s_legacy = new TempDir;
        buildLegacyStore(FIRST_EDITION_DIR "/quelto.tsv", *s_legacy / "sys.dat");
    }
    static void TearDownTestSuite() {
        delete s_legacy;
        s_legacy = nullptr;
    }
    std::string legacyFolder() {
        const std::string folder = m_dir / "legacy";
        fs::create_directories(folder);
        fs::copy_file(*s_legacy / "sys.dat", folder + "/sys.dat");
        return folder;
    }
    static TempDir *s_legacy;
};
TempDir *UpdateFromEdition1::s_legacy = nullptr;

TEST_F(UpdateFromEdition1, FindsTheUsersRowsRowByRowAndCarriesThem) {
    const std::string folder = legacyFolder();
    const std::string store = folder + "/sys.dat";
    ASSERT_TRUE(addLikeTheWindow(folder, "19901230000", kGuangzhou));
    ASSERT_TRUE(addLikeTheWindow(folder, "16600001111", kMine));
    ASSERT_FALSE(addLikeTheWindow(folder, "13800138000", kMine)) << "edition 1 lacks 1380013?";
    // A shipped row the user changed by hand is the user's now; one deleted
    // by hand is answered by the new edition again.
    execSql(store, "update quelto set 城市 = '我的城市' where id = 5");
    execSql(store, "delete from quelto where id = 7");
    const std::string before = checksum(store);

    const Result checked = run({"check", "--store", store});
    EXPECT_NE(checked.out.find("79139 行是第 1 版的，3 行是您添加的"), std::string::npos)
        << checked.out;
    const Result exported = run({"export", "--store", store});
    EXPECT_NE(exported.out.find("\t我的城市\t"), std::string::npos) << exported.out;
    EXPECT_NE(exported.out.find("1990123\t1990123\t广东\t广州"), std::string::npos) << exported.out;
    EXPECT_EQ(checksum(store), before) << "check or export changed the store";

    const Result result = run({"update", "--store", store, "--table", m_dir / "e3/quelto.tsv"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("已从第 1 版更新到第 3 版"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("第 1 版的 79139 行相同，其余 3 行是您的（其中 1 行是改动过的第 1 "
                              "版的行，按您的行保留）；第 1 版有 1 行已不在文件里"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(describe(lookUpLikeTheWindow(folder, "19901230000")), describe(kGuangzhou));
    EXPECT_EQ(describe(lookUpLikeTheWindow(folder, "16600001111")), describe(kMine));
    EXPECT_EQ(describe(lookUpLikeTheWindow(folder, "19901240000")),
              describe(Texts{"广东", "深圳", "0755", "中国电信"}));
    // Edition 3's 4 rows, 2 of them cut in two by the user's 1990123 and by
    // the changed row of edition 1 (inside 1300000-1300099), and the 3 rows.
    EXPECT_EQ(queryText(store, "select count(*) from quelto"), "9");
    EXPECT_EQ(checksum(backups(folder).front()), before);
}

TEST_F(UpdateFromEdition1, TheSameEditionOnlyAddsTheMetadata) {
    const std::string folder = legacyFolder();
    const std::string store = folder + "/sys.dat";
    ASSERT_TRUE(addLikeTheWindow(folder, "16600001111", kMine));
    fs::create_directories(m_dir.path() / "e1");
    fs::copy_file(FIRST_EDITION_DIR "/quelto.tsv", m_dir / "e1/quelto.tsv");
    fs::copy_file(FIRST_EDITION_DIR "/edition.tsv", m_dir / "e1/edition.tsv");
    EXPECT_EQ(
        run({"update", "--if-newer", "--store", store, "--table", m_dir / "e1/quelto.tsv"}).out, "")
        << "a store without metadata is of edition 1";
    const Result result = run({"update", "--store", store, "--table", m_dir / "e1/quelto.tsv"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(metadataValue(store, "shipped_rows"), "79141");
    EXPECT_EQ(metadataValue(store, "sources"), "libphonenumber 8.12.57");
    EXPECT_EQ(queryText(store, "select 省份 || 城市 from quelto where id = 79142"), "上海上海");
}

TEST_F(UpdateFromEdition1, AStoreFromAnotherTableIsRefusedRatherThanGuessed) {
    const std::string folder = m_dir / "other";
    fs::create_directories(folder);
    const std::string store = folder + "/sys.dat";
    buildLegacyStore(m_dir / "e2/quelto.tsv", store);
    const std::string before = checksum(store);
    const Result result = run({"update", "--store", store, "--table", m_dir / "e3/quelto.tsv"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("无法判断哪些行是您添加的"), std::string::npos) << result.err;
    EXPECT_EQ(checksum(store), before);
    EXPECT_TRUE(backups(folder).empty());
    EXPECT_EQ(run({"export", "--all", "--store", store}).out, tsv(kEdition2))
        << "the way out the message points to";
}

}  // namespace
