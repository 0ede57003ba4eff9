#include "plimora_table/cli/table_writer.h"

#include "store/row_rule.h"

namespace cli {

bool appendField(std::string &line, std::string_view field, const Dialect &dialect) {
    // A plain loop: find_first_of would call memchr once per character.
    bool special = false;
    for (const char c : field) {
        if (c == dialect.separator || c == '\r' || c == '\n' || (c == '"' && dialect.quoting)) {
            special = true;
            break;
        }
    }
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
