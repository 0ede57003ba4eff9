// The answers of the store for plimora-table lookup: the answer the lookup
// window gives for every prefix key of a mobile number. A short list is
// answered as the window answers, with its own lookup number by number; once
// the list turns out to be long, the whole table is read into memory once
// and every number is found with one array access.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/area_codes.h"
#include "store/data_connection.h"
#include "store/range_statement.h"

namespace upgrade {
class StoreFile;
}

namespace table {

using upgrade::StoreFile;

// The four texts the lookup window shows for a row: each column's value as
// store::toText() writes it ("" for null, a number as its key text).
struct Answer {
    std::string province;
    std::string city;
    std::string areaCode;
    std::string card;

    bool operator==(const Answer &) const = default;
};

class PrefixTable {
public:
    // What find() returns when no row covers the key.
    static constexpr std::uint32_t kNotFound = 0xFFFFFFFF;
    // A list of this many numbers or more is answered from the whole table:
    // reading it costs about as much as this many of the window's lookups
    // (each a read transaction of its own), so a list is never answered
    // more than about twice as slowly as the better way would.
    static constexpr std::uint64_t kLongInput = 4096;

    // Opens the store at storePath and reads none of its rows yet. Throws
    // upgrade::Failure naming storePath when it cannot be opened (as StoreFile
    // does). The store is only read.
    explicit PrefixTable(std::string storePath);
    ~PrefixTable();
    PrefixTable(const PrefixTable &) = delete;
    PrefixTable &operator=(const PrefixTable &) = delete;

    // Tells the table that the input holds at least numbers numbers, those
    // answered so far and those known to follow. From kLongInput on, the
    // whole table is read (once) and answers every number after. Throws
    // upgrade::Failure naming the store when it cannot be read; the answers so
    // far stand.
    void expect(std::uint64_t numbers);

    // The answer the lookup window gives for number, eleven digits whose
    // prefix key is key (between store::kLowestMobileKey and
    // store::kHighestMobileKey): the index of the answer of the row whose
    // range holds key, or kNotFound. Before the whole table is read, and for
    // the keys whose answer depends on the order in which SQLite yields rows
    // (a key that more than one row holds, or any key of a store whose bounds
    // are not all numbers), the window's own lookup, store::lookUp(), answers
    // with its first row. Throws upgrade::Failure naming the store when that
    // lookup fails.
    std::uint32_t find(std::uint32_t key, std::string_view number);

    // The answer at index (below answerCount()). Rows with the same four
    // texts share one answer, whichever way it was found; references stay
    // valid while the table lives.
    const Answer &answer(std::uint32_t index) const { return m_answers[index]; }
    std::size_t answerCount() const { return m_answers.size(); }

    // The store's area-code table, read at the first call; null when the
    // store has none (a store from before it travelled in the store). Throws
    // upgrade::Failure naming the store when it cannot be read.
    const store::AreaCodes *areaCodes();

    // Whether the whole table has been read.
    bool wholeTable() const { return !m_slots.empty(); }
    // The rest says what reading the whole table found, all 0 or false
    // before: prefix keys that more than one row holds; whether a bound that
    // is no number (a text) makes every key go to the window's lookup; and
    // the keys that the window's lookup answered since.
    std::size_t overlappingKeys() const { return m_overlappingKeys; }
    bool everyKeyFromStore() const { return m_everyKeyFromStore; }
    std::size_t storeLookups() const { return m_storeLookups; }

private:
    // One row's range and the index of its answer.
    struct Range;
    // A row of an R*Tree: its id, the leaf node that holds its coordinates
    // and the index of its answer.
    struct RtreeRow;

    void readWholeTable();
    // The rows with the ranges they hold, read through the tables in which
    // an R*Tree keeps them; false when the table is no such R*Tree.
    bool readRtreeRows(std::vector<Range> &ranges);
    // The ranges of rows (sorted by id) from the leaf nodes that hold them;
    // false when the nodes do not hold exactly these rows as described.
    bool readLeafNodes(const store::AuxiliaryLayout &layout, std::size_t lowAt, std::size_t highAt,
                       const std::vector<RtreeRow> &rows, std::vector<Range> &ranges);
    // The rows as the store's table gives them, any kind of table.
    void readTableRows(std::vector<Range> &ranges);
    // The row of rows (sorted by id) with id, or null.
    static const RtreeRow *rowWithId(const std::vector<RtreeRow> &rows, std::int64_t id);
    // The index of the answer with these texts (province, city, area code,
    // card), added when there is none yet.
    std::uint32_t intern(const std::array<std::string_view, 4> &texts);
    std::uint32_t lookUpInStore(std::string_view number);

    std::string m_storePath;
    std::unique_ptr<StoreFile> m_store;
    std::deque<Answer> m_answers;
    // An open-addressing hash table of answer indices (kNotFound: empty),
    // by the four texts, at most half full; m_hashes holds each answer's hash.
    std::vector<std::uint32_t> m_buckets;
    std::vector<std::size_t> m_hashes;
    // Once the whole table is read, one entry per prefix key from
    // store::kLowestMobileKey: an answer's index, kNotFound, or kAskStore.
    std::vector<std::uint32_t> m_slots;
    std::unique_ptr<store::DataConnection> m_connection;
    std::optional<std::optional<store::AreaCodes>> m_areaCodes;  // outer: read yet
    std::size_t m_overlappingKeys = 0;
    std::size_t m_storeLookups = 0;
    bool m_everyKeyFromStore = false;
};

}  // namespace table
