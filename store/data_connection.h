// A window's connection to the store file: the connection text and record
// source it is given, the result set of its last refresh, its transactions,
// and the wait for a store that another program is writing.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "store/database.h"
#include "store/files.h"
#include "store/range_statement.h"
#include "store/recordset.h"

namespace store {

// Each window owns one. Setting the texts and the store file only records
// them; the file is opened by the first Refresh() and kept open until the
// connection goes (or is given another file, or the file is replaced). Before
// each refresh and each transaction the connection makes sure that the path
// still names the file it has open: a file renamed over it (a new edition, a
// restored backup) is opened in its place, and a file that is gone is
// reported as such instead of being read or written where nobody will find
// it again. A connection keeps up to 32 MiB of the file's pages in memory, as
// they are read, for the lookups to come. It must not be used by two threads
// at once.
class DataConnection {
public:
    DataConnection();
    ~DataConnection();
    DataConnection(const DataConnection &) = delete;
    DataConnection &operator=(const DataConnection &) = delete;

    std::string ConnectionString;  // the connection text, as bind() writes it
    std::string RecordSource;      // the SQL whose rows Refresh() fetches

    // The store file that the next Refresh() or BeginTrans() opens, taken
    // whole as the file system's bytes: nothing in the path is read as an
    // entry of a connection text, so no folder name can point elsewhere. A
    // connection open on another file closes it then.
    void setStoreFile(std::string path) { m_storeFile = std::move(path); }
    const std::string &storeFile() const { return m_storeFile; }

    // Opens the store file (setStoreFile()) if it is not open yet, or if the
    // path names another file than the one open (never creating it: a
    // missing file is missingStoreError()), runs RecordSource and makes its
    // rows the current Recordset(). Waits up to 30 s (or the busy timeout
    // set) for a store that another connection is writing. Throws
    // StoreError; the previous result set is then left as it was, unless the
    // file was replaced (the set is then dropped with the old file). No
    // transaction is left open that
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
    // if needed (or afresh, as Refresh() does, when the file was replaced,
    // also while the lock was waited for): from here until CommitTrans() or
    // RollbackTrans() no other connection can write the file that the path
    // names, and reads and writes through this connection form one unit.
    // Waits up to 30 s (or the busy timeout set) for a store another
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
    // Outside a transaction: closes the file when its path names another one
    // now, so that open() takes the new one; throws missingStoreError() when
    // it names none (leaving the file open, for the case it comes back).
    void followReplacement();
    // Whether the path still names the open file.
    bool stillTheOpenFile() const;
    void close();
    void execute(const char *sql);
    // Makes set the result of stepping statement to its end. Its table is the
    // one all columns come from, or with firstColumnsTable the first column's.
    void fill(store::Recordset &set, sqlite3_stmt *statement, bool firstColumnsTable = false);

    Database m_db;
    std::string m_storeFile;        // the file to open
    std::string m_openedSource;     // the file that is open
    FileIdentity m_openedIdentity;  // the file that is open, as the file system tells it
    RangeStatement m_range;         // prepared for the open file, reset before it closes
    store::Recordset m_recordset;
    store::Recordset m_spare;  // the set before m_recordset, refilled by the next refresh
    BusyHook m_busyHook;
    bool m_waiting = false;
    std::chrono::steady_clock::time_point m_waitStarted;
    std::chrono::milliseconds m_busyTimeout{kWindowBusyWaitSeconds * 1000};
};

// Binds connection to the store file in programDir, a folder without a
// trailing separator: its ConnectionString becomes connectionText(programDir)
// and its store file storePath(programDir), whatever the folder's name
// holds. Opens nothing.
void bind(DataConnection &connection, const std::string &programDir);

// Looks a number text up: sets the range query of its prefix key as the
// record source and refreshes. Returns true when a row covers the key; that
// row is then the current row of connection.Recordset(). Throws StoreError.
bool lookUp(DataConnection &connection, std::string_view numberText);

}  // namespace store
