// The store's table in memory, for looking up a whole list of numbers: the
// answer of the lookup window for every prefix key of a mobile number, read
// from the store once and found with one array access per number.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/data_connection.h"

namespace table {

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

    // Reads every row of the store at storePath. Throws cli::Failure naming
    // storePath when it cannot be opened or read (as StoreFile does). The
    // store is only read.
    explicit PrefixTable(std::string storePath);
    ~PrefixTable();
    PrefixTable(const PrefixTable &) = delete;
    PrefixTable &operator=(const PrefixTable &) = delete;

    // The answer the lookup window gives for number, eleven digits whose
    // prefix key is key (between store::kLowestMobileKey and
    // store::kHighestMobileKey): the index of the answer of the row whose
    // range holds key, or kNotFound. Where the window's answer depends on the
    // order in which SQLite yields rows (a key that more than one row holds,
    // or any key of a store whose bounds are not all numbers), the key is
    // looked up once with the window's own query, store::lookUp(), and its
    // first row answers. Throws cli::Failure naming the store when that query
    // fails.
    std::uint32_t find(std::uint32_t key, std::string_view number);

    // The answer at index (below answerCount()). Rows with the same four
    // texts share one answer; references stay valid while the table lives.
    const Answer &answer(std::uint32_t index) const { return m_answers[index]; }
    std::size_t answerCount() const { return m_answers.size(); }

    std::size_t rows() const { return m_rows; }
    // Prefix keys that more than one row holds.
    std::size_t overlappingKeys() const { return m_overlappingKeys; }
    // True when a bound that is no number (a text) makes every key go to the
    // window's query.
    bool everyKeyFromStore() const { return m_everyKeyFromStore; }
    // Keys looked up with the window's query so far.
    std::size_t storeLookups() const { return m_storeLookups; }

private:
    // The index of the answer with these texts (province, city, area code,
    // card), added when there is none yet.
    std::uint32_t intern(const std::array<std::string_view, 4> &texts);
    std::uint32_t lookUpInStore(std::string_view number);

    std::string m_storePath;
    std::deque<Answer> m_answers;
    std::unordered_map<std::string, std::uint32_t> m_answerIndex;  // by the four texts
    std::string m_key;                                             // intern()'s scratch
    // One entry per prefix key from store::kLowestMobileKey: an answer's
    // index, kNotFound, or kAskStore.
    std::vector<std::uint32_t> m_slots;
    std::unique_ptr<store::DataConnection> m_connection;
    std::size_t m_rows = 0;
    std::size_t m_overlappingKeys = 0;
    std::size_t m_storeLookups = 0;
    bool m_everyKeyFromStore = false;
};

}  // namespace table
