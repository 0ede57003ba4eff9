// The store's one table: its name, its six column names and the header line
// of its text form. Everything that names a column of quelto, in the program,
// the tools and the tests, takes the name from here.
#pragma once

#include <array>
#include <string_view>

namespace store::schema {

inline constexpr std::string_view kTable = "quelto";

inline constexpr std::string_view kLow = "号码1";      // lowest prefix key of the range
inline constexpr std::string_view kHigh = "号码2";     // highest prefix key of the range
inline constexpr std::string_view kProvince = "省份";  // province where the block is registered
inline constexpr std::string_view kCity = "城市";      // its city
inline constexpr std::string_view kAreaCode = "区号";  // the city's telephone area code
inline constexpr std::string_view kCard = "卡信息";    // the kind of card (carrier)

// The six columns in the order of the text form.
inline constexpr std::array<std::string_view, 6> kColumns = {kLow,  kHigh,     kProvince,
                                                             kCity, kAreaCode, kCard};

// The header line of the text form (data/quelto.tsv), without its line end.
inline constexpr std::string_view kTsvHeader = "号码1\t号码2\t省份\t城市\t区号\t卡信息";

}  // namespace store::schema
