#include "store/schema.h"

#include "store/text.h"

namespace store::schema {

std::string rtreeModule(std::string_view tableSql) {
    const std::string sql = asciiLower(tableSql);
    const std::size_t using_ = sql.find(" using ");
    if (!sql.starts_with("create virtual table") || using_ == std::string::npos) {
        return {};
    }
    const std::size_t module = sql.find_first_not_of(" \t\r\n", using_ + 7);
    const std::size_t moduleEnd = sql.find_first_of(" \t\r\n(", module);
    std::string moduleName =
        module == std::string::npos ? "" : sql.substr(module, moduleEnd - module);
    return moduleName == "rtree" || moduleName == "rtree_i32" ? moduleName : std::string();
}

bool declaresRtree(std::string_view tableSql) {
    return !rtreeModule(tableSql).empty();
}

}  // namespace store::schema
