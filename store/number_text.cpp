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

std::string digitsOf(std::string_view text) {
    // U+FF10 to U+FF19 in UTF-8: EF BC 90 to EF BC 99.
    constexpr std::string_view kFullWidthLead = "\xEF\xBC";
    constexpr unsigned char kFullWidthZero = 0x90;
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isDigit(text[i])) {
            digits += text[i];
            continue;
        }
        if (text.substr(i, kFullWidthLead.size()) == kFullWidthLead &&
            i + kFullWidthLead.size() < text.size()) {
            const auto last = static_cast<unsigned char>(text[i + kFullWidthLead.size()]);
            if (last >= kFullWidthZero && last < kFullWidthZero + 10) {
                digits += static_cast<char>('0' + (last - kFullWidthZero));
                i += kFullWidthLead.size();
            }
        }
    }
    return digits;
}

std::string withoutCountryCode(std::string_view digits) {
    constexpr std::size_t kCellPhoneLength = 11;
    for (const std::string_view code : {std::string_view("86"), std::string_view("0086")}) {
        if (digits.size() == code.size() + kCellPhoneLength &&
            digits.substr(0, code.size()) == code && digits[code.size()] == '1') {
            return std::string(digits.substr(code.size()));
        }
    }
    return std::string(digits);
}

std::string cleanPaste(std::string_view pasted, NumberField field) {
    const std::string digits = digitsOf(pasted);
    return field == NumberField::PhoneNumber ? withoutCountryCode(digits) : digits;
}

double prefixKey(std::string_view numberText) {
    return readNumber(firstCharacters(trimSpaces(numberText), kPrefixLength));
}

}  // namespace store
