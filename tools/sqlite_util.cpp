#include "tools/sqlite_util.h"

#include <string>

namespace tools::sql {

void fail(sqlite3 *db, int code) {
    const char *message = db ? sqlite3_errmsg(db) : nullptr;
    throw Error(code, message ? message : sqlite3_errstr(code), db ? sqlite3_system_errno(db) : 0);
}

void check(sqlite3 *db, int rc) {
    if (rc != SQLITE_OK) {
        fail(db, rc);
    }
}

Statement prepare(sqlite3 *db, const char *sql) {
    sqlite3_stmt *raw = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    Statement statement(raw);
    check(db, rc);
    return statement;
}

void exec(sqlite3 *db, const char *sql) {
    check(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr));
}

bool step(sqlite3 *db, sqlite3_stmt *statement) {
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    fail(db, rc);
}

void bind(sqlite3 *db, sqlite3_stmt *statement, int index, const store::Variant &value) {
    check(db, store::bindValue(statement, index, value));
}

store::Variant column(sqlite3_stmt *statement, int index) {
    store::Variant value;
    store::readValue(value, statement, index);
    return value;
}

}  // namespace tools::sql
