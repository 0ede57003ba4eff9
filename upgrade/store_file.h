// A store file as plimora-table and an update meet it: opened only after the
// checks whose failures a user can act on, every store error turned into a
// message naming the file, and the answer to the question an update keeps
// asking: which rows are the edition's and which are the user's.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "store/database.h"
#include "store/edition.h"
#include "store/row.h"
#include "store/store_error.h"

namespace upgrade {

// A command-line tool waits a little for a program that is writing, then
// says that the file is in use rather than hanging as long as a window would.
inline constexpr int kBusyTimeoutMs = 2000;

// A row of a store with its row number.
struct StoredRow {
    long long id = 0;
    store::Row row;
};

class StoreFile {
public:
    enum class Access { Read, Write };

    // Opens the store at path for reading or for writing. Throws Failure
    // naming path when it is missing, a folder or not a regular file, empty,
    // not an SQLite file, damaged, locked by another program, in WAL mode
    // (Write: its newest rows may be in the -wal file beside it), read-only
    // or in a folder that takes no new file (Write), or has no table quelto
    // with the six columns. A write that was cut short (a hot journal beside
    // the file) is rolled back first, as SQLite does on opening, also for
    // Read when this program may write the file and its folder; when it may
    // not, the Failure says that the last write was interrupted and what to
    // do. Never creates a file and writes nothing else.
    StoreFile(std::string path, Access access);

    const store::Database &db() const { return m_db; }
    const std::string &path() const { return m_path; }

    // Takes the store's write lock (BEGIN IMMEDIATE): no other program can
    // write until commit(), rollback(), close() or destruction. Throws
    // Failure when another program holds it.
    void lock();
    // Ends the transaction lock() began, keeping or dropping its writes.
    void commit();
    void rollback();
    // Ends any transaction and closes the file; nothing may be read after.
    void close();

    // The metadata entries, in the order written; empty when the store has
    // no metadata table (it was built before stores recorded their edition).
    bool hasMetadata() const { return m_hasMetadata; }
    const store::Edition &metadata() const { return m_metadata; }

    // The same error as a Failure naming this store.
    [[noreturn]] void fail(const store::StoreError &error) const;

private:
    std::string m_path;
    store::Database m_db;
    bool m_locked = false;
    bool m_hasMetadata = false;
    store::Edition m_metadata;
};

// The text the tool prints for a store error numbered number with SQLite's
// text storeText: "存储错误 N：" and store::describeStoreError(), the text the
// windows show (saying how long the tool waited for a busy store, and naming
// the newest backup of storePath when one is given).
std::string storeErrorText(int number, std::string_view storeText,
                           const std::string &storePath = {});

// The store error error, met while working on the file path, as a
// Failure naming path with storeErrorText() of it, SQLite's text
// followed by the system's reason when there is one (no space, a file-size
// limit …).
[[noreturn]] void failOnStore(const std::string &path, const store::StoreError &error);

// Which rows of a store are the edition's and which are the user's.
struct Holdings {
    bool fromMetadata = true;         // false: no metadata; rows compared with edition 1
    store::Edition edition;           // the edition's entries (edition 1's without metadata)
    std::size_t shippedRows = 0;      // rows that are the edition's
    long long overridden = 0;         // prefixes of the edition that user rows took over
    std::vector<StoredRow> userRows;  // the user's rows, in id order
    store::Edition local;             // the store's own entries (schema::isLocalKey)
    // Without metadata: rows under edition 1's ids that differ from edition 1
    // (kept as the user's; they are among userRows), and ids of edition 1
    // with no row at all.
    std::size_t changedRows = 0;
    std::size_t missingRows = 0;
};

// The serial of the store's edition without reading its rows: the metadata's
// "edition", 1 for a store without metadata (every such store came from
// edition 1), 0 when the metadata names none.
long long storedSerial(const StoreFile &store);

// Sorts the store's rows into the edition's and the user's. With metadata:
// ids 1..shipped_rows are the edition's, the rest the user's. Without: a row
// is the edition's when it equals edition 1's row of the same id; every other
// row is the user's. Throws Failure naming the store when its metadata is
// damaged, or when it has none and fewer than half of edition 1's rows are in
// it: it did not come from edition 1, and which rows are the user's cannot be
// told.
Holdings readHoldings(const StoreFile &store);

// Calls visit for each row of the edition in the store, in id order (the
// holdings say which those are). Throws store::StoreError.
void forEachShippedRow(const StoreFile &store, const Holdings &holdings,
                       const std::function<void(const store::Row &)> &visit);

// Runs a select of rowid and the six columns (a statement of store/schema.h)
// with ?1 bound to parameter unless it is negative, calling visit for each row.
// Throws store::StoreError.
void forEachRow(const store::Database &db, const char *sql, long long parameter,
                const std::function<void(const StoredRow &)> &visit);

}  // namespace upgrade
