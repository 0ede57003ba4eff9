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

Statement RangeStatement::prepareAuxiliary(const Database &database) {
    // The texts live in the table <name>_rowid (rowid, nodeno, a0, a1, …: one
    // column for each auxiliary column, in declared order, and the auxiliary
    // columns come after the coordinates), which a plain statement reads by
    // the id the R*Tree found with the same comparison.
    sqlite3 *db = database.get();
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
    if (!schema::declaresRtree(sqlText ? sqlText : "")) {
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
