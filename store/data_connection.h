// A window's connection to the store file: the connection text and record
// source it is given, the result set of its last refresh, and the insertion
// of a new row through that result set.
#pragma once

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
    // Only the columns that were assigned are written, all as bound values.
    // Throws StoreError when no row was started or the store refuses it; the
    // row then stays pending, so a retry needs no new assignments.
    void Update();

private:
    friend class Field;
    friend class DataConnection;

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

private:
    struct Closer {
        void operator()(sqlite3 *db) const;
    };

    void open();

    std::unique_ptr<sqlite3, Closer> m_db;
    std::string m_openedSource;
    store::Recordset m_recordset;
};

// Looks a number text up: sets the range query of its prefix key as the
// record source and refreshes. Returns true when a row covers the key; that
// row is then the current row of connection.Recordset(). Throws StoreError.
bool lookUp(DataConnection &connection, std::string_view numberText);

}  // namespace store
