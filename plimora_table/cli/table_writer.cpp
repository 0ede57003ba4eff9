#include "plimora_table/cli/table_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "store/row_rule.h"

namespace cli {

namespace {

// Whether field holds a character that needs care in dialect: its separator,
// a carriage return or a line feed, or in CSV a quote.
bool needsCare(std::string_view field, const Dialect &dialect) {
    const auto special = [&](char c) {
        return c == dialect.separator || c == '\r' || c == '\n' || (c == '"' && dialect.quoting);
    };
    // All of them lie below a bound (14 for TSV, 45 for CSV) that digits and
    // the bytes of a Chinese character lie above: eight bytes at a time are
    // tested for one below it (exact for bounds up to 128), and only a field
    // that has one is looked at character by character.
    const unsigned bound = std::max<unsigned>({'\r', static_cast<unsigned char>(dialect.separator),
                                               dialect.quoting ? unsigned{'"'} : 0u}) +
                           1;
    if (bound > 128) {
        return std::any_of(field.begin(), field.end(), special);
    }
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighBits = 0x8080808080808080;
    const char *at = field.data();
    const char *end = at + field.size();
    bool below = false;
    for (; !below && end - at >= 8; at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, at, sizeof word);
        below = ((word - kOnes * bound) & ~word & kHighBits) != 0;
    }
    for (; !below && at < end; ++at) {
        below = static_cast<unsigned char>(*at) < bound;
    }
    return below && std::any_of(field.begin(), field.end(), special);
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

std::string inertField(std::string_view field) {
    if (store::startsFormula(field) || field.starts_with('\t') || field.starts_with('\r')) {
        return "'" + std::string(field);
    }
    return std::string(field);
}

}  // namespace cli
