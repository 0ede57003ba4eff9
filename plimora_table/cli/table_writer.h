// Writes records of a text table in the dialects TableReader reads, so that
// what the tools write reads back field for field.
#pragma once

#include <string>
#include <string_view>

#include "plimora_table/cli/table_reader.h"

namespace cli {

// Appends field to line as one field of dialect, without a separator. In CSV
// a field holding the separator, a quote, a carriage return or a line feed
// is put in quotes, its quotes doubled; any other field is written as it is.
// TSV has no quoting: a field holding the separator (a tab), carriage return or line feed
// cannot be written, and the function returns false with line unchanged.
bool appendField(std::string &line, std::string_view field, const Dialect &dialect);

// field as a spreadsheet opening the file keeps it as text: with an
// apostrophe in front when it begins with a character that starts a formula
// (store::startsFormula()), a tab or a carriage return; otherwise field as it
// is.
std::string inertField(std::string_view field);

}  // namespace cli
