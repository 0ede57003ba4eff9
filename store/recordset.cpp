#include "store/recordset.h"

#include "store/data_connection.h"
#include "store/database.h"
#include "store/store_error.h"

namespace store {

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
    if (!m_database || m_table.empty()) {
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
    const Statement statement = m_database->prepare(sql);
    for (std::size_t p = 0; p < columns.size(); ++p) {
        m_database->bind(statement.get(), static_cast<int>(p + 1), m_newRow[columns[p]]);
    }
    m_database->step(statement.get());
    m_adding = false;
}

}  // namespace store
