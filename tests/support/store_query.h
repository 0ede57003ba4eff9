// Reading a store file the way a test checks it afterwards: read-only, and
// never failing the test itself (a file that cannot be read gives "").
#pragma once

#include <string>

namespace testing_support {

// The first column of the first row of sql on the store at path, as text
// ("" when there is none or the file cannot be read).
std::string queryText(const std::string &path, const std::string &sql);

}  // namespace testing_support
