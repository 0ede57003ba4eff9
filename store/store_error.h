// The one exception type of the number-range store.
#pragma once

#include <stdexcept>
#include <string>

namespace store {

// Thrown by every store operation that fails. number() is SQLite's result
// code (SQLITE_MISUSE for a call the store cannot serve, such as reading past
// the last row) and description() the message that goes with it.
class StoreError : public std::runtime_error {
public:
    StoreError(int number, std::string description);

    int number() const { return m_number; }
    const std::string &description() const { return m_description; }

private:
    int m_number;
    std::string m_description;
};

}  // namespace store
