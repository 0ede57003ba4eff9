#include "store/number_text.h"

#include <cstdlib>
#include <string>

namespace store {

namespace {

bool isContinuationByte(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The first n characters of UTF-8 text.
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
// did: blanks, tabs and line feeds anywhere are ignored, so "13 8" reads as
// 138. A carriage return is not among them: it ends the number.
double readNumber(std::string_view text) {
    std::string squeezed;
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') {
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

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (char c : text) {
        if (!isContinuationByte(static_cast<unsigned char>(c))) {
            ++count;
        }
    }
    return count;
}

bool isLongEnough(std::string_view numberText) {
    return characterCount(numberText) >= kShortestNumber;
}

bool clearsResults(std::string_view numberText) {
    return characterCount(numberText) <= kClearAtOrBelow;
}

bool isAreaCodeLength(std::string_view areaCode) {
    const std::size_t length = characterCount(areaCode);
    return length >= kShortestAreaCode && length <= kLongestAreaCode;
}

int filterTypedKey(int code, EnterKey enter) {
    const bool kept = (code >= '0' && code <= '9') || code == kBackspaceCode ||
                      (code == kEnterCode && enter == EnterKey::Kept);
    return kept ? code : 0;
}

double prefixKey(std::string_view numberText) {
    return readNumber(firstCharacters(trimSpaces(numberText), kPrefixLength));
}

}  // namespace store
