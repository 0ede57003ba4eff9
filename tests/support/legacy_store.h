// A store as the builder wrote it before stores recorded their edition, for
// the tests and the update benchmark.
#pragma once

#include <string>

namespace testing_support {

// Builds storePath from the text table at tsvPath the old way: the same
// R*Tree, rows inserted in table order without ids, no metadata. Throws
// std::runtime_error when a row cannot be written.
void buildLegacyStore(const std::string &tsvPath, const std::string &storePath);

}  // namespace testing_support
