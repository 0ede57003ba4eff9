// A window's connection to the store file: the connection text and record
// source it is given, the result set of its last refresh, its transactions,
// and the wait for a store that another program is writing.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "store/database.h"
#include "store/range_statement.h"
#include "store/recordset.h"

namespace store {

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
    // makes its rows the current Recordset(). Waits up to 30 s (or the busy
    // timeout set) for a store that another connection is writing. Throws
    // StoreError; the previous result set is then left as it was. No transaction is left open that
    // BeginTrans() did not open: the next refresh sees what other
    // connections wrote in between.
    //
    // A range query (rangeQuery() of a keyText()) runs through a
    // RangeStatement, so its rows, their order, the columns and the table are
    // those of the text; every other record source is prepared from its text
    // each time.
    void Refresh();

    // The result set of the last successful Refresh() (empty before the first).
    store::Recordset &Recordset() { return m_recordset; }

    // Starts a write transaction (BEGIN IMMEDIATE), opening the store first
    // if needed: from here until CommitTrans() or RollbackTrans() no other
    // connection can write, and reads and writes through this connection form
    // one unit. Waits up to 30 s (or the busy timeout set) for a store another
    // connection is writing. Throws StoreError, also when a transaction is
    // already open; no transaction is open then.
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
    // for at most 30 s (or the busy timeout set) per lock, and waiting(false)
    // once when the call goes on (with the store, or with an error after that
    // time). The hook must not use
    // this connection; what it throws is ignored.
    using BusyHook = std::function<void(bool waiting)>;
    void setBusyHook(BusyHook hook) { m_busyHook = std::move(hook); }

    // Makes every later store call wait at most timeout per lock instead of
    // the window's kWindowBusyWaitSeconds (a tool says sooner that the store
    // is in use).
    void setBusyTimeout(std::chrono::milliseconds timeout) { m_busyTimeout = timeout; }

private:
    friend class store::Recordset;

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
    void close();
    void execute(const char *sql);
    // Makes set the result of stepping statement to its end. Its table is the
    // one all columns come from, or with firstColumnsTable the first column's.
    void fill(store::Recordset &set, sqlite3_stmt *statement, bool firstColumnsTable = false);

    Database m_db;
    std::string m_openedSource;      // the file that is open
    std::string m_openedConnection;  // the connection text it was opened by
    RangeStatement m_range;          // prepared for the open file, reset before it closes
    store::Recordset m_recordset;
    store::Recordset m_spare;  // the set before m_recordset, refilled by the next refresh
    BusyHook m_busyHook;
    bool m_waiting = false;
    std::chrono::steady_clock::time_point m_waitStarted;
    std::chrono::milliseconds m_busyTimeout{kWindowBusyWaitSeconds * 1000};
};

// Looks a number text up: sets the range query of its prefix key as the
// record source and refreshes. Returns true when a row covers the key; that
// row is then the current row of connection.Recordset(). Throws StoreError.
bool lookUp(DataConnection &connection, std::string_view numberText);

}  // namespace store
