#include "store/store_error.h"

#include <utility>

namespace store {

StoreError::StoreError(int number, std::string description)
    : std::runtime_error(description), m_number(number), m_description(std::move(description)) {}

}  // namespace store
