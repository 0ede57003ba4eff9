#include "tools/sqlite_util.h"

#include <cmath>
#include <string>

namespace tools::sql {

namespace {

// Doubles hold every integer up to 2^53 exactly.
constexpr double kLargestExactInteger = 9007199254740992.0;

}  // namespace

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
    int rc = SQLITE_OK;
    if (const auto *number = std::get_if<double>(&value)) {
        if (std::trunc(*number) == *number && std::fabs(*number) <= kLargestExactInteger) {
            rc = sqlite3_bind_int64(statement, index, static_cast<sqlite3_int64>(*number));
        } else {
            rc = sqlite3_bind_double(statement, index, *number);
        }
    } else if (const auto *text = std::get_if<std::string>(&value)) {
        rc = sqlite3_bind_text(statement, index, text->data(), static_cast<int>(text->size()),
                               SQLITE_TRANSIENT);
    } else {
        rc = sqlite3_bind_null(statement, index);
    }
    check(db, rc);
}

store::Variant column(sqlite3_stmt *statement, int index) {
    switch (sqlite3_column_type(statement, index)) {
        case SQLITE_NULL:
            return std::monostate{};
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            return sqlite3_column_double(statement, index);
        case SQLITE_TEXT: {
            // As UTF-8 whatever encoding the store keeps its texts in, as the
            // windows read them.
            const auto *text =
                reinterpret_cast<const char *>(sqlite3_column_text(statement, index));
            return std::string(text ? text : "",
                               static_cast<std::size_t>(sqlite3_column_bytes(statement, index)));
        }
        default: {
            const auto *bytes = static_cast<const char *>(sqlite3_column_blob(statement, index));
            return std::string(bytes ? bytes : "",
                               static_cast<std::size_t>(sqlite3_column_bytes(statement, index)));
        }
    }
}

}  // namespace tools::sql
