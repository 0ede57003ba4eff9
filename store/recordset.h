// The result set of a window's data connection: the rows of its last
// refresh, a current row read column by column, and a new row written
// through it into the table the rows came from.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "store/value.h"

namespace store {

class Database;
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
    const Database *m_database = nullptr;    // its open file
    std::string m_table;                     // "" when the columns come from no single table
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

}  // namespace store
