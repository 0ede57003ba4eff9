// A window's connection to the store file: the connection text and record
// source it is given, the result set of its last refresh, and the insertion
// of a new row through that result set.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace store {

// A column value: null, a number or a text (UTF-8).
using Variant = std::variant<std::monostate, double, std::string>;

// The value as display text: "" for null, a number as keyText() writes it,
// a text unchanged.
std::string toText(const Variant &value);

// Binds value to parameter index (from 1) of statement as every writer of a
// store does: a whole number below 2^63 in size as an integer, so that a text
// or numeric column holds the digits a query compares with; any other number
// as a real, a text as text, nothing as null. Returns SQLite's result code.
int bindValue(sqlite3_stmt *statement, int index, const Variant &value);
// Column column (from 0) of statement's current row into slot, reusing the
// text slot holds: null, a number (integer or real) or a text in UTF-8 (a
// blob is read as its bytes), as the windows read it.
void readValue(Variant &slot, sqlite3_stmt *statement, int column);

class DataConnection;
class Recordset;

// One column of a result set's current row (or of the row being added).
class Field {
public:
    // The column's value in the current row. Throws StoreError when the set
    // has no current row.
    const Variant &Value() const;
    // toText(Value()).
    std::string text() const { return toText(Value()); }
    // Assigns the column of the row started by AddNew(). Throws StoreError
    // when no new row has been started.
    Field &operator=(Variant value);

private:
    friend class Recordset;
    Field(Recordset *set, std::size_t column) : m_set(set), m_column(column) {}

    Recordset *m_set;
    std::size_t m_column;
};

// The result of a refresh: every row the record source yielded, in the order
// it yielded them, positioned on the first, and the table the rows came from.
class Recordset {
public:
    Recordset() = default;

    // True when there is no current row: the set holds none, or MoveNext()
    // has gone past the last. (Named so because EOF is a C macro.)
    bool Eof() const { return m_current >= m_rowCount; }

    // The number of rows the set holds, wherever it is positioned.
    std::size_t RecordCount() const { return m_rowCount; }

    // Makes the next row the current one; after the last, Eof() holds.
    // Throws StoreError when Eof() holds already.
    void MoveNext();

    // The column named name, compared exactly. Throws StoreError when the set
    // has no such column.
    Field Fields(std::string_view name);

    // Starts a new row with every column null. Throws StoreError when the set
    // does not come from a single table (there is nowhere to write to).
    void AddNew();

    // Writes the row started by AddNew() into the table the set was selected
    // from, in one statement: either the whole row lands or nothing does.
    // Only the columns that were assigned are written, all as bound values; a
    // whole number that fits in 64 bits is written as an integer, so a text
    // column holds "1380013" (the digits a query compares with), never
    // "1380013.0". Throws StoreError when no row was started or the store
    // refuses it; the row then stays pending, so a retry needs no new
    // assignments.
    void Update();

private:
    friend class Field;
    friend class DataConnection;

    DataConnection *m_connection = nullptr;  // the connection the set came from
    sqlite3 *m_db = nullptr;
    std::string m_table;  // "" when the columns come from no single table
    std::vector<std::string> m_columns;
    // The rows' values, row after row. Past m_rowCount rows it holds values
    // of an earlier refresh, kept so that the next one reuses their storage.
    std::vector<Variant> m_values;
    std::size_t m_rowCount = 0;
    std::size_t m_current = 0;  // the current row; m_rowCount after the last
    std::vector<Variant> m_newRow;
    std::vector<bool> m_assigned;
    bool m_adding = false;
};

// Each window owns one. Setting the two texts only records them; the file is
// opened by the first Refresh() and kept open until the connection goes (or
// ConnectionString names another file). A connection keeps up to 32 MiB of
// the file's pages in memory, as they are read, for the lookups to come. It
// must not be used by two threads at once.
class DataConnection {
public:
    DataConnection();
    ~DataConnection();
    DataConnection(const DataConnection &) = delete;
    DataConnection &operator=(const DataConnection &) = delete;

    std::string ConnectionString;  // names the store file by "Data Source="
    std::string RecordSource;      // the SQL whose rows Refresh() fetches

    // Opens the store file named by ConnectionString if it is not open yet
    // (never creating it: a missing file is an error), runs RecordSource and
    // makes its rows the current Recordset(). Waits up to 30 s for a store
    // that another connection is writing. Throws StoreError; the previous
    // result set is then left as it was. No transaction is left open that
    // BeginTrans() did not open: the next refresh sees what other
    // connections wrote in between.
    //
    // A range query (rangeQuery() of a keyText()) runs through a statement
    // prepared once for the open file with the key bound as the value and
    // type SQL reads its literal as, so its rows, their order, the columns
    // and the table are those of the text; every other record source is
    // prepared from its text each time.
    void Refresh();

    // The result set of the last successful Refresh() (empty before the first).
    store::Recordset &Recordset() { return m_recordset; }

    // Starts a write transaction (BEGIN IMMEDIATE), opening the store first
    // if needed: from here until CommitTrans() or RollbackTrans() no other
    // connection can write, and reads and writes through this connection form
    // one unit. Waits up to 30 s for a store another connection is writing.
    // Throws StoreError, also when a transaction is already open; no
    // transaction is open then.
    void BeginTrans();
    // Makes the transaction's writes lasting and ends it. Throws StoreError
    // when none is open or the store refuses; the transaction is then still
    // open, to be rolled back.
    void CommitTrans();
    // Undoes the open transaction's writes and ends it; does nothing when no
    // transaction is open. Throws StoreError when the store refuses; the
    // connection is closed then (which ends the transaction too) and the next
    // call opens it afresh.
    void RollbackTrans();

    // What a connection calls while a store call of it waits for a store that
    // another connection is writing: waiting(true) every few milliseconds,
    // for at most 30 s per lock, and waiting(false) once when the call goes on
    // (with the store, or with an error after 30 s). The hook must not use
    // this connection; what it throws is ignored.
    using BusyHook = std::function<void(bool waiting)>;
    void setBusyHook(BusyHook hook) { m_busyHook = std::move(hook); }

private:
    friend class store::Recordset;

    struct Closer {
        void operator()(sqlite3 *db) const;
    };
    struct StatementCloser {
        void operator()(sqlite3_stmt *statement) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

    // Ends a wait the busy hook was told about, however the call it belongs
    // to ends.
    class WaitEnd {
    public:
        explicit WaitEnd(DataConnection &connection) : m_connection(connection) {}
        ~WaitEnd();
        WaitEnd(const WaitEnd &) = delete;
        WaitEnd &operator=(const WaitEnd &) = delete;

    private:
        DataConnection &m_connection;
    };

    static Statement prepare(sqlite3 *db, const std::string &sql, unsigned flags = 0);
    static int onBusy(void *connection, int count);
    void open();
    void close();
    void execute(const char *sql);
    // The range query's statement with keyText bound, prepared if need be.
    sqlite3_stmt *rangeStatement(std::string_view keyText);
    // The range query for a store whose table is an R*Tree, with the texts
    // read straight from the table the R*Tree keeps them in; null when the
    // table is not one (or the statement cannot be prepared).
    Statement prepareAuxiliaryRange();
    // The real number SQL reads an unsigned number literal as.
    double realValue(std::string_view literal);
    // Makes set the result of stepping statement to its end. Its table is the
    // one all columns come from, or with firstColumnsTable the first column's.
    void fill(store::Recordset &set, sqlite3_stmt *statement, bool firstColumnsTable = false);

    std::unique_ptr<sqlite3, Closer> m_db;
    std::string m_openedSource;      // the file that is open
    std::string m_openedConnection;  // the connection text it was opened by
    // Prepared on first use for the open file and finalized before it is
    // closed: the range query with its key as parameter 1, and the reading
    // of a number literal as a real number.
    Statement m_rangeStatement;
    Statement m_realStatement;
    bool m_rangeAuxiliary = false;  // m_rangeStatement is prepareAuxiliaryRange()'s
    store::Recordset m_recordset;
    store::Recordset m_spare;  // the set before m_recordset, refilled by the next refresh
    BusyHook m_busyHook;
    bool m_waiting = false;
    std::chrono::steady_clock::time_point m_waitStarted;
};

// Whether tableSql, the statement that created the store's table (as
// schema::kTableSql reads it), makes it an R*Tree: a virtual table of the
// module rtree or rtree_i32.
bool declaresRtree(std::string_view tableSql);

// Settles SQLite's process-wide settings for the program: it keeps no count
// of its allocations (which it would otherwise update under a process-wide
// lock on every allocation; nothing here reads them). Call at the start,
// before any connection opens; once SQLite is in use it changes nothing.
void setUpEngine();

// Looks a number text up: sets the range query of its prefix key as the
// record source and refreshes. Returns true when a row covers the key; that
// row is then the current row of connection.Recordset(). Throws StoreError.
bool lookUp(DataConnection &connection, std::string_view numberText);

}  // namespace store
