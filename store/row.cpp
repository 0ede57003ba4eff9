#include "store/row.h"

#include <limits>

#include "store/database.h"

namespace store {

namespace {

double number(const Variant &value) {
    if (const auto *n = std::get_if<double>(&value)) {
        return *n;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

double Row::lowNumber() const {
    return number(low);
}

double Row::highNumber() const {
    return number(high);
}

void readRow(Row &row, sqlite3_stmt *statement, int first) {
    for (std::size_t c = 0; c < Row::kColumnCount; ++c) {
        readValue(row.column(c), statement, first + static_cast<int>(c));
    }
}

void bindRow(const Database &database, sqlite3_stmt *statement, int first, const Row &row) {
    for (std::size_t c = 0; c < Row::kColumnCount; ++c) {
        database.bind(statement, first + static_cast<int>(c), row.column(c));
    }
}

}  // namespace store
