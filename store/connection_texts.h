// The texts of a data connection: the store file's path and the connection
// text written with it, and the range query that selects the row of a prefix
// key (with the key text it is written with).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace store {

// The key written as a number literal for SQL: whole values as plain digits
// ("1380013", "-5", never "-0"), fractional ones with "." as the decimal point,
// infinite ones as a literal SQLite reads as infinite ("9e999", "-9e999").
std::string keyText(double key);

// The store file in programDir (a directory without a trailing separator):
// programDir, the platform's path separator, "sys.dat". programDir is taken
// as it is, byte for byte.
std::string storePath(const std::string &programDir);

// The connection text of the store file in programDir:
// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + storePath(programDir) +
// ";Persist Security Info=False", the folder written literally, unquoted,
// whatever it holds. The text is never read back: a folder named
// "x;Provider=y" would make it say something else.
std::string connectionText(const std::string &programDir);

// "select * from quelto where 号码1<=" + keyText + " and " + keyText + "<=号码2".
std::string rangeQuery(const std::string &keyText);
// The same query's where clause and what follows it: rangeQuery(keyText) is
// "select * from quelto" + rangeCondition(keyText).
std::string rangeCondition(const std::string &keyText);

// The key text of a record source that is exactly rangeQuery(keyText(k)) for
// some key k: byte for byte that text, with the same key text both times.
// Returns nothing for any other text, also one that differs only in spaces,
// case, column names or a key written otherwise ("01", "1.0", "+1", "-0").
// The view points into recordSource.
std::optional<std::string_view> rangeQueryKey(std::string_view recordSource);

}  // namespace store
