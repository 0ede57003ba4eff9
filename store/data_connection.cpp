// The data connection on SQLite. Every result code is checked and turned into
// a StoreError carrying SQLite's own code and message.
#include "store/data_connection.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdint>

#include "store/connection_texts.h"
#include "store/number_text.h"
#include "store/store_error.h"

namespace store {

namespace {

// How long one lock is waited for, as SQLite's own busy timeout would, and how
// long to sleep between two tries.
constexpr std::chrono::milliseconds kBusyTimeout{30000};
constexpr int kBusyPollMs = 10;

[[noreturn]] void fail(sqlite3 *db, int code) {
    const char *message = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    throw StoreError(code, message ? message : sqlite3_errstr(code));
}

struct StatementCloser {
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

Statement prepare(sqlite3 *db, const std::string &sql) {
    sqlite3_stmt *statement = nullptr;
    const int rc =
        sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr);
    Statement owned(statement);
    if (rc != SQLITE_OK) {
        fail(db, rc);
    }
    if (!owned) {
        throw StoreError(SQLITE_MISUSE, "the record source holds no statement");
    }
    return owned;
}

Variant columnValue(sqlite3_stmt *statement, int column) {
    switch (sqlite3_column_type(statement, column)) {
        case SQLITE_NULL:
            return std::monostate{};
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            return sqlite3_column_double(statement, column);
        default: {
            const auto *text =
                reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
            return std::string(text ? text : "",
                               static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
        }
    }
}

std::string quoteIdentifier(const std::string &name) {
    std::string quoted = "\"";
    for (char c : name) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

}  // namespace

std::string toText(const Variant &value) {
    if (const auto *number = std::get_if<double>(&value)) {
        return keyText(*number);
    }
    if (const auto *text = std::get_if<std::string>(&value)) {
        return *text;
    }
    return {};
}

const Variant &Field::Value() const {
    if (m_set->m_adding) {
        return m_set->m_newRow[m_column];
    }
    if (m_set->m_rows.empty()) {
        throw StoreError(SQLITE_MISUSE, "the result set has no current row");
    }
    return m_set->m_rows.front()[m_column];
}

Field &Field::operator=(Variant value) {
    if (!m_set->m_adding) {
        throw StoreError(SQLITE_MISUSE, "no new row has been started");
    }
    m_set->m_newRow[m_column] = std::move(value);
    m_set->m_assigned[m_column] = true;
    return *this;
}

Field Recordset::Fields(std::string_view name) {
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i] == name) {
            return Field(this, i);
        }
    }
    throw StoreError(SQLITE_ERROR, "no such column in the result set: " + std::string(name));
}

void Recordset::AddNew() {
    if (!m_db || m_table.empty()) {
        throw StoreError(SQLITE_MISUSE, "the result set cannot be updated");
    }
    m_newRow.assign(m_columns.size(), std::monostate{});
    m_assigned.assign(m_columns.size(), false);
    m_adding = true;
}

void Recordset::Update() {
    if (!m_adding) {
        throw StoreError(SQLITE_MISUSE, "no new row has been started");
    }
    const DataConnection::WaitEnd waitEnd(*m_connection);
    std::string names;
    std::string places;
    std::vector<std::size_t> columns;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (!m_assigned[i]) {
            continue;
        }
        if (!columns.empty()) {
            names += ", ";
            places += ", ";
        }
        names += quoteIdentifier(m_columns[i]);
        places += '?';
        columns.push_back(i);
    }
    const std::string sql = columns.empty()
                                ? "insert into " + quoteIdentifier(m_table) + " default values"
                                : "insert into " + quoteIdentifier(m_table) + " (" + names +
                                      ") values (" + places + ")";
    const Statement statement = prepare(m_db, sql);
    for (std::size_t p = 0; p < columns.size(); ++p) {
        const Variant &value = m_newRow[columns[p]];
        const int index = static_cast<int>(p + 1);
        int rc = SQLITE_OK;
        if (const auto *number = std::get_if<double>(&value)) {
            // 2^63 itself does not fit; everything whole below it does.
            constexpr double kInt64Limit = 9223372036854775808.0;
            if (*number == std::trunc(*number) && std::fabs(*number) < kInt64Limit) {
                rc =
                    sqlite3_bind_int64(statement.get(), index, static_cast<sqlite3_int64>(*number));
            } else {
                rc = sqlite3_bind_double(statement.get(), index, *number);
            }
        } else if (const auto *text = std::get_if<std::string>(&value)) {
            rc = sqlite3_bind_text(statement.get(), index, text->data(),
                                   static_cast<int>(text->size()), SQLITE_TRANSIENT);
        } else {
            rc = sqlite3_bind_null(statement.get(), index);
        }
        if (rc != SQLITE_OK) {
            fail(m_db, rc);
        }
    }
    const int rc = sqlite3_step(statement.get());
    if (rc != SQLITE_DONE) {
        fail(m_db, rc);
    }
    m_adding = false;
}

void DataConnection::Closer::operator()(sqlite3 *db) const {
    sqlite3_close_v2(db);
}

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
    } else if (now - self->m_waitStarted >= kBusyTimeout) {
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
    const std::string source = dataSource(ConnectionString);
    if (m_db && source == m_openedSource) {
        return;
    }
    if (source.empty()) {
        throw StoreError(SQLITE_CANTOPEN, "the connection text names no data source");
    }
    sqlite3 *db = nullptr;
    // Without SQLITE_OPEN_CREATE a missing store is an error, never a new empty file.
    const int rc = sqlite3_open_v2(source.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, Closer> owned(db);
    if (rc != SQLITE_OK) {
        fail(db, rc);
    }
    sqlite3_extended_result_codes(db, 0);
    sqlite3_busy_handler(db, &DataConnection::onBusy, this);
    m_recordset = store::Recordset();
    m_db = std::move(owned);
    m_openedSource = source;
}

void DataConnection::Refresh() {
    open();
    const WaitEnd waitEnd(*this);
    sqlite3 *db = m_db.get();
    const Statement statement = prepare(db, RecordSource);
    sqlite3_stmt *s = statement.get();

    store::Recordset set;
    set.m_connection = this;
    set.m_db = db;
    const int count = sqlite3_column_count(s);
    for (int i = 0; i < count; ++i) {
        const char *name = sqlite3_column_name(s, i);
        set.m_columns.emplace_back(name ? name : "");
        const char *table = sqlite3_column_table_name(s, i);
        const std::string tableName = table ? table : "";
        if (i == 0) {
            set.m_table = tableName;
        } else if (set.m_table != tableName) {
            set.m_table.clear();
        }
    }
    for (;;) {
        const int rc = sqlite3_step(s);
        if (rc == SQLITE_DONE) {
            break;
        }
        if (rc != SQLITE_ROW) {
            fail(db, rc);
        }
        std::vector<Variant> row;
        row.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            row.push_back(columnValue(s, i));
        }
        set.m_rows.push_back(std::move(row));
    }
    m_recordset = std::move(set);
}

void DataConnection::execute(const char *sql) {
    const WaitEnd waitEnd(*this);
    const int rc = sqlite3_exec(m_db.get(), sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        fail(m_db.get(), rc);
    }
}

void DataConnection::BeginTrans() {
    open();
    if (!sqlite3_get_autocommit(m_db.get())) {
        throw StoreError(SQLITE_MISUSE, "a transaction is already open");
    }
    execute("begin immediate");
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
        m_recordset = store::Recordset();
        m_db.reset();
        m_openedSource.clear();
        throw;
    }
}

bool lookUp(DataConnection &connection, std::string_view numberText) {
    connection.RecordSource = rangeQuery(keyText(prefixKey(numberText)));
    connection.Refresh();
    return !connection.Recordset().Eof();
}

}  // namespace store
