#include "store/database.h"

#include <string_view>
#include <utility>

namespace store {

namespace {

constexpr std::string_view kUriScheme = "file:";

}  // namespace

Database::Database(const std::string &path, int flags) {
    sqlite3 *db = nullptr;
    // SQLite as Debian builds it reads a name starting with "file:" as a URI
    // whose parameters choose how and what it opens; "./" keeps it a path.
    const std::string name = path.starts_with(kUriScheme) ? "./" + path : path;
    const int rc = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        // Read the message before the handle goes.
        try {
            store::fail(db, rc);
        } catch (...) {
            sqlite3_close_v2(db);
            throw;
        }
    }
    m_db = db;
}

Database::~Database() {
    sqlite3_close_v2(m_db);
}

Database::Database(Database &&other) noexcept : m_db(std::exchange(other.m_db, nullptr)) {}

Database &Database::operator=(Database &&other) noexcept {
    if (this != &other) {
        sqlite3_close_v2(m_db);
        m_db = std::exchange(other.m_db, nullptr);
    }
    return *this;
}

void Database::close() {
    if (!m_db) {
        return;
    }
    check(sqlite3_close(m_db));
    m_db = nullptr;
}

void Database::fail(int code) const {
    store::fail(m_db, code);
}

void Database::check(int rc) const {
    if (rc != SQLITE_OK) {
        fail(rc);
    }
}

Statement Database::prepare(std::string_view sql, unsigned flags) const {
    sqlite3_stmt *raw = nullptr;
    const int rc =
        sqlite3_prepare_v3(m_db, sql.data(), static_cast<int>(sql.size()), flags, &raw, nullptr);
    Statement statement(raw);
    check(rc);
    if (!statement) {
        throw StoreError(SQLITE_MISUSE, "the statement text holds no statement");
    }
    return statement;
}

void Database::exec(const char *sql) const {
    check(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr));
}

bool Database::step(sqlite3_stmt *statement) const {
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    fail(rc);
}

void Database::bind(sqlite3_stmt *statement, int index, const Variant &value) const {
    check(bindValue(statement, index, value));
}

void Database::reset(sqlite3_stmt *statement) const {
    check(sqlite3_reset(statement));
}

void fail(sqlite3 *db, int code) {
    const char *message = db ? sqlite3_errmsg(db) : nullptr;
    throw StoreError(code, message ? message : sqlite3_errstr(code),
                     db ? sqlite3_system_errno(db) : 0);
}

std::string quoteIdentifier(std::string_view name) {
    std::string quoted = "\"";
    for (const char c : name) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

Variant column(sqlite3_stmt *statement, int index) {
    Variant value;
    readValue(value, statement, index);
    return value;
}

void setUpEngine() {
    // SQLITE_MISUSE once SQLite is initialized: the setting then stays as it
    // was, which only costs time.
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}

}  // namespace store
