// Small operations on plain UTF-8 texts that the store and the tools share.
// Only ASCII is touched: every other byte, and so every Chinese character,
// stays as it is.
#pragma once

#include <string>
#include <string_view>

namespace store {

// text without the spaces at both ends (only U+0020; tabs and other blanks
// stay), as the add-record window trims its fields.
std::string_view trimSpaces(std::string_view text);

// c, or its lower-case letter when it is an ASCII capital.
constexpr char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
// text with its ASCII capitals made lower case.
std::string asciiLower(std::string_view text);

}  // namespace store
