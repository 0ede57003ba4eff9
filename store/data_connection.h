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

namespace store {

// A column value: null, a number or a text (UTF-8).
using Variant = std::variant<std::monostate, double, std::string>;

// The value as display text: "" for null, a number as keyText() writes it,
// a text unchanged.
std::string toText(const Variant &value);

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

// The result of a refresh: every row the record source yielded, positioned on
// the first, and the table the rows came from.
class Recordset {
public:
    Recordset() = default;

    // True when the set holds no row. (Named so because EOF is a C macro.)
    bool Eof() const { return m_rows.empty(); }

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
    std::vector<std::vector<Variant>> m_rows;
    std::vector<Variant> m_newRow;
    std::vector<bool> m_assigned;
    bool m_adding = false;
};

// Each window owns one. Setting the two texts only records them; the file is
// opened by the first Refresh() and kept open until the connection goes.
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
    // result set is then left as it was.
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

    static int onBusy(void *connection, int count);
    void open();
    void execute(const char *sql);

    std::unique_ptr<sqlite3, Closer> m_db;
    std::string m_openedSource;
    store::Recordset m_recordset;
    BusyHook m_busyHook;
    bool m_waiting = false;
    std::chrono::steady_clock::time_point m_waitStarted;
};

// Looks a number text up: sets the range query of its prefix key as the
// record source and refreshes. Returns true when a row covers the key; that
// row is then the current row of connection.Recordset(). Throws StoreError.
bool lookUp(DataConnection &connection, std::string_view numberText);

}  // namespace store
