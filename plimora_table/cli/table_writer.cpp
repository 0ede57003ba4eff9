#include "plimora_table/cli/table_writer.h"

#include <algorithm>
#include <cstdint>

namespace cli {

namespace {

// Whether field holds a character that needs care in dialect: its separator,
// a carriage return or a line feed, or in CSV a quote. A plain loop:
// find_first_of would call memchr once per character. These characters are
// all below 64, so one bit each of a 64-bit word tells them.
bool needsCare(std::string_view field, const Dialect &dialect) {
    const auto separator = static_cast<unsigned char>(dialect.separator);
    constexpr unsigned kBits = 64;
    if (separator >= kBits) {
        return std::any_of(field.begin(), field.end(), [&](char c) {
            return c == dialect.separator || c == '\r' || c == '\n' ||
                   (c == '"' && dialect.quoting);
        });
    }
    const std::uint64_t special = std::uint64_t{1} << separator | std::uint64_t{1} << '\r' |
                                  std::uint64_t{1} << '\n' |
                                  (dialect.quoting ? std::uint64_t{1} << '"' : 0);
    for (const char c : field) {
        const auto code = static_cast<unsigned char>(c);
        if (code < kBits && (special >> code & 1) != 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool appendField(std::string &line, std::string_view field, const Dialect &dialect) {
    const bool special = needsCare(field, dialect);
    if (!special) {
        line += field;
        return true;
    }
    if (!dialect.quoting) {
        return false;
    }
    line += '"';
    for (const char c : field) {
        if (c == '"') {
            line += '"';
        }
        line += c;
    }
    line += '"';
    return true;
}

}  // namespace cli
