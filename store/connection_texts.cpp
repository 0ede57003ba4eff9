#include "store/connection_texts.h"

#include <charconv>
#include <cmath>

#include "store/schema.h"

namespace store {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

std::string_view trimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string keyText(double key) {
    if (std::isinf(key)) {
        return key > 0 ? "9e999" : "-9e999";
    }
    if (key == 0.0) {
        return "0";
    }
    char buffer[64];
    std::to_chars_result result;
    if (key == std::trunc(key) && std::fabs(key) < 1e15) {
        result = std::to_chars(buffer, buffer + sizeof buffer, key, std::chars_format::fixed, 0);
    } else {
        result = std::to_chars(buffer, buffer + sizeof buffer, key);
    }
    return std::string(buffer, result.ptr);
}

std::string connectionText(const std::string &programDir) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + programDir + kSeparator +
           "sys.dat;Persist Security Info=False";
}

std::string dataSource(std::string_view connectionText) {
    constexpr std::string_view kKey = "Data Source=";
    std::size_t start = 0;
    while (start <= connectionText.size()) {
        auto end = connectionText.find(';', start);
        if (end == std::string_view::npos) {
            end = connectionText.size();
        }
        const auto entry = trimSpaces(connectionText.substr(start, end - start));
        if (entry.substr(0, kKey.size()) == kKey) {
            return std::string(entry.substr(kKey.size()));
        }
        start = end + 1;
    }
    return {};
}

std::string rangeQuery(const std::string &keyText) {
    using namespace schema;
    return "select * from " + std::string(kTable) + " where " + std::string(kLow) + "<=" + keyText +
           " and " + keyText + "<=" + std::string(kHigh);
}

}  // namespace store
