// Rows added and looked up the way the windows do it, through a data
// connection to a folder's sys.dat, for the tests that need many rows of the
// user's or what the lookup window would answer without opening a window.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace testing_support {

// Adds a row the way the add-record window does: a lookup of the number on a
// connection to folder/sys.dat, then AddNew, six assignments and Update.
// Returns false (adding nothing) when a row already covers the number.
// Throws store::StoreError.
bool addLikeTheWindow(const std::string &folder, const std::string &number,
                      const std::array<std::string, 4> &texts);

// What the lookup window shows for number with folder/sys.dat: the four texts
// of the row found, or nullopt when there is none. Throws store::StoreError.
std::optional<std::array<std::string, 4>> lookUpLikeTheWindow(const std::string &folder,
                                                              const std::string &number);

}  // namespace testing_support
