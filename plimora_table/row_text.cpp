#include "plimora_table/row_text.h"

#include "store/text.h"

namespace table {

std::string describeRow(const store::Row &row) {
    const std::string low = store::toText(row.low);
    const std::string high = store::toText(row.high);
    std::string text = store::escapedText(low == high ? low : low + "-" + high);
    for (const store::Variant *value : {&row.province, &row.city, &row.areaCode, &row.card}) {
        text += ' ';
        if (std::holds_alternative<std::monostate>(*value)) {
            text += "(NULL)";
        } else if (store::trimInvisible(store::toText(*value)).empty()) {
            text += "(空)";
        } else {
            text += store::escapedText(store::toText(*value));
        }
    }
    return text;
}

}  // namespace table
