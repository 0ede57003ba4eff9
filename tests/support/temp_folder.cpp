#include "tests/support/temp_folder.h"

#include <sqlite3.h>

#include <atomic>
#include <fstream>
#include <random>
#include <stdexcept>

#include "store/schema.h"

namespace testing_support {

namespace {

std::filesystem::path freshPath() {
    static std::atomic<int> counter{0};
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        auto candidate =
            base / ("plimora-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(candidate)) {
            return candidate;
        }
    }
}

}  // namespace

TempFolder::TempFolder() : m_path(freshPath()) {}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void execSql(const std::string &path, const std::string &sql) {
    sqlite3 *db = nullptr;
    std::string error;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        char *message = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
            error = sql + ": " + (message ? message : "failed");
        }
        sqlite3_free(message);
    } else {
        error = "cannot open " + path;
    }
    sqlite3_close(db);
    if (!error.empty()) {
        throw std::runtime_error(error);
    }
}

StoreFile::StoreFile(const std::string &schemaSql) {
    // An empty file is an empty SQLite database.
    std::ofstream(path(), std::ios::binary).close();
    exec(schemaSql);
}

void StoreFile::insert(int low, int high, const std::string &province, const std::string &city,
                       const std::string &areaCode, const std::string &card) const {
    using namespace store::schema;
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const std::string sql = "insert into " + std::string(kTable) + " (" + std::string(kLow) + ", " +
                            std::string(kHigh) + ", " + std::string(kProvince) + ", " +
                            std::string(kCity) + ", " + std::string(kAreaCode) + ", " +
                            std::string(kCard) + ") values (?, ?, ?, ?, ?, ?)";
    sqlite3_stmt *statement = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_int(statement, 1, low);
        sqlite3_bind_int(statement, 2, high);
        int index = 3;
        for (const std::string *text : {&province, &city, &areaCode, &card}) {
            sqlite3_bind_text(statement, index++, text->c_str(), -1, SQLITE_TRANSIENT);
        }
        rc = sqlite3_step(statement) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
    }
    const std::string message = sqlite3_errmsg(db);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    if (rc != SQLITE_OK) {
        throw std::runtime_error("cannot add a test row: " + message);
    }
}

}  // namespace testing_support
