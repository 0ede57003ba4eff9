#include "store/data_connection.h"

#include <optional>
#include <utility>

#include "store/connection_texts.h"
#include "store/number_text.h"
#include "store/store_error.h"

namespace store {

namespace {

// How long to sleep between two tries for a lock.
constexpr int kBusyPollMs = 10;

// A set that held more values than this gives their storage back instead of
// keeping it for the refreshes to come.
constexpr std::size_t kKeptValues = 256;

// How often a file replaced while it is being opened or locked is taken
// again before the connection goes on with what it has.
constexpr int kOpenAttempts = 3;

// 32 MiB, in the negative KiB that SQLite takes.
constexpr const char *kCacheSize = "pragma cache_size = -32768";

}  // namespace

DataConnection::DataConnection() = default;
DataConnection::~DataConnection() = default;

DataConnection::WaitEnd::~WaitEnd() {
    if (!m_connection.m_waiting) {
        return;
    }
    m_connection.m_waiting = false;
    if (m_connection.m_busyHook) {
        try {
            m_connection.m_busyHook(false);
        } catch (...) {
            // The hook only shows the wait; the store call's outcome stands.
        }
    }
}

int DataConnection::onBusy(void *connection, int count) {
    auto *self = static_cast<DataConnection *>(connection);
    const auto now = std::chrono::steady_clock::now();
    if (count == 0) {
        self->m_waitStarted = now;
    } else if (now - self->m_waitStarted >= self->m_busyTimeout) {
        return 0;
    }
    self->m_waiting = true;
    if (self->m_busyHook) {
        // Nothing may unwind through SQLite's own frames.
        try {
            self->m_busyHook(true);
        } catch (...) {
        }
    }
    sqlite3_sleep(kBusyPollMs);
    return 1;
}

void DataConnection::open() {
    if (m_db && m_storeFile == m_openedSource) {
        return;
    }
    const std::string source = m_storeFile;
    if (source.empty()) {
        throw StoreError(SQLITE_CANTOPEN, "the connection names no store file");
    }
    // The file SQLite opens is the one the path names before and after the
    // open; a file renamed over it in between is opened again.
    std::optional<FileIdentity> identity = identityOf(source);
    Database opened;
    for (int attempt = 0;; ++attempt) {
        if (!identity) {
            throw missingStoreError(source);
        }
        // Without SQLITE_OPEN_CREATE a missing store is an error, never a new
        // empty file. A connection serves one thread at a time, so SQLite need
        // not lock it against others on every call.
        opened = Database(source, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
        const std::optional<FileIdentity> after = identityOf(source);
        if (after == identity || attempt == kOpenAttempts) {
            identity = after;
            break;
        }
        identity = after;
    }
    if (!identity) {
        throw missingStoreError(source);
    }
    sqlite3_extended_result_codes(opened.get(), 0);
    sqlite3_busy_handler(opened.get(), &DataConnection::onBusy, this);
    // Each lookup is a transaction of its own; the pages it read stay cached
    // for the next one (while no other connection writes) only when the cache
    // has room for them. This is room for a whole store of the shipped size,
    // taken only as pages are read. Setting it reads the schema, so it may
    // wait like any read.
    opened.exec(kCacheSize);
    close();
    m_db = std::move(opened);
    m_openedSource = source;
    m_openedIdentity = *identity;
}

bool DataConnection::stillTheOpenFile() const {
    return identityOf(m_openedSource) == m_openedIdentity;
}

void DataConnection::followReplacement() {
    if (!m_db || !sqlite3_get_autocommit(m_db.get())) {
        return;
    }
    const std::optional<FileIdentity> now = identityOf(m_openedSource);
    if (!now) {
        throw missingStoreError(m_openedSource);
    }
    if (*now != m_openedIdentity) {
        close();
    }
}

void DataConnection::close() {
    m_range.reset();
    m_recordset = store::Recordset();
    m_spare = store::Recordset();
    m_db = Database();
    m_openedSource.clear();
}

void DataConnection::fill(store::Recordset &set, sqlite3_stmt *statement, bool firstColumnsTable) {
    if (set.m_values.capacity() > kKeptValues) {
        set.m_values = {};
    }
    set.m_connection = this;
    set.m_database = &m_db;
    set.m_rowCount = 0;
    set.m_current = 0;
    set.m_newRow.clear();
    set.m_assigned.clear();
    set.m_adding = false;
    std::size_t used = 0;
    while (m_db.step(statement)) {
        const int count = sqlite3_column_count(statement);
        if (set.m_values.size() < used + static_cast<std::size_t>(count)) {
            set.m_values.resize(used + static_cast<std::size_t>(count));
        }
        for (int i = 0; i < count; ++i) {
            readValue(set.m_values[used++], statement, i);
        }
        ++set.m_rowCount;
    }
    // Read after the rows: a statement kept prepared is prepared again by its
    // first step when the schema has changed, and may then have other columns.
    const int count = sqlite3_column_count(statement);
    set.m_columns.resize(static_cast<std::size_t>(count));
    std::string_view table;
    for (int i = 0; i < count; ++i) {
        const char *name = sqlite3_column_name(statement, i);
        set.m_columns[static_cast<std::size_t>(i)].assign(name ? name : "");
        const char *columnTable = sqlite3_column_table_name(statement, i);
        const std::string_view tableName = columnTable ? columnTable : "";
        if (i == 0) {
            table = tableName;
        } else if (table != tableName && !firstColumnsTable) {
            table = {};
        }
    }
    set.m_table.assign(table);
}

void DataConnection::Refresh() {
    const WaitEnd waitEnd(*this);
    followReplacement();
    open();
    if (const auto key = rangeQueryKey(RecordSource)) {
        for (bool retried = false;; retried = true) {
            sqlite3_stmt *statement = m_range.bound(m_db, *key);
            const bool auxiliary = m_range.readsAuxiliary();
            try {
                const StatementRewind rewind(statement);
                fill(m_spare, statement, auxiliary);
                break;
            } catch (const StoreError &error) {
                // Prepared afresh next time, so that the failure repeats as
                // the text's own would (a table that is gone, a file that is
                // busy). A table that is no longer the R*Tree it was when the
                // statement was prepared is read again as it is now.
                m_range.reset();
                if (!auxiliary || retried || error.number() != SQLITE_ERROR) {
                    throw;
                }
            } catch (...) {
                m_range.reset();
                throw;
            }
        }
    } else {
        const Statement statement = m_db.prepare(RecordSource);
        fill(m_spare, statement.get());
    }
    std::swap(m_recordset, m_spare);
}

void DataConnection::execute(const char *sql) {
    const WaitEnd waitEnd(*this);
    m_db.exec(sql);
}

void DataConnection::BeginTrans() {
    const WaitEnd waitEnd(*this);
    followReplacement();
    open();
    if (!sqlite3_get_autocommit(m_db.get())) {
        throw StoreError(SQLITE_MISUSE, "a transaction is already open");
    }
    for (int attempt = 0;; ++attempt) {
        execute("begin immediate");
        // A program that replaced the file did so while it held the lock that
        // was waited for: the lock now taken is on a file nobody reads again.
        if (stillTheOpenFile() || attempt == kOpenAttempts) {
            return;
        }
        execute("rollback");
        followReplacement();
        open();
    }
}

void DataConnection::CommitTrans() {
    if (!m_db || sqlite3_get_autocommit(m_db.get())) {
        throw StoreError(SQLITE_MISUSE, "no transaction is open");
    }
    execute("commit");
}

void DataConnection::RollbackTrans() {
    if (!m_db || sqlite3_get_autocommit(m_db.get())) {
        return;
    }
    try {
        execute("rollback");
    } catch (const StoreError &) {
        // Closing the file ends the transaction for certain.
        close();
        throw;
    }
}

void bind(DataConnection &connection, const std::string &programDir) {
    connection.ConnectionString = connectionText(programDir);
    connection.setStoreFile(storePath(programDir));
}

bool lookUp(DataConnection &connection, std::string_view numberText) {
    connection.RecordSource = rangeQuery(keyText(prefixKey(numberText)));
    connection.Refresh();
    return !connection.Recordset().Eof();
}

}  // namespace store
