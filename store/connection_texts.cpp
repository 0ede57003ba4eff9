#include "store/connection_texts.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "store/schema.h"

namespace store {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// The range query around its two key texts: head, key, middle, key, tail.
const std::string &rangeSelect() {
    static const std::string select = "select * from " + std::string(schema::kTable);
    return select;
}
const std::string &rangeHead() {
    static const std::string head = rangeSelect() + " where " + std::string(schema::kLow) + "<=";
    return head;
}
constexpr std::string_view kRangeMiddle = " and ";
const std::string &rangeTail() {
    static const std::string tail = "<=" + std::string(schema::kHigh);
    return tail;
}

// True when text is what keyText() writes for some key. A number literal
// starts with a digit after its sign, which keeps out the "nan" and "inf"
// that a conversion accepts.
bool isKeyText(std::string_view text) {
    if (text == "9e999" || text == "-9e999") {
        return true;
    }
    const std::size_t first = text.starts_with('-') ? 1 : 0;
    if (text.size() <= first || text[first] < '0' || text[first] > '9') {
        return false;
    }
    double key = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), key);
    return error == std::errc() && end == text.data() + text.size() && keyText(key) == text;
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

std::string storePath(const std::string &programDir) {
    return programDir + kSeparator + "sys.dat";
}

std::string connectionText(const std::string &programDir) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + storePath(programDir) +
           ";Persist Security Info=False";
}

std::string rangeQuery(const std::string &keyText) {
    return rangeSelect() + rangeCondition(keyText);
}

std::string rangeCondition(const std::string &keyText) {
    const std::string_view head = std::string_view(rangeHead()).substr(rangeSelect().size());
    const std::string &tail = rangeTail();
    std::string query;
    query.reserve(head.size() + 2 * keyText.size() + kRangeMiddle.size() + tail.size());
    query.append(head).append(keyText).append(kRangeMiddle).append(keyText).append(tail);
    return query;
}

std::optional<std::string_view> rangeQueryKey(std::string_view recordSource) {
    const std::string &head = rangeHead();
    const std::string &tail = rangeTail();
    if (recordSource.size() < head.size() + tail.size() || !recordSource.starts_with(head) ||
        !recordSource.ends_with(tail)) {
        return std::nullopt;
    }
    const std::string_view keys =
        recordSource.substr(head.size(), recordSource.size() - head.size() - tail.size());
    if (keys.size() < kRangeMiddle.size() || (keys.size() - kRangeMiddle.size()) % 2 != 0) {
        return std::nullopt;
    }
    const std::size_t length = (keys.size() - kRangeMiddle.size()) / 2;
    const std::string_view key = keys.substr(0, length);
    if (keys.substr(length, kRangeMiddle.size()) != kRangeMiddle ||
        keys.substr(length + kRangeMiddle.size()) != key || !isKeyText(key)) {
        return std::nullopt;
    }
    return key;
}

}  // namespace store
