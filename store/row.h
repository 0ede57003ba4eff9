// One row of the store's table, its six columns by name.
#pragma once

#include <array>
#include <cstddef>

#include "store/value.h"

struct sqlite3_stmt;

namespace store {

class Database;

struct Row {
    Variant low;       // 号码1: the lowest prefix key of the range
    Variant high;      // 号码2: the highest
    Variant province;  // 省份
    Variant city;      // 城市
    Variant areaCode;  // 区号
    Variant card;      // 卡信息

    // The columns in the order of schema::kColumns, for the code that treats
    // every column alike: reading, binding, naming a column in a report.
    static constexpr std::size_t kColumnCount = 6;
    Variant &column(std::size_t index) { return this->*kMembers[index]; }
    const Variant &column(std::size_t index) const { return this->*kMembers[index]; }

    // 号码1 and 号码2 as numbers; NaN when the value is not one.
    double lowNumber() const;
    double highNumber() const;

    bool operator==(const Row &) const = default;

private:
    static constexpr std::array<Variant Row::*, kColumnCount> kMembers = {
        &Row::low, &Row::high, &Row::province, &Row::city, &Row::areaCode, &Row::card};
};

// The six columns of statement's current row from column first on, in the
// order of schema::kColumns, read as readValue() reads them.
void readRow(Row &row, sqlite3_stmt *statement, int first);

// Binds the six columns of row to the parameters from first on, in the order
// of schema::kColumns. Throws StoreError.
void bindRow(const Database &database, sqlite3_stmt *statement, int first, const Row &row);

}  // namespace store
