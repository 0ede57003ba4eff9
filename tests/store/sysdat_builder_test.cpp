#include "tools/sysdat_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "store/connection_texts.h"
#include "store/data_connection.h"
#include "store/schema.h"
#include "store/store_error.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

class Builder : public ::testing::Test {
protected:
    std::string write(const std::string &text) {
        const auto path = m_folder.file("quelto.tsv");
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::string out() const { return m_folder.file("sys.dat"); }

    testing_support::TempFolder m_folder;
};

const std::string kHeader = std::string(store::schema::kTsvHeader) + "\n";

TEST_F(Builder, BuildsAStoreTheRangeQueryAnswers) {
    const auto tsv = write(std::string(kHeader) +
                           "1380013\t1380013\t北京\t北京\t010\t中国移动\r\n"
                           "1390000\t1390999\t新疆\t乌鲁木齐\t0991\t中国移动\n");
    EXPECT_EQ(tools::buildSysdat(tsv, out()), 2u);
    store::DataConnection connection;
    connection.ConnectionString = store::connectionText(m_folder.dir());
    ASSERT_TRUE(store::lookUp(connection, "13905001234"));
    EXPECT_EQ(connection.Recordset().Fields(store::schema::kAreaCode).text(), "0991");
    ASSERT_TRUE(store::lookUp(connection, "13800138000"));
    EXPECT_EQ(connection.Recordset().Fields(store::schema::kCard).text(), "中国移动");
}

TEST_F(Builder, MalformedTablesAreRefusedAndLeaveTheOldStoreAlone) {
    const auto good = write(std::string(kHeader) + "1380013\t1380013\t北京\t北京\t010\t中国移动\n");
    tools::buildSysdat(good, out());
    const auto before = fs::file_size(out());

    const struct {
        const char *body;
        const char *what;
    } cases[] = {
        {"1380013\t1380013\t北京\t北京\t010\n", "five fields"},
        {"13800x3\t1380013\t北京\t北京\t010\t移动\n", "key with a letter"},
        {"1380014\t1380013\t北京\t北京\t010\t移动\n", "low above high"},
        {"99999999\t99999999\t北京\t北京\t010\t移动\n", "key too large to be exact"},
    };
    for (const auto &c : cases) {
        const auto tsv = write(std::string(kHeader) + c.body);
        EXPECT_THROW(tools::buildSysdat(tsv, out()), store::StoreError) << c.what;
        EXPECT_EQ(fs::file_size(out()), before) << c.what;
        EXPECT_FALSE(fs::exists(out() + ".part")) << c.what;
    }
    EXPECT_THROW(tools::buildSysdat(write("号码\t省份\n"), out()), store::StoreError);
    EXPECT_THROW(tools::buildSysdat(m_folder.file("absent.tsv"), out()), store::StoreError);
}

}  // namespace
