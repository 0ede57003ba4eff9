// The in-memory table behind plimora-table lookup. A row covers the keys k
// with 号码1 <= k <= 号码2, compared as numbers, exactly as the window's range
// query compares them; where that alone does not decide the answer, the
// window's query itself is asked.
#include "plimora_table/prefix_table.h"

#include <algorithm>
#include <cmath>

#include "plimora_table/cli/failure.h"
#include "plimora_table/store_file.h"
#include "store/number_text.h"
#include "store/schema.h"

namespace table {

namespace {

namespace schema = store::schema;

constexpr std::uint32_t kAskStore = 0xFFFFFFFE;
constexpr std::size_t kKeys = store::kHighestMobileKey - store::kLowestMobileKey + 1;

// Column column of the current row as the window shows it (store::toText of
// the value the window reads), without a copy for a text; scratch holds a
// number written as text.
std::string_view textOf(sqlite3_stmt *statement, int column, std::string &scratch) {
    switch (sqlite3_column_type(statement, column)) {
        case SQLITE_NULL:
            return {};
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            scratch = store::toText(sqlite3_column_double(statement, column));
            return scratch;
        default: {
            const auto *text =
                reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
            return {text ? text : "",
                    static_cast<std::size_t>(sqlite3_column_bytes(statement, column))};
        }
    }
}

// The keys a row's bounds hold, clipped to the keys of mobile numbers, as
// offsets from kLowestMobileKey; first > last when it holds none of them.
std::pair<long long, long long> coveredKeys(double low, double high) {
    const double first = std::max(std::ceil(low), double{store::kLowestMobileKey});
    const double last = std::min(std::floor(high), double{store::kHighestMobileKey});
    if (first > last) {
        return {1, 0};
    }
    return {static_cast<long long>(first) - store::kLowestMobileKey,
            static_cast<long long>(last) - store::kLowestMobileKey};
}

// Where a row begins or stops holding keys: at key offset at, the row with
// answer begins (+1) or has ended (-1).
struct Edge {
    std::uint32_t at;
    std::int32_t change;
    std::uint32_t answer;
};

}  // namespace

PrefixTable::PrefixTable(std::string storePath) : m_storePath(std::move(storePath)) {
    const StoreFile store(m_storePath, StoreFile::Access::Read);
    std::vector<Edge> edges;
    try {
        const store::Statement statement = store.db().prepare(schema::kSelectRanges);
        sqlite3_stmt *s = statement.get();
        std::array<std::string, 4> scratch;
        while (store.db().step(s)) {
            ++m_rows;
            const int lowType = sqlite3_column_type(s, 0);
            const int highType = sqlite3_column_type(s, 1);
            // A comparison with null is never true: such a row answers nothing.
            if (lowType == SQLITE_NULL || highType == SQLITE_NULL) {
                continue;
            }
            // SQLite orders every text above every number and compares a text
            // column's values as texts; the window's query alone knows.
            if (lowType == SQLITE_TEXT || lowType == SQLITE_BLOB || highType == SQLITE_TEXT ||
                highType == SQLITE_BLOB) {
                m_everyKeyFromStore = true;
                continue;
            }
            const auto [first, last] =
                coveredKeys(sqlite3_column_double(s, 0), sqlite3_column_double(s, 1));
            if (first > last) {
                continue;
            }
            const std::uint32_t answer =
                intern({textOf(s, 2, scratch[0]), textOf(s, 3, scratch[1]),
                        textOf(s, 4, scratch[2]), textOf(s, 5, scratch[3])});
            edges.push_back({static_cast<std::uint32_t>(first), 1, answer});
            edges.push_back({static_cast<std::uint32_t>(last + 1), -1, answer});
        }
    } catch (const store::StoreError &error) {
        store.fail(error);
    }

    m_slots.assign(kKeys, m_everyKeyFromStore ? kAskStore : kNotFound);
    if (m_everyKeyFromStore) {
        return;
    }
    // Between two edges the same rows hold every key; where one row holds
    // them, the sum of the answers of the rows holding them is its answer.
    std::sort(edges.begin(), edges.end(), [](const Edge &a, const Edge &b) { return a.at < b.at; });
    std::int64_t holding = 0;
    std::uint64_t sum = 0;
    for (std::size_t e = 0; e < edges.size();) {
        const std::uint32_t from = edges[e].at;
        for (; e < edges.size() && edges[e].at == from; ++e) {
            holding += edges[e].change;
            sum += static_cast<std::uint64_t>(static_cast<std::int64_t>(edges[e].change) *
                                              edges[e].answer);
        }
        const std::uint32_t to = e < edges.size() ? edges[e].at : kKeys;
        if (holding == 1) {
            std::fill(m_slots.begin() + from, m_slots.begin() + to,
                      static_cast<std::uint32_t>(sum));
        } else if (holding > 1) {
            std::fill(m_slots.begin() + from, m_slots.begin() + to, kAskStore);
            m_overlappingKeys += to - from;
        }
    }
}

PrefixTable::~PrefixTable() = default;

std::uint32_t PrefixTable::intern(const std::array<std::string_view, 4> &texts) {
    m_key.clear();
    for (const std::string_view text : texts) {
        m_key += std::to_string(text.size());
        m_key += ':';
        m_key += text;
    }
    if (const auto found = m_answerIndex.find(m_key); found != m_answerIndex.end()) {
        return found->second;
    }
    const auto index = static_cast<std::uint32_t>(m_answers.size());
    m_answers.push_back({std::string(texts[0]), std::string(texts[1]), std::string(texts[2]),
                         std::string(texts[3])});
    m_answerIndex.emplace(m_key, index);
    return index;
}

std::uint32_t PrefixTable::find(std::uint32_t key, std::string_view number) {
    std::uint32_t &slot = m_slots[key - store::kLowestMobileKey];
    if (slot == kAskStore) {
        slot = lookUpInStore(number);
    }
    return slot;
}

std::uint32_t PrefixTable::lookUpInStore(std::string_view number) {
    ++m_storeLookups;
    try {
        if (!m_connection) {
            m_connection = std::make_unique<store::DataConnection>();
            m_connection->setStoreFile(m_storePath);
        }
        if (!store::lookUp(*m_connection, number)) {
            return kNotFound;
        }
        store::Recordset &set = m_connection->Recordset();
        const std::array<std::string, 4> texts = {
            set.Fields(schema::kProvince).text(), set.Fields(schema::kCity).text(),
            set.Fields(schema::kAreaCode).text(), set.Fields(schema::kCard).text()};
        return intern({texts[0], texts[1], texts[2], texts[3]});
    } catch (const store::StoreError &error) {
        failOnStore(m_storePath, error);
    }
}

}  // namespace table
