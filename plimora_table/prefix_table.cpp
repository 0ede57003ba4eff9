// The answers behind plimora-table lookup. A row covers the keys k with
// 号码1 <= k <= 号码2, compared as numbers, exactly as the window's range query
// compares them; where that alone does not decide the answer, and for every
// number of a short list, the window's lookup itself is asked.
#include "plimora_table/prefix_table.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>

#include "plimora_table/cli/failure.h"
#include "plimora_table/store_file.h"
#include "store/fault_point.h"
#include "store/number_text.h"
#include "store/schema.h"

namespace table {

namespace {

namespace schema = store::schema;

constexpr std::uint32_t kAskStore = 0xFFFFFFFE;
constexpr std::size_t kKeys = store::kHighestMobileKey - store::kLowestMobileKey + 1;
// The whole table is read in one read transaction.
constexpr const char *kReadWholeFile = "begin";
constexpr const char *kEndReading = "commit";
// intern()'s hash table: its first size (a power of two) and the odd number
// that mixes the hashes of the four texts.
constexpr std::size_t kFirstBuckets = 1024;
constexpr std::size_t kHashMultiplier = 0x9E3779B97F4A7C15;

// Column column of the current row as the window shows it (store::toText of
// the value the window reads), without a copy for a text; scratch holds a
// number written as text. The value is read once and asked for its type,
// text and length without a call into the statement for each, the
// connection serving this thread alone.
std::string_view textOf(sqlite3_stmt *statement, int column, std::string &scratch) {
    sqlite3_value *value = sqlite3_column_value(statement, column);
    switch (sqlite3_value_type(value)) {
        case SQLITE_NULL:
            return {};
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            scratch = store::toText(sqlite3_value_double(value));
            return scratch;
        default: {
            const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
            return {text ? text : "", static_cast<std::size_t>(sqlite3_value_bytes(value))};
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

// An unsigned big-endian number of bytes bytes at data.
std::uint64_t bigEndian(const unsigned char *data, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value = value << 8 | data[i];
    }
    return value;
}

// A coordinate as an R*Tree node keeps it, as the R*Tree gives it to SQL.
double coordinate(const unsigned char *data, bool integers) {
    const auto bits = static_cast<std::uint32_t>(bigEndian(data, 4));
    if (integers) {
        return static_cast<std::int32_t>(bits);
    }
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

struct PrefixTable::Range {
    double low;
    double high;
    std::uint32_t answer;
};

struct PrefixTable::RtreeRow {
    std::int64_t id;
    std::int64_t node;
    std::uint32_t answer;

    bool operator<(const RtreeRow &other) const { return id < other.id; }
};

const PrefixTable::RtreeRow *PrefixTable::rowWithId(const std::vector<RtreeRow> &rows,
                                                    std::int64_t id) {
    // Ids are mostly 1, 2, 3 …, where the row with an id is found at once.
    if (!rows.empty() && id >= rows.front().id &&
        static_cast<std::uint64_t>(id - rows.front().id) < rows.size()) {
        const RtreeRow &guess = rows[static_cast<std::size_t>(id - rows.front().id)];
        if (guess.id == id) {
            return &guess;
        }
    }
    const auto found = std::lower_bound(rows.begin(), rows.end(), RtreeRow{id, 0, 0});
    return found != rows.end() && found->id == id ? &*found : nullptr;
}

PrefixTable::PrefixTable(std::string storePath)
    : m_storePath(std::move(storePath)),
      m_store(std::make_unique<StoreFile>(m_storePath, StoreFile::Access::Read)) {}

PrefixTable::~PrefixTable() = default;

void PrefixTable::expect(std::uint64_t numbers) {
    if (numbers >= kLongInput && !wholeTable()) {
        readWholeTable();
    }
}

bool PrefixTable::readRtreeRows(std::vector<Range> &ranges) {
    const store::Database &db = m_store->db();
    const std::optional<store::AuxiliaryLayout> layout = store::auxiliaryLayout(db);
    if (!layout) {
        return false;
    }
    const std::vector<std::string> &columns = layout->columns;
    const auto coordinateOf = [&](std::string_view name) -> std::optional<std::size_t> {
        const auto at =
            std::find(columns.begin() + 1, columns.begin() + layout->firstAuxiliary, name);
        if (at == columns.begin() + layout->firstAuxiliary) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(at - columns.begin()) - 1;
    };
    const std::optional<std::size_t> lowAt = coordinateOf(schema::kLow);
    const std::optional<std::size_t> highAt = coordinateOf(schema::kHigh);
    std::string select = "select rowid, nodeno";
    for (const std::string_view column :
         {schema::kProvince, schema::kCity, schema::kAreaCode, schema::kCard}) {
        const std::optional<std::string> stored = layout->storedAs(column);
        if (!lowAt || !highAt || !stored) {
            return false;
        }
        select += ", " + *stored;
    }

    // The texts, without the R*Tree's statement per row.
    std::vector<RtreeRow> rows;
    {
        const store::Statement texts =
            db.prepare(select + " from " + store::quoteIdentifier(layout->table));
        sqlite3_stmt *s = texts.get();
        std::array<std::string, 4> scratch;
        while (db.step(s)) {
            rows.push_back({sqlite3_column_int64(s, 0), sqlite3_column_int64(s, 1),
                            intern({textOf(s, 2, scratch[0]), textOf(s, 3, scratch[1]),
                                    textOf(s, 4, scratch[2]), textOf(s, 5, scratch[3])})});
        }
    }
    if (!std::is_sorted(rows.begin(), rows.end())) {
        std::sort(rows.begin(), rows.end());
    }
    if (readLeafNodes(*layout, *lowAt, *highAt, rows, ranges)) {
        return true;
    }

    // Nodes that do not hold the rows as their ids say: the R*Tree itself
    // reads them, and a row whose texts are missing is one the window's
    // lookup never yields.
    ranges.clear();
    const store::Statement bounds = db.prepare("select " + store::quoteIdentifier(columns.front()) +
                                               ", " + store::quoteIdentifier(schema::kLow) + ", " +
                                               store::quoteIdentifier(schema::kHigh) + " from " +
                                               store::quoteIdentifier(schema::kTable));
    sqlite3_stmt *s = bounds.get();
    while (db.step(s)) {
        if (const RtreeRow *row = rowWithId(rows, sqlite3_column_int64(s, 0))) {
            ranges.push_back(
                {sqlite3_column_double(s, 1), sqlite3_column_double(s, 2), row->answer});
        }
    }
    return true;
}

bool PrefixTable::readLeafNodes(const store::AuxiliaryLayout &layout, std::size_t lowAt,
                                std::size_t highAt, const std::vector<RtreeRow> &rows,
                                std::vector<Range> &ranges) {
    constexpr std::size_t kNodeHeader = 4;
    constexpr std::size_t kIdBytes = 8;
    constexpr std::size_t kCoordinateBytes = 4;
    const std::size_t cellBytes = kIdBytes + kCoordinateBytes * (layout.firstAuxiliary - 1);
    const store::Database &db = m_store->db();
    const store::Statement nodes =
        db.prepare("select nodeno, data from " + store::quoteIdentifier(layout.nodeTable));
    sqlite3_stmt *s = nodes.get();
    std::size_t cells = 0;
    while (db.step(s)) {
        const std::int64_t node = sqlite3_column_int64(s, 0);
        const auto *data = static_cast<const unsigned char *>(sqlite3_column_blob(s, 1));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(s, 1));
        const std::size_t count = size < kNodeHeader ? 0 : bigEndian(data + 2, 2);
        if (size < kNodeHeader || kNodeHeader + count * cellBytes > size) {
            return false;
        }
        // The cells of an inner node hold the numbers of nodes, not rows: a
        // row whose leaf is this node says that it is a leaf.
        const RtreeRow *first = count == 0 ? nullptr
                                           : rowWithId(rows, static_cast<std::int64_t>(bigEndian(
                                                                 data + kNodeHeader, kIdBytes)));
        if (!first || first->node != node) {
            continue;
        }
        for (std::size_t i = 0; i < count; ++i) {
            const unsigned char *cell = data + kNodeHeader + i * cellBytes;
            const RtreeRow *row =
                rowWithId(rows, static_cast<std::int64_t>(bigEndian(cell, kIdBytes)));
            if (!row || row->node != node) {
                return false;
            }
            const unsigned char *values = cell + kIdBytes;
            ranges.push_back(
                {coordinate(values + lowAt * kCoordinateBytes, layout.integerCoordinates),
                 coordinate(values + highAt * kCoordinateBytes, layout.integerCoordinates),
                 row->answer});
            ++cells;
        }
    }
    return cells == rows.size();
}

void PrefixTable::readTableRows(std::vector<Range> &ranges) {
    const store::Database &db = m_store->db();
    const store::Statement statement = db.prepare(schema::kSelectRanges);
    sqlite3_stmt *s = statement.get();
    std::array<std::string, 4> scratch;
    while (db.step(s)) {
        const int lowType = sqlite3_column_type(s, 0);
        const int highType = sqlite3_column_type(s, 1);
        // A comparison with null is never true: such a row answers nothing.
        if (lowType == SQLITE_NULL || highType == SQLITE_NULL) {
            continue;
        }
        // SQLite orders every text above every number and compares a text
        // column's values as texts; the window's lookup alone knows.
        if (lowType == SQLITE_TEXT || lowType == SQLITE_BLOB || highType == SQLITE_TEXT ||
            highType == SQLITE_BLOB) {
            m_everyKeyFromStore = true;
            continue;
        }
        ranges.push_back({sqlite3_column_double(s, 0), sqlite3_column_double(s, 1),
                          intern({textOf(s, 2, scratch[0]), textOf(s, 3, scratch[1]),
                                  textOf(s, 4, scratch[2]), textOf(s, 5, scratch[3])})});
    }
}

const store::AreaCodes *PrefixTable::areaCodes() {
    if (!m_areaCodes) {
        try {
            m_areaCodes = store::readAreaCodes(m_store->db());
        } catch (const store::StoreError &error) {
            m_store->fail(error);
        }
    }
    return *m_areaCodes ? &**m_areaCodes : nullptr;
}

void PrefixTable::readWholeTable() {
    store::faultPoint("lookup-whole-table");
    std::vector<Range> ranges;
    const store::Database &db = m_store->db();
    try {
        // One read transaction, so that the texts and the ranges come from
        // the same state of a store another program may be writing.
        db.exec(kReadWholeFile);
        if (!readRtreeRows(ranges)) {
            readTableRows(ranges);
        }
        db.exec(kEndReading);
    } catch (const store::StoreError &error) {
        // Nothing was written: ending the transaction cannot lose anything.
        sqlite3_exec(db.get(), "rollback", nullptr, nullptr, nullptr);
        m_store->fail(error);
    }

    if (m_everyKeyFromStore) {
        m_slots.assign(kKeys, kAskStore);
        return;
    }
    // Where a row begins to hold keys, one more row holds them and its answer
    // is added to their sum; one past its last key both are taken back. Added
    // up from the lowest key, they say how many rows hold each key, and where
    // one row holds it, the sum (kept modulo 2^32) is that row's answer.
    std::vector<std::int32_t> holding(kKeys + 1, 0);
    std::vector<std::uint32_t> sums(kKeys + 1, 0);
    for (const Range &range : ranges) {
        const auto [first, last] = coveredKeys(range.low, range.high);
        if (first <= last) {
            ++holding[static_cast<std::size_t>(first)];
            --holding[static_cast<std::size_t>(last) + 1];
            sums[static_cast<std::size_t>(first)] += range.answer;
            sums[static_cast<std::size_t>(last) + 1] -= range.answer;
        }
    }
    std::int32_t rows = 0;
    std::uint32_t sum = 0;
    for (std::size_t key = 0; key < kKeys; ++key) {
        rows += holding[key];
        sum += sums[key];
        if (rows == 0) {
            sums[key] = kNotFound;
        } else if (rows == 1) {
            sums[key] = sum;
        } else {
            sums[key] = kAskStore;
            ++m_overlappingKeys;
        }
    }
    sums.pop_back();
    m_slots = std::move(sums);
}

std::uint32_t PrefixTable::intern(const std::array<std::string_view, 4> &texts) {
    // Eight bytes at a time: the texts are short, and a general string hash
    // would cost more than the rest of a row.
    std::size_t hash = 0;
    for (const std::string_view text : texts) {
        hash = (hash ^ text.size()) * kHashMultiplier;
        for (std::size_t i = 0; i < text.size(); i += sizeof(std::uint64_t)) {
            std::uint64_t word = 0;
            std::memcpy(&word, text.data() + i, std::min(sizeof word, text.size() - i));
            hash = (hash ^ word) * kHashMultiplier;
        }
        hash ^= hash >> 29;
    }
    if (2 * (m_answers.size() + 1) > m_buckets.size()) {
        std::vector<std::uint32_t> buckets(
            std::max<std::size_t>(kFirstBuckets, 2 * m_buckets.size()), kNotFound);
        for (std::uint32_t index = 0; index < m_answers.size(); ++index) {
            std::size_t at = m_hashes[index] & (buckets.size() - 1);
            while (buckets[at] != kNotFound) {
                at = (at + 1) & (buckets.size() - 1);
            }
            buckets[at] = index;
        }
        m_buckets = std::move(buckets);
    }
    const std::size_t mask = m_buckets.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const std::uint32_t index = m_buckets[at];
        if (index == kNotFound) {
            break;
        }
        const Answer &answer = m_answers[index];
        if (m_hashes[index] == hash && answer.province == texts[0] && answer.city == texts[1] &&
            answer.areaCode == texts[2] && answer.card == texts[3]) {
            return index;
        }
    }
    const auto index = static_cast<std::uint32_t>(m_answers.size());
    m_answers.push_back({std::string(texts[0]), std::string(texts[1]), std::string(texts[2]),
                         std::string(texts[3])});
    m_hashes.push_back(hash);
    std::size_t at = hash & mask;
    while (m_buckets[at] != kNotFound) {
        at = (at + 1) & mask;
    }
    m_buckets[at] = index;
    return index;
}

std::uint32_t PrefixTable::find(std::uint32_t key, std::string_view number) {
    if (!wholeTable()) {
        return lookUpInStore(number);
    }
    std::uint32_t &slot = m_slots[key - store::kLowestMobileKey];
    if (slot == kAskStore) {
        ++m_storeLookups;
        slot = lookUpInStore(number);
    }
    return slot;
}

std::uint32_t PrefixTable::lookUpInStore(std::string_view number) {
    try {
        if (!m_connection) {
            m_connection = std::make_unique<store::DataConnection>();
            m_connection->setStoreFile(m_storePath);
            m_connection->setBusyTimeout(std::chrono::milliseconds(kBusyTimeoutMs));
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
