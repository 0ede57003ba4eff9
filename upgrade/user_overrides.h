// The user's rows answer before the edition's. The window's query takes
// whichever overlapping row the store yields first, so instead of leaving
// overlaps to chance the prefixes a user row covers are cut out of the
// edition's rows: each key is then answered by exactly one row, the user's.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "upgrade/store_file.h"

namespace upgrade {

class UserOverrides {
public:
    // A user row of the edition's row: the edition's row (whole) that the
    // user row userRow (an index into the rows given) meets.
    struct Overlap {
        std::size_t userRow;
        store::Row shipped;
    };

    // The keys the rows cover: each row's whole keys from 号码1 to 号码2.
    // Rows without a numeric range cover nothing.
    explicit UserOverrides(const std::vector<StoredRow> &userRows);

    // The parts of the edition's row that no user row covers, in key order:
    // the row itself when none meets it, nothing when user rows cover all of
    // it. Each part keeps the row's four texts. Counts the keys cut out and
    // records an Overlap for each user row the row meets.
    std::vector<store::Row> uncovered(const store::Row &shipped);

    // The keys cut out so far.
    long long overridden() const { return m_overridden; }
    // Every overlap recorded so far, in the order met.
    const std::vector<Overlap> &overlaps() const { return m_overlaps; }

private:
    const std::vector<StoredRow> &m_rows;
    std::vector<std::pair<long long, long long>> m_covered;  // merged, sorted, disjoint
    long long m_overridden = 0;
    std::vector<Overlap> m_overlaps;
};

// Pairs of the user's own rows (indexes into rows, the first lower) whose
// ranges overlap: the window would answer either.
std::vector<std::pair<std::size_t, std::size_t>> overlappingPairs(
    const std::vector<StoredRow> &rows);

}  // namespace upgrade
