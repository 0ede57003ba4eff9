// The area-code table: the place each telephone area code serves and how
// many digits a local number has there. It travels in the store file beside
// the number table, so that editions and updates carry it; the windows never
// read it. Its text form is data/areacodes.tsv.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/database.h"

namespace store {

struct AreaCode {
    std::string code;          // "010", "0755": 0 and two or three digits
    std::string province;      // "北京", "广东"
    std::string city;          // the city the code is named for
    std::string sharedCities;  // the other cities on the same code, "、"-joined; "" for none
    std::string localLengths;  // digits of a local number there: "7", "8" or "7,8"
    bool operator==(const AreaCode &) const = default;
};

// Sorted by code, each code once.
using AreaCodes = std::vector<AreaCode>;

// Whether a local number of digits digits is one that area uses.
bool fitsLocalLength(const AreaCode &area, std::size_t digits);

// The entry whose code begins national, a number written with its leading 0
// ("01088886666", "075588888888"): a code is never the start of another, so
// at most one does. nullptr when none does. codes is sorted by code.
const AreaCode *findAreaCode(const AreaCodes &codes, std::string_view national);

// What is wrong with area, in words for the user, or "" when nothing is: a
// code that is not 0 and two or three digits, lengths other than "7", "8"
// or "7,8", an empty province or city.
std::string areaCodeProblem(const AreaCode &area);

// The store's area-code table, or nothing when it has none (a store from
// before the table travelled in it, or one made by hand). Throws StoreError,
// also (SQLITE_CORRUPT) for an entry with areaCodeProblem() or a code twice.
std::optional<AreaCodes> readAreaCodes(const Database &db);

// Creates the table in db and writes codes into it, inside the caller's
// transaction. Throws StoreError, also (SQLITE_CONSTRAINT) when an entry has
// an areaCodeProblem() or codes is not sorted with each code once.
void writeAreaCodes(const Database &db, const AreaCodes &codes);

}  // namespace store
