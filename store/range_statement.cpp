#include "store/range_statement.h"

#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include "store/connection_texts.h"
#include "store/schema.h"

namespace store {

void RangeStatement::reset() {
    m_range.reset();
    m_real.reset();
    m_auxiliary = false;
}

sqlite3_stmt *RangeStatement::bound(const Database &database, std::string_view keyText) {
    if (!m_range) {
        m_range = prepareAuxiliary(database);
        m_auxiliary = m_range != nullptr;
        if (!m_auxiliary) {
            m_range = database.prepare(rangeQuery("?1"), SQLITE_PREPARE_PERSISTENT);
        }
    }
    sqlite3_stmt *statement = m_range.get();
    // SQL reads digits that fit in 64 bits as an integer and every other
    // number literal as a real number; "-" negates the literal after it.
    std::int64_t whole = 0;
    const char *end = keyText.data() + keyText.size();
    const auto parsed = std::from_chars(keyText.data(), end, whole);
    if (parsed.ec == std::errc() && parsed.ptr == end) {
        database.check(sqlite3_bind_int64(statement, 1, whole));
    } else if (keyText.starts_with('-')) {
        database.check(sqlite3_bind_double(statement, 1, -realValue(database, keyText.substr(1))));
    } else {
        database.check(sqlite3_bind_double(statement, 1, realValue(database, keyText)));
    }
    return statement;
}

namespace {

Statement prepared(sqlite3 *db, const std::string &sql) {
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                       &statement, nullptr);
    return Statement(statement);
}

std::vector<std::string> columnNames(sqlite3_stmt *statement) {
    std::vector<std::string> names;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        const char *name = sqlite3_column_name(statement, i);
        names.emplace_back(name ? name : "");
    }
    return names;
}

}  // namespace

std::optional<std::string> AuxiliaryLayout::storedAs(std::string_view name) const {
    for (std::size_t i = firstAuxiliary; i < columns.size(); ++i) {
        if (columns[i] == name) {
            return "a" + std::to_string(i - firstAuxiliary);
        }
    }
    return std::nullopt;
}

std::string AuxiliaryLayout::idsAbove() const {
    return "select rowid from " + quoteIdentifier(table) + " where rowid > ?1 order by rowid";
}

std::optional<AuxiliaryLayout> auxiliaryLayout(const Database &database) {
    sqlite3 *db = database.get();
    const Statement tableSql = prepared(db, schema::kTableSql);
    if (!tableSql || sqlite3_step(tableSql.get()) != SQLITE_ROW) {
        return std::nullopt;
    }
    const auto *sqlText = reinterpret_cast<const char *>(sqlite3_column_text(tableSql.get(), 0));
    const std::string module = schema::rtreeModule(sqlText ? sqlText : "");
    if (module.empty()) {
        return std::nullopt;
    }

    AuxiliaryLayout layout;
    layout.table = std::string(schema::kTable) + "_rowid";
    layout.nodeTable = std::string(schema::kTable) + "_node";
    layout.integerCoordinates = module == "rtree_i32";
    const Statement tableColumns = prepared(db, schema::kSelectNoRow);
    const Statement shadowColumns =
        prepared(db, "select * from " + quoteIdentifier(layout.table) + " limit 0");
    if (!tableColumns || !shadowColumns) {
        return std::nullopt;
    }
    layout.columns = columnNames(tableColumns.get());
    const std::vector<std::string> stored = columnNames(shadowColumns.get());
    if (stored.size() < 3 || stored[0] != "rowid" || stored[1] != "nodeno" ||
        layout.columns.size() < stored.size() + 1) {
        return std::nullopt;
    }
    const std::size_t auxiliary = stored.size() - 2;
    layout.firstAuxiliary = layout.columns.size() - auxiliary;
    for (std::size_t i = 0; i < auxiliary; ++i) {
        if (stored[i + 2] != "a" + std::to_string(i)) {
            return std::nullopt;
        }
    }
    return layout;
}

Statement RangeStatement::prepareAuxiliary(const Database &database) {
    // The texts are read from the layout's table by the id the R*Tree found
    // with the same comparison.
    const std::optional<AuxiliaryLayout> layout = auxiliaryLayout(database);
    if (!layout) {
        return {};
    }
    const std::vector<std::string> &names = layout->columns;
    std::string select = "select ";
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            select += ", ";
        }
        if (i < layout->firstAuxiliary) {
            select += "q." + quoteIdentifier(names[i]);
        } else {
            select += "r.a" + std::to_string(i - layout->firstAuxiliary) + " as " +
                      quoteIdentifier(names[i]);
        }
    }
    // A cross join keeps the R*Tree the outer loop, so the rows come in its
    // order, as the text's do.
    return prepared(database.get(), select + " from " + quoteIdentifier(schema::kTable) +
                                        " as q cross join " + quoteIdentifier(layout->table) +
                                        " as r on r.rowid = q." + quoteIdentifier(names[0]) +
                                        rangeCondition("?1"));
}

double RangeStatement::realValue(const Database &database, std::string_view literal) {
    // SQLite's own reading of the text, which a conversion of this program's
    // could differ from in the last bit.
    if (!m_real) {
        m_real = database.prepare("select cast(?1 as real)", SQLITE_PREPARE_PERSISTENT);
    }
    sqlite3_stmt *statement = m_real.get();
    const StatementRewind rewind(statement);
    database.check(sqlite3_bind_text(statement, 1, literal.data(), static_cast<int>(literal.size()),
                                     SQLITE_TRANSIENT));
    if (!database.step(statement)) {
        throw StoreError(SQLITE_MISUSE, "reading a number literal gave no row");
    }
    return sqlite3_column_double(statement, 0);
}

}  // namespace store
