#include "plimora_table/table_text.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "plimora_table/cli/failure.h"
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
    EXPECT_EQ(table::buildSysdat(tsv, out()), 2u);
    store::DataConnection connection;
    store::bind(connection, m_folder.dir());
    ASSERT_TRUE(store::lookUp(connection, "13905001234"));
    EXPECT_EQ(connection.Recordset().Fields(store::schema::kAreaCode).text(), "0991");
    ASSERT_TRUE(store::lookUp(connection, "13800138000"));
    EXPECT_EQ(connection.Recordset().Fields(store::schema::kCard).text(), "中国移动");
}

TEST_F(Builder, MalformedTablesAreRefusedAndLeaveTheOldStoreAlone) {
    const auto good = write(std::string(kHeader) + "1380013\t1380013\t北京\t北京\t010\t中国移动\n");
    table::buildSysdat(good, out());
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
        EXPECT_THROW(table::buildSysdat(tsv, out()), cli::Failure) << c.what;
        EXPECT_EQ(fs::file_size(out()), before) << c.what;
        EXPECT_FALSE(fs::exists(out() + ".part")) << c.what;
    }
    EXPECT_THROW(table::buildSysdat(write("号码\t省份\n"), out()), cli::Failure);
    EXPECT_THROW(table::buildSysdat(m_folder.file("absent.tsv"), out()), cli::Failure);
}

TEST_F(Builder, ShippedRowsGetIdsInTableOrderAndTheMetadataSaysSo) {
    const auto tsv = write(std::string(kHeader) +
                           "1390000\t1390999\t新疆\t乌鲁木齐\t0991\t中国移动\n"
                           "1380013\t1380013\t北京\t北京\t010\t中国移动\n");
    const auto edition = m_folder.file("edition.tsv");
    std::ofstream(edition, std::ios::binary)
        << "key\tvalue\nedition\t7\ndate\t2027-01-05\nsources\tsome 源\nextra\tkept\n";
    ASSERT_EQ(table::buildSysdat(tsv, out(), edition), 2u);

    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(out().c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    auto text = [&](const char *sql) {
        sqlite3_stmt *statement = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
        std::string result;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            result += std::string(result.empty() ? "" : "|") +
                      reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
        }
        sqlite3_finalize(statement);
        return result;
    };
    EXPECT_EQ(text("select id || ' ' || 城市 from quelto order by id"), "1 乌鲁木齐|2 北京");
    EXPECT_EQ(text("select key || '=' || value from quelto_meta order by rowid"),
              "edition=7|date=2027-01-05|sources=some 源|extra=kept|built_by=plimora-table " +
                  std::string(PLIMORA_VERSION) + "|shipped_rows=2|shipped_overridden=0");
    sqlite3_close(db);
}

}  // namespace
