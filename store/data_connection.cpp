// The data connection on SQLite. Every result code is checked and turned into
// a StoreError carrying SQLite's own code and message.
#include "store/data_connection.h"

#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "store/connection_texts.h"
#include "store/number_text.h"
#include "store/schema.h"
#include "store/store_error.h"
#include "store/text.h"

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

// A set that held more values than this gives their storage back instead of
// keeping it for the refreshes to come.
constexpr std::size_t kKeptValues = 256;

// 32 MiB, in the negative KiB that SQLite takes.
constexpr const char *kCacheSize = "pragma cache_size = -32768";

// Resets a statement that is kept for later when the call that ran it ends,
// however it ends, so that it holds no lock between calls.
class Rewind {
public:
    explicit Rewind(sqlite3_stmt *statement) : m_statement(statement) {}
    ~Rewind() { sqlite3_reset(m_statement); }
    Rewind(const Rewind &) = delete;
    Rewind &operator=(const Rewind &) = delete;

private:
    sqlite3_stmt *m_statement;
};

}  // namespace

void readValue(Variant &slot, sqlite3_stmt *statement, int column) {
    switch (sqlite3_column_type(statement, column)) {
        case SQLITE_NULL:
            slot = std::monostate{};
            break;
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            slot = sqlite3_column_double(statement, column);
            break;
        default: {
            const auto *text =
                reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
            const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement, column));
            if (auto *held = std::get_if<std::string>(&slot)) {
                held->assign(text ? text : "", size);
            } else {
                slot.emplace<std::string>(text ? text : "", size);
            }
        }
    }
}

int bindValue(sqlite3_stmt *statement, int index, const Variant &value) {
    if (const auto *number = std::get_if<double>(&value)) {
        // 2^63 itself does not fit; everything whole below it does.
        constexpr double kInt64Limit = 9223372036854775808.0;
        if (*number == std::trunc(*number) && std::fabs(*number) < kInt64Limit) {
            return sqlite3_bind_int64(statement, index, static_cast<sqlite3_int64>(*number));
        }
        return sqlite3_bind_double(statement, index, *number);
    }
    if (const auto *text = std::get_if<std::string>(&value)) {
        return sqlite3_bind_text(statement, index, text->data(), static_cast<int>(text->size()),
                                 SQLITE_TRANSIENT);
    }
    return sqlite3_bind_null(statement, index);
}

namespace {

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
    if (m_set->Eof()) {
        throw StoreError(SQLITE_MISUSE, "the result set has no current row");
    }
    return m_set->m_values[m_set->m_current * m_set->m_columns.size() + m_column];
}

Field &Field::operator=(Variant value) {
    if (!m_set->m_adding) {
        throw StoreError(SQLITE_MISUSE, "no new row has been started");
    }
    m_set->m_newRow[m_column] = std::move(value);
    m_set->m_assigned[m_column] = true;
    return *this;
}

void Recordset::MoveNext() {
    if (Eof()) {
        throw StoreError(SQLITE_MISUSE, "the result set has no current row");
    }
    ++m_current;
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
    const DataConnection::Statement statement = DataConnection::prepare(m_db, sql);
    for (std::size_t p = 0; p < columns.size(); ++p) {
        const int rc = bindValue(statement.get(), static_cast<int>(p + 1), m_newRow[columns[p]]);
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

void DataConnection::StatementCloser::operator()(sqlite3_stmt *statement) const {
    sqlite3_finalize(statement);
}

DataConnection::Statement DataConnection::prepare(sqlite3 *db, const std::string &sql,
                                                  unsigned flags) {
    sqlite3_stmt *statement = nullptr;
    const int rc = sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), flags,
                                      &statement, nullptr);
    Statement owned(statement);
    if (rc != SQLITE_OK) {
        fail(db, rc);
    }
    if (!owned) {
        throw StoreError(SQLITE_MISUSE, "the record source holds no statement");
    }
    return owned;
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
    if (m_db && ConnectionString == m_openedConnection) {
        return;
    }
    const std::string source = dataSource(ConnectionString);
    if (m_db && source == m_openedSource) {
        m_openedConnection = ConnectionString;
        return;
    }
    if (source.empty()) {
        throw StoreError(SQLITE_CANTOPEN, "the connection text names no data source");
    }
    sqlite3 *db = nullptr;
    // Without SQLITE_OPEN_CREATE a missing store is an error, never a new
    // empty file. A connection serves one thread at a time, so SQLite need
    // not lock it against others on every call.
    int rc =
        sqlite3_open_v2(source.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    std::unique_ptr<sqlite3, Closer> owned(db);
    if (rc != SQLITE_OK) {
        fail(db, rc);
    }
    sqlite3_extended_result_codes(db, 0);
    sqlite3_busy_handler(db, &DataConnection::onBusy, this);
    // Each lookup is a transaction of its own; the pages it read stay cached
    // for the next one (while no other connection writes) only when the cache
    // has room for them. This is room for a whole store of the shipped size,
    // taken only as pages are read. Setting it reads the schema, so it may
    // wait like any read.
    rc = sqlite3_exec(db, kCacheSize, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        fail(db, rc);
    }
    close();
    m_db = std::move(owned);
    m_openedSource = source;
    m_openedConnection = ConnectionString;
}

void DataConnection::close() {
    m_rangeStatement.reset();
    m_rangeAuxiliary = false;
    m_realStatement.reset();
    m_recordset = store::Recordset();
    m_spare = store::Recordset();
    m_db.reset();
    m_openedSource.clear();
    m_openedConnection.clear();
}

sqlite3_stmt *DataConnection::rangeStatement(std::string_view keyText) {
    if (!m_rangeStatement) {
        m_rangeStatement = prepareAuxiliaryRange();
        m_rangeAuxiliary = m_rangeStatement != nullptr;
        if (!m_rangeAuxiliary) {
            m_rangeStatement = prepare(m_db.get(), rangeQuery("?1"), SQLITE_PREPARE_PERSISTENT);
        }
    }
    sqlite3_stmt *statement = m_rangeStatement.get();
    // SQL reads digits that fit in 64 bits as an integer and every other
    // number literal as a real number; "-" negates the literal after it.
    std::int64_t whole = 0;
    const char *end = keyText.data() + keyText.size();
    const auto parsed = std::from_chars(keyText.data(), end, whole);
    int rc = SQLITE_OK;
    if (parsed.ec == std::errc() && parsed.ptr == end) {
        rc = sqlite3_bind_int64(statement, 1, whole);
    } else if (keyText.starts_with('-')) {
        rc = sqlite3_bind_double(statement, 1, -realValue(keyText.substr(1)));
    } else {
        rc = sqlite3_bind_double(statement, 1, realValue(keyText));
    }
    if (rc != SQLITE_OK) {
        fail(m_db.get(), rc);
    }
    return statement;
}

DataConnection::Statement DataConnection::prepareAuxiliaryRange() {
    // An R*Tree that reads its auxiliary columns prepares a statement of its
    // own for them on every query, which costs about as much as the rest of
    // a lookup. The texts live in the table <name>_rowid (rowid, nodeno, a0,
    // a1, …: one column for each auxiliary column, in declared order, and
    // the auxiliary columns come after the coordinates), which a plain
    // statement reads by the id the R*Tree found with the same comparison.
    sqlite3 *db = m_db.get();
    const auto prepared = [db](const std::string &sql) {
        sqlite3_stmt *statement = nullptr;
        sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &statement, nullptr);
        return Statement(statement);
    };
    const auto columnNames = [](sqlite3_stmt *statement) {
        std::vector<std::string> names;
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            const char *name = sqlite3_column_name(statement, i);
            names.emplace_back(name ? name : "");
        }
        return names;
    };

    const Statement tableSql = prepared(schema::kTableSql);
    if (!tableSql || sqlite3_step(tableSql.get()) != SQLITE_ROW) {
        return {};
    }
    const auto *sqlText = reinterpret_cast<const char *>(sqlite3_column_text(tableSql.get(), 0));
    if (!declaresRtree(sqlText ? sqlText : "")) {
        return {};
    }

    const std::string table(schema::kTable);
    const std::string shadow = table + "_rowid";
    const Statement tableColumns = prepared(schema::kSelectNoRow);
    const Statement shadowColumns =
        prepared("select * from " + quoteIdentifier(shadow) + " limit 0");
    if (!tableColumns || !shadowColumns) {
        return {};
    }
    const std::vector<std::string> names = columnNames(tableColumns.get());
    const std::vector<std::string> stored = columnNames(shadowColumns.get());
    if (stored.size() < 3 || stored[0] != "rowid" || stored[1] != "nodeno" ||
        names.size() < stored.size() + 1) {
        return {};
    }
    const std::size_t auxiliary = stored.size() - 2;
    const std::size_t first = names.size() - auxiliary;
    std::string select = "select ";
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            select += ", ";
        }
        if (i < first) {
            select += "q." + quoteIdentifier(names[i]);
        } else {
            const std::string column = "a" + std::to_string(i - first);
            if (stored[i - first + 2] != column) {
                return {};
            }
            select += "r." + column + " as " + quoteIdentifier(names[i]);
        }
    }
    // A cross join keeps the R*Tree the outer loop, so the rows come in its
    // order, as the text's do.
    return prepared(select + " from " + quoteIdentifier(table) + " as q cross join " +
                    quoteIdentifier(shadow) + " as r on r.rowid = q." + quoteIdentifier(names[0]) +
                    rangeCondition("?1"));
}

double DataConnection::realValue(std::string_view literal) {
    // SQLite's own reading of the text, which a conversion of this program's
    // could differ from in the last bit.
    if (!m_realStatement) {
        m_realStatement = prepare(m_db.get(), "select cast(?1 as real)", SQLITE_PREPARE_PERSISTENT);
    }
    sqlite3_stmt *statement = m_realStatement.get();
    const Rewind rewind(statement);
    int rc = sqlite3_bind_text(statement, 1, literal.data(), static_cast<int>(literal.size()),
                               SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) {
        fail(m_db.get(), rc);
    }
    rc = sqlite3_step(statement);
    if (rc != SQLITE_ROW) {
        fail(m_db.get(), rc);
    }
    return sqlite3_column_double(statement, 0);
}

void DataConnection::fill(store::Recordset &set, sqlite3_stmt *statement, bool firstColumnsTable) {
    if (set.m_values.capacity() > kKeptValues) {
        set.m_values = {};
    }
    set.m_connection = this;
    set.m_db = m_db.get();
    set.m_rowCount = 0;
    set.m_current = 0;
    set.m_newRow.clear();
    set.m_assigned.clear();
    set.m_adding = false;
    std::size_t used = 0;
    for (;;) {
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_DONE) {
            break;
        }
        if (rc != SQLITE_ROW) {
            fail(m_db.get(), rc);
        }
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
    open();
    if (const auto key = rangeQueryKey(RecordSource)) {
        for (bool retried = false;; retried = true) {
            sqlite3_stmt *statement = rangeStatement(*key);
            const bool auxiliary = m_rangeAuxiliary;
            try {
                const Rewind rewind(statement);
                fill(m_spare, statement, auxiliary);
                break;
            } catch (const StoreError &error) {
                // Prepared afresh next time, so that the failure repeats as
                // the text's own would (a table that is gone, a file that is
                // busy). A table that is no longer the R*Tree it was when the
                // statement was prepared is read again as it is now.
                m_rangeStatement.reset();
                if (!auxiliary || retried || error.number() != SQLITE_ERROR) {
                    throw;
                }
            } catch (...) {
                m_rangeStatement.reset();
                throw;
            }
        }
    } else {
        const Statement statement = prepare(m_db.get(), RecordSource);
        fill(m_spare, statement.get());
    }
    std::swap(m_recordset, m_spare);
}

void DataConnection::execute(const char *sql) {
    const WaitEnd waitEnd(*this);
    const int rc = sqlite3_exec(m_db.get(), sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        fail(m_db.get(), rc);
    }
}

void DataConnection::BeginTrans() {
    const WaitEnd waitEnd(*this);
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
        close();
        throw;
    }
}

bool declaresRtree(std::string_view tableSql) {
    const std::string sql = asciiLower(tableSql);
    const std::size_t using_ = sql.find(" using ");
    if (!sql.starts_with("create virtual table") || using_ == std::string::npos) {
        return false;
    }
    const std::size_t module = sql.find_first_not_of(" \t\r\n", using_ + 7);
    const std::size_t moduleEnd = sql.find_first_of(" \t\r\n(", module);
    const std::string moduleName =
        module == std::string::npos ? "" : sql.substr(module, moduleEnd - module);
    return moduleName == "rtree" || moduleName == "rtree_i32";
}

void setUpEngine() {
    // SQLITE_MISUSE once SQLite is initialized: the setting then stays as it
    // was, which only costs time.
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}

bool lookUp(DataConnection &connection, std::string_view numberText) {
    connection.RecordSource = rangeQuery(keyText(prefixKey(numberText)));
    connection.Refresh();
    return !connection.Recordset().Eof();
}

}  // namespace store
