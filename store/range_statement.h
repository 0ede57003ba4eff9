// The range query of a lookup, run through a statement prepared once for the
// open store instead of being prepared from its text on every search. On a
// store whose table is an R*Tree, the statement reads the row's texts by id
// from the table the R*Tree keeps them in: read through the R*Tree, they
// would cost a statement of its own on every query.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/database.h"

namespace store {

// How an R*Tree keeps the rows of the store's table, where plain statements
// read them without the R*Tree's help. Its columns are the id, the
// coordinates (a lowest and a highest per dimension) and the auxiliary
// columns, in that order. <table>_rowid holds a row per id: rowid, nodeno
// (the leaf node that holds the row's coordinates), then the auxiliary
// columns as a0, a1, … in declared order. <table>_node holds the nodes as
// blobs (nodeno, data); a node is a 2-byte depth (in the root only), a 2-byte
// count of cells and the cells, each an 8-byte id followed by a 4-byte value
// per coordinate, all big-endian, the values real numbers of 32 bits (rtree)
// or integers of 32 bits (rtree_i32).
struct AuxiliaryLayout {
    std::string table;                 // the table that keeps the auxiliary columns
    std::string nodeTable;             // the table that keeps the nodes
    bool integerCoordinates = false;   // rtree_i32
    std::vector<std::string> columns;  // the store table's columns, in declared order
    std::size_t firstAuxiliary = 0;    // columns[i] from here on is a<i - firstAuxiliary>

    // The column of table that keeps the store table's column name, or
    // nullopt when name is no auxiliary column.
    std::optional<std::string> storedAs(std::string_view name) const;

    // A statement of the ids above ?1, in order. The R*Tree finds a row by
    // its id but answers a range of ids only by reading every row; its own
    // table holds the ids in a plain index.
    std::string idsAbove() const;
};

// The layout of the store open in database, or nullopt when its table is no
// R*Tree, or one whose tables are not laid out as described (it is then read
// through the table's own statements). Throws nothing: a statement that
// cannot be prepared means nullopt.
std::optional<AuxiliaryLayout> auxiliaryLayout(const Database &database);

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
