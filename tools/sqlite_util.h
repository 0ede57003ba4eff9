// The few SQLite helpers the tools share: owned handles, and every result code
// checked and turned into a store::StoreError carrying SQLite's code and message.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>

#include "store/data_connection.h"
#include "store/store_error.h"

namespace tools::sql {

struct DbCloser {
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
struct StatementCloser {
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

// A store error that also carries the system's error number behind it (0
// when there was none), so that a full disk or a size limit can be named.
class Error : public store::StoreError {
public:
    Error(int code, std::string description, int systemError)
        : store::StoreError(code, std::move(description)), m_systemError(systemError) {}
    int systemError() const { return m_systemError; }

private:
    int m_systemError;
};

// Throws Error(code, the connection's message or SQLite's text for code, the
// connection's last system error number).
[[noreturn]] void fail(sqlite3 *db, int code);
// Returns when rc is SQLITE_OK, throws as fail() otherwise.
void check(sqlite3 *db, int rc);
// Prepares sql on db. Throws StoreError.
Statement prepare(sqlite3 *db, const char *sql);
// Runs sql (one or more statements without results). Throws StoreError.
void exec(sqlite3 *db, const char *sql);
// Steps statement: true with a row to read, false when it is done. Throws StoreError.
bool step(sqlite3 *db, sqlite3_stmt *statement);
// store::bindValue(), throwing StoreError when SQLite refuses.
void bind(sqlite3 *db, sqlite3_stmt *statement, int index, const store::Variant &value);
// Column index (from 0) of the current row, as store::readValue() reads it.
store::Variant column(sqlite3_stmt *statement, int index);

}  // namespace tools::sql
