// plimora-table in a program folder that ships its table as edition.dat:
// whichever command runs first brings sys.dat up to it, as the program does
// when it starts, and keeps its own output clean of what that did.
#include <gtest/gtest.h>

#include "tests/plimora_table/tool_runner.h"

namespace {

using namespace table_test;

const std::string kMine = "1990000\t1990009\t广东\t广州\t020\t我的卡";

class ProgramFolder : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_dir.path() / "app");
        for (int serial : {2, 3}) {
            const std::string name = "e" + std::to_string(serial);
            fs::create_directories(m_dir.path() / name);
            writeFile(m_dir / (name + "/quelto.tsv"),
                      tsv({"1380000\t1380999\t北京\t北京\t010\t版" + std::to_string(serial)}));
            writeFile(m_dir / (name + "/edition.tsv"), editionFile(serial));
            EXPECT_EQ(run({"build", "--store", m_dir / (name + "/edition.dat"), "--table",
                           m_dir / (name + "/quelto.tsv")})
                          .exitCode,
                      0);
        }
        writeFile(m_dir / "mine.tsv", tsv({kMine}));
        writeFile(m_dir / "numbers.txt", "13800138000\n");
    }
    std::string app(const std::string &name) const { return m_dir / ("app/" + name); }
    void ship(int serial) {
        fs::copy_file(m_dir / ("e" + std::to_string(serial) + "/edition.dat"), app("edition.dat"),
                      fs::copy_options::overwrite_existing);
    }

    TempDir m_dir;
};

TEST_F(ProgramFolder, TheFirstCommandMakesTheTableCurrentAndSaysSoOnStderr) {
    // A fresh folder: sys.dat is made without a word.
    ship(2);
    const Result imported = run({"import", m_dir / "mine.tsv", "--store", app("sys.dat")});
    EXPECT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_EQ(imported.out,
              "已从 " + (m_dir / "mine.tsv") + " 导入 1 行到 " + app("sys.dat") + "\n");
    EXPECT_EQ(imported.err, "");
    EXPECT_EQ(metadataValue(app("sys.dat"), "edition"), "2");

    // A newer edition.dat: the update's report goes to stderr, so that the
    // export on stdout stays a clean table.
    ship(3);
    const Result exported = run({"export", "--store", app("sys.dat")});
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_EQ(exported.out, tsv({kMine}));
    EXPECT_EQ(exported.err.rfind(app("sys.dat") +
                                     "：已从第 2 版更新到第 3 版（2027-03-01，test "
                                     "edition 3），保留了您添加的 1 行；原文件备份为 " +
                                     app("sys.dat.20"),
                                 0),
              0u)
        << exported.err;
    EXPECT_NE(exported.err.find("已导出 1 行（您添加的行）"), std::string::npos) << exported.err;
    EXPECT_EQ(metadataValue(app("sys.dat"), "edition"), "3");
    const Result again = run({"lookup", m_dir / "numbers.txt", "--store", app("sys.dat")});
    EXPECT_EQ(again.err.find("更新"), std::string::npos) << "updated twice: " << again.err;
    EXPECT_NE(again.out.find("北京\t北京\t010\t版3\t找到"), std::string::npos) << again.out;

    // A damaged edition.dat: said, and the command goes on with sys.dat as it is.
    const std::string before = checksum(app("sys.dat"));
    writeFile(app("edition.dat"), "not a store");
    const Result looked = run({"lookup", m_dir / "numbers.txt", "--store", app("sys.dat")});
    EXPECT_EQ(looked.exitCode, 0) << looked.err;
    EXPECT_NE(looked.out.find("北京\t北京\t010\t版3\t找到"), std::string::npos) << looked.out;
    EXPECT_NE(looked.err.find(app("edition.dat") + ": 不是 SQLite 存储文件"), std::string::npos)
        << looked.err;
    EXPECT_NE(looked.err.find("；没有用它更新 " + app("sys.dat")), std::string::npos) << looked.err;
    EXPECT_EQ(checksum(app("sys.dat")), before);
}

TEST_F(ProgramFolder, OnlyAFoldersSysDatIsTouchedAndBuildNeverIs) {
    ship(3);
    // A store of another name in the folder is not the folder's table.
    ASSERT_EQ(
        run({"build", "--store", app("other.dat"), "--table", m_dir / "e2/quelto.tsv"}).exitCode,
        0);
    const Result checked = run({"check", "--store", app("other.dat")});
    EXPECT_EQ(checked.exitCode, 0) << checked.err;
    EXPECT_EQ(metadataValue(app("other.dat"), "edition"), "2");
    EXPECT_FALSE(fs::exists(app("sys.dat")));
    // build writes the table it is given, and nothing from edition.dat.
    const Result built =
        run({"build", "--store", app("sys.dat"), "--table", m_dir / "e2/quelto.tsv"});
    EXPECT_EQ(built.exitCode, 0) << built.err;
    EXPECT_EQ(built.err, "");
    EXPECT_EQ(metadataValue(app("sys.dat"), "edition"), "2");
}

}  // namespace
