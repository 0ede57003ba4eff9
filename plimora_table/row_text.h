// How the tool shows a row in its reports: "1380000-1380999 北京 北京 010 中国移动".
#pragma once

#include <string>

#include "store/row.h"

namespace table {

// The range ("1380013", or "1380000-1380999") and the four texts, separated
// by spaces; a null shows as "(NULL)", a text of nothing but blanks and
// invisible characters as "(空)", every other text as store::escapedText()
// shows it, so that the line is safe to print.
std::string describeRow(const store::Row &row);

}  // namespace table
