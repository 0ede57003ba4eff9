#include "tools/plimora_table/row_text.h"

#include "store/data_connection.h"

namespace tools::table {

std::string valueText(const store::Variant &value) {
    return store::toText(value);
}

std::string describeRow(const QueltoRow &row) {
    const std::string low = valueText(row.values[0]);
    const std::string high = valueText(row.values[1]);
    std::string text = low == high ? low : low + "-" + high;
    for (std::size_t i = 2; i < row.values.size(); ++i) {
        const store::Variant &value = row.values[i];
        text += ' ';
        if (std::holds_alternative<std::monostate>(value)) {
            text += "(NULL)";
        } else if (valueText(value).find_first_not_of(' ') == std::string::npos) {
            text += "(空)";
        } else {
            text += valueText(value);
        }
    }
    return text;
}

}  // namespace tools::table
