#include "store/value.h"

#include <sqlite3.h>

#include <cmath>

#include "store/connection_texts.h"

namespace store {

std::string toText(const Variant &value) {
    if (const auto *number = std::get_if<double>(&value)) {
        return keyText(*number);
    }
    if (const auto *text = std::get_if<std::string>(&value)) {
        return *text;
    }
    return {};
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

}  // namespace store
