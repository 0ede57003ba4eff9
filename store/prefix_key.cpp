#include "store/prefix_key.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "store/schema.h"

namespace store {

namespace {

constexpr std::size_t kPrefixLength = 7;

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

bool isContinuationByte(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The first n characters (code points) of UTF-8 text.
std::string_view firstCharacters(std::string_view text, std::size_t n) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isContinuationByte(static_cast<unsigned char>(text[i]))) {
            continue;
        }
        if (count == n) {
            return text.substr(0, i);
        }
        ++count;
    }
    return text;
}

std::string_view trimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads the longest number at the head of the text the way the old Basic Val
// did: whitespace anywhere is ignored, so "13 8" reads as 138.
double readNumber(std::string_view text) {
    std::string squeezed;
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
            squeezed += c;
        }
    }

    std::size_t i = 0;
    std::string literal;
    if (i < squeezed.size() && (squeezed[i] == '+' || squeezed[i] == '-')) {
        literal += squeezed[i++];
    }
    bool anyDigit = false;
    while (i < squeezed.size() && isDigit(squeezed[i])) {
        literal += squeezed[i++];
        anyDigit = true;
    }
    if (i < squeezed.size() && squeezed[i] == '.') {
        literal += squeezed[i++];
        while (i < squeezed.size() && isDigit(squeezed[i])) {
            literal += squeezed[i++];
            anyDigit = true;
        }
    }
    if (!anyDigit) {
        return 0.0;
    }
    if (i < squeezed.size() && (squeezed[i] == 'e' || squeezed[i] == 'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < squeezed.size() && (squeezed[j] == '+' || squeezed[j] == '-')) {
            exponent += squeezed[j++];
        }
        bool exponentDigit = false;
        while (j < squeezed.size() && isDigit(squeezed[j])) {
            exponent += squeezed[j++];
            exponentDigit = true;
        }
        if (exponentDigit) {
            literal += exponent;
        }
    }
    // strtod gives +-HUGE_VAL on overflow, which is the infinite key we want.
    return std::strtod(literal.c_str(), nullptr);
}

}  // namespace

double prefixKey(std::string_view numberText) {
    return readNumber(firstCharacters(trimSpaces(numberText), kPrefixLength));
}

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
