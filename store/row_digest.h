// A short digest of a row's content, for recognising the rows of an edition
// that is no longer shipped as text.
#pragma once

#include <cstdint>

#include "store/row.h"

namespace store {

// FNV-1a (32 bits) over the row's six values as text, separated by tabs: a
// whole number as its digits, another number as "%.17g", a text as it is,
// null as the byte 0xFF (which no UTF-8 text holds). A row changed in any
// value gets another digest but for a chance of 1 in 2^32.
std::uint32_t rowDigest(const Row &row);

}  // namespace store
