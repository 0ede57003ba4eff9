// The first edition of the table (libphonenumber 8.12.57), as far as the tool
// needs it to tell the user's rows in a store built before stores recorded
// their edition. The builder of that time wrote the edition's 79,141 rows
// under ids 1..79,141 in the order of its table; every row the add-record
// window added afterwards got an id above them.
#pragma once

#include <cstddef>

#include "store/edition.h"
#include "store/row.h"

namespace upgrade {

// The number of rows of edition 1.
std::size_t firstEditionRows();

// True when row equals, value for value, the row edition 1 has under id
// (compared by rowDigest); false for an id outside 1..firstEditionRows().
bool isFirstEditionRow(long long id, const store::Row &row);

// The entries of edition 1's edition file.
store::Edition firstEdition();

}  // namespace upgrade
