#include "store/edition.h"

#include <charconv>

#include "store/database.h"
#include "store/schema.h"

namespace store {

std::optional<long long> wholeNumber(std::string_view text) {
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() || text[0] == '-') {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> Edition::value(std::string_view key) const {
    for (const auto &[k, v] : entries) {
        if (k == key) {
            return v;
        }
    }
    return std::nullopt;
}

std::optional<long long> Edition::number(std::string_view key) const {
    const auto text = value(key);
    if (!text) {
        return std::nullopt;
    }
    return wholeNumber(*text);
}

std::optional<long long> Edition::serial() const {
    return number(schema::kEditionKey);
}

std::string Edition::describe() const {
    const std::string text = "第 " + std::to_string(serial().value_or(0)) + " 版";
    std::string details;
    for (const std::string_view key : {schema::kDateKey, schema::kSourcesKey}) {
        if (const auto found = value(key); found && !found->empty()) {
            details += (details.empty() ? "" : "，") + *found;
        }
    }
    return details.empty() ? text : text + "（" + details + "）";
}

std::optional<Edition> recordedEdition(const std::string &storePath) {
    try {
        const Database db(storePath, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
        const Statement has = db.prepare(schema::kHasMeta);
        if (!db.step(has.get()) || sqlite3_column_int(has.get(), 0) == 0) {
            return std::nullopt;
        }
        Edition edition;
        const Statement meta = db.prepare(schema::kSelectMeta);
        while (db.step(meta.get())) {
            edition.entries.emplace_back(toText(column(meta.get(), 0)),
                                         toText(column(meta.get(), 1)));
        }
        return edition;
    } catch (const StoreError &) {
        return std::nullopt;
    }
}

}  // namespace store
