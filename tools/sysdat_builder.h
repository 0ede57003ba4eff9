// Builds the store file the program ships with from its text table.
#pragma once

#include <cstddef>
#include <string>

namespace tools {

// Reads the tab-separated table at tsvPath (UTF-8, a header line
// "号码1 号码2 省份 城市 区号 卡信息", then one row per line) and writes a fresh
// store file at outPath whose table quelto is an R*Tree over the two keys with
// the four texts as auxiliary columns. The file is written beside outPath
// and moved into place only when complete, so a failure leaves any earlier
// file untouched. Returns the number of rows written. Throws
// store::StoreError for a malformed line (naming its line number) or a store
// failure.
std::size_t buildSysdat(const std::string &tsvPath, const std::string &outPath);

}  // namespace tools
