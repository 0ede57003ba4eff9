// The range query of a lookup, run through a statement prepared once for the
// open store instead of being prepared from its text on every search. On a
// store whose table is an R*Tree, the statement reads the row's texts by id
// from the table the R*Tree keeps them in: read through the R*Tree, they
// would cost a statement of its own on every query.
#pragma once

#include <string_view>

#include "store/database.h"

namespace store {

class RangeStatement {
public:
    // The range query (rangeQuery("?1")) for the store open in database, with
    // keyText bound as the value and type SQL reads that literal as, so that
    // its rows, their order and their columns are those of the query's text.
    // Prepared on first use. The caller steps it and then resets it. Throws
    // StoreError.
    sqlite3_stmt *bound(const Database &database, std::string_view keyText);

    // True when the prepared statement reads the texts from the R*Tree's own
    // table: its columns then come from two tables, and the first column's
    // is the one a row is written to.
    bool readsAuxiliary() const { return m_auxiliary; }

    // Forgets the prepared statements: before the file they belong to is
    // closed, and after a failure, so that the next run prepares them afresh.
    void reset();

private:
    // The statement for a store whose table is an R*Tree, or null when the
    // table is not one (or the statement cannot be prepared).
    static Statement prepareAuxiliary(const Database &database);
    // The real number SQL reads an unsigned number literal as.
    double realValue(const Database &database, std::string_view literal);

    Statement m_range;
    Statement m_real;
    bool m_auxiliary = false;
};

}  // namespace store
