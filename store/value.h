// A value of a store column as the program holds it, and the one rule for
// binding such a value to a statement and reading it back.
#pragma once

#include <string>
#include <variant>

struct sqlite3_stmt;

namespace store {

// A column value: null, a number or a text (UTF-8).
using Variant = std::variant<std::monostate, double, std::string>;

// The value as display text: "" for null, a number as keyText() writes it,
// a text unchanged.
std::string toText(const Variant &value);

// Binds value to parameter index (from 1) of statement as every writer of a
// store does: a whole number below 2^63 in size as an integer, so that a text
// or numeric column holds the digits a query compares with; any other number
// as a real, a text as text, nothing as null. Returns SQLite's result code.
int bindValue(sqlite3_stmt *statement, int index, const Variant &value);

// Column column (from 0) of statement's current row into slot, reusing the
// text slot holds: null, a number (integer or real) or a text in UTF-8 (a
// blob is read as its bytes), as the windows read it.
void readValue(Variant &slot, sqlite3_stmt *statement, int column);

}  // namespace store
