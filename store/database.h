// The one owner of an SQLite handle, for the windows' connection and the
// tools alike: the file it has open, and every result code checked and turned
// into a StoreError carrying SQLite's code, its message and the system's error
// number behind it.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>
#include <string_view>

#include "store/store_error.h"
#include "store/value.h"

namespace store {

struct StatementCloser {
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
// A prepared statement, finalized when it goes.
using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

class Database {
public:
    // Holds no file.
    Database() = default;
    // Opens the file at path with SQLite's open flags (SQLITE_OPEN_READONLY,
    // SQLITE_OPEN_READWRITE, SQLITE_OPEN_CREATE …); path is a file's path
    // even where it starts with "file:", never a URI. Throws StoreError;
    // nothing is open then.
    Database(const std::string &path, int flags);
    // Closes the file; statements still open keep it open until they go.
    ~Database();
    Database(Database &&other) noexcept;
    Database &operator=(Database &&other) noexcept;
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    sqlite3 *get() const { return m_db; }
    explicit operator bool() const { return m_db != nullptr; }

    // Closes the file now and says whether that worked: throws StoreError
    // when a statement is still open or the close fails (the handle is then
    // still held, to be closed by the destructor). Holds no file afterwards.
    void close();

    // Throws the StoreError for the result code code of this handle.
    [[noreturn]] void fail(int code) const;
    // Returns when rc is SQLITE_OK, throws as fail() otherwise.
    void check(int rc) const;
    // Prepares the first statement of sql with sqlite3_prepare_v3's flags.
    // Throws StoreError, also (SQLITE_MISUSE) when sql holds no statement.
    Statement prepare(std::string_view sql, unsigned flags = 0) const;
    // Runs sql, one or more statements whose rows are not wanted. Throws StoreError.
    void exec(const char *sql) const;
    // Steps statement: true with a row to read, false when it is done.
    // Throws StoreError.
    bool step(sqlite3_stmt *statement) const;
    // bindValue(), throwing StoreError when SQLite refuses.
    void bind(sqlite3_stmt *statement, int index, const Variant &value) const;
    // Resets statement for another run. Throws StoreError.
    void reset(sqlite3_stmt *statement) const;

private:
    sqlite3 *m_db = nullptr;
};

// Resets a statement that is kept for later when the call that ran it ends,
// however it ends, so that it holds no lock between calls.
class StatementRewind {
public:
    explicit StatementRewind(sqlite3_stmt *statement) : m_statement(statement) {}
    ~StatementRewind() { sqlite3_reset(m_statement); }
    StatementRewind(const StatementRewind &) = delete;
    StatementRewind &operator=(const StatementRewind &) = delete;

private:
    sqlite3_stmt *m_statement;
};

// name as an SQL identifier in double quotes, a quote inside it doubled.
std::string quoteIdentifier(std::string_view name);

// The StoreError for result code code of the handle db (which may be null):
// the handle's message, or SQLite's text for code, and the handle's system
// error number.
[[noreturn]] void fail(sqlite3 *db, int code);

// Column index (from 0) of statement's current row, as readValue() reads it.
Variant column(sqlite3_stmt *statement, int index);

// Settles SQLite's process-wide settings for the program and the tools: it
// keeps no count of its allocations (which it would otherwise update under a
// process-wide lock on every allocation; nothing here reads them). Call at the
// start, before any connection opens; once SQLite is in use it changes nothing.
void setUpEngine();

}  // namespace store
