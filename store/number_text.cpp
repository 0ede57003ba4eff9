#include "store/number_text.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "store/text.h"

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

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads the longest number at the head of the text: blanks, tabs and line
// feeds anywhere are ignored, so "13 8" reads as 138. A carriage return is
// not among them: it ends the number.
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

// What kinds of character a text holds, for readMobileNumber().
struct Characters {
    bool digits = false;   // ASCII or full-width digits
    bool marks = false;    // dashes, dots, brackets, a plus: a number's punctuation
    bool plus = false;     // a plus before the first digit
    bool letters = false;  // Latin letters, also full-width ones
    bool chinese = false;  // CJK ideographs
    bool other = false;    // anything else, also bytes that are not UTF-8
};

bool isSpace(char32_t c) {
    return c == 0x00A0 || (c >= 0x2000 && c <= 0x200B) || c == 0x202F || c == 0x205F ||
           c == 0x3000 || c == 0xFEFF;
}

// Dashes (hyphen to horizontal bar, minus, full-width hyphen-minus), dots
// (middle dot, full-width full stop) and full-width round brackets.
bool isMark(char32_t c) {
    return (c >= 0x2010 && c <= 0x2015) || c == 0x2212 || c == 0xFF0D || c == 0x00B7 ||
           c == 0xFF0E || c == 0xFF08 || c == 0xFF09;
}

bool isLetter(char32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xFF21 && c <= 0xFF3A) ||
           (c >= 0xFF41 && c <= 0xFF5A);
}

bool isChinese(char32_t c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x20000 && c <= 0x2FFFF);
}

// What kinds of character text holds; its digits (as digitsOf() gives them)
// are written to digits on the way, which has room for text.size() of them,
// and counted in digitCount.
Characters classify(std::string_view text, char *digits, std::size_t &digitCount) {
    constexpr char32_t kFullWidthZero = 0xFF10;
    constexpr char32_t kFullWidthPlus = 0xFF0B;
    Characters seen;
    digitCount = 0;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) < 0x80) {
            ++i;
            if (isDigit(c)) {
                seen.digits = true;
                digits[digitCount++] = c;
            } else if (c == '+') {
                seen.marks = true;
                seen.other = seen.other || seen.digits;
                seen.plus = !seen.digits;
            } else if (c == '-' || c == '.' || c == '(' || c == ')') {
                seen.marks = true;
            } else if (isLetter(static_cast<char32_t>(c))) {
                seen.letters = true;
            } else if (c != ' ' && c != '\t') {
                seen.other = true;
            }
            continue;
        }
        // A full-width digit (EF BC 90 to EF BC 99), the one character
        // beyond ASCII that lists are full of.
        if (c == '\xEF' && i + 2 < text.size() && text[i + 1] == '\xBC' &&
            static_cast<unsigned char>(text[i + 2]) - 0x90u < 10u) {
            seen.digits = true;
            digits[digitCount++] = static_cast<char>('0' + (text[i + 2] - '\x90'));
            i += 3;
            continue;
        }
        const auto [point, length] = decodeUtf8(text, i);
        if (length == 0) {
            seen.other = true;
            ++i;
            continue;
        }
        i += length;
        if (point >= kFullWidthZero && point < kFullWidthZero + 10) {
            seen.digits = true;
            digits[digitCount++] = static_cast<char>('0' + (point - kFullWidthZero));
        } else if (point == kFullWidthPlus) {
            seen.marks = true;
            seen.other = seen.other || seen.digits;
            seen.plus = !seen.digits;
        } else if (isMark(point)) {
            seen.marks = true;
        } else if (isLetter(point)) {
            seen.letters = true;
        } else if (isChinese(point)) {
            seen.chinese = true;
        } else if (!isSpace(point)) {
            seen.other = true;
        }
    }
    return seen;
}

// Ten to twelve digits that start with 0 and an area code: 010, 02x, or
// 03xx to 09xx. A 0 before a mobile number ("013800138000") is not one.
bool isLandline(std::string_view digits) {
    constexpr std::size_t kShortestLandline = 10;
    constexpr std::size_t kLongestLandline = 12;
    if (digits.size() < kShortestLandline || digits.size() > kLongestLandline || digits[0] != '0') {
        return false;
    }
    return digits[1] != '1' || digits[2] == '0';
}

// The length of the country code withoutCountryCode() drops from digits: 2
// for "86" and 4 for "0086" before eleven digits that start with 1, else 0.
std::size_t countryCodeLength(std::string_view digits) {
    for (const std::string_view code : {std::string_view("86"), std::string_view("0086")}) {
        if (digits.size() == code.size() + kMobileLength && digits.substr(0, code.size()) == code &&
            digits[code.size()] == kMobileLead) {
            return code.size();
        }
    }
    return 0;
}

// The prefix key of a mobile number's eleven ASCII digits.
std::uint32_t keyOf(std::string_view digits) {
    std::uint32_t key = 0;
    for (std::size_t i = 0; i < kPrefixLength; ++i) {
        key = key * 10 + static_cast<std::uint32_t>(digits[i] - '0');
    }
    return key;
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
    return std::string(digits.substr(countryCodeLength(digits)));
}

std::string cleanPaste(std::string_view pasted, NumberField field) {
    const std::string digits = digitsOf(pasted);
    return field == NumberField::PhoneNumber ? withoutCountryCode(digits) : digits;
}

MobileNumber readMobileNumber(std::string_view text) {
    // Most cells of a list hold eleven digits that start with 1, alone or
    // parted by spaces or dashes, which every check below lets through as
    // they are.
    if (text.size() == kMobileLength && text[0] == kMobileLead &&
        std::all_of(text.begin(), text.end(), isDigit)) {
        return {NumberProblem::None, std::string(text), keyOf(text)};
    }
    // The rest of them part the digits by spaces or dashes and may write the
    // country code in front ("+86 138-0013-8000", "0086 138 0013 8000").
    constexpr std::size_t kLongestWritten = 15;  // "0086" and eleven digits
    char written[kLongestWritten];
    std::size_t count = 0;
    bool plus = false;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (isDigit(c) && count < kLongestWritten) {
            written[count++] = c;
        } else if (c == '+' && count == 0) {
            plus = true;
        } else if (c != ' ' && c != '-') {
            break;
        }
    }
    if (i == text.size()) {
        const std::string_view all(written, count);
        std::optional<std::string_view> digits;
        if (!plus && count == kMobileLength && all[0] == kMobileLead) {
            digits = all;
        } else if (count == kMobileLength + 2 && all.starts_with("861")) {
            digits = all.substr(2);
        } else if (!plus && count == kMobileLength + 4 && all.starts_with("00861")) {
            digits = all.substr(4);
        }
        if (digits) {
            return {NumberProblem::None, std::string(*digits), keyOf(*digits)};
        }
    }

    MobileNumber number;
    std::string &digits = number.digits;
    // The digits of a cell are gathered on the stack; only a cell too long
    // for that gathers them in the string itself.
    constexpr std::size_t kOnStack = 64;
    char stack[kOnStack];
    if (text.size() > kOnStack) {
        digits.resize(text.size());
    }
    char *gathered = text.size() > kOnStack ? digits.data() : stack;
    count = 0;
    const Characters seen = classify(text, gathered, count);
    if (seen.letters) {
        number.problem = NumberProblem::Letters;
    } else if (seen.chinese) {
        number.problem = NumberProblem::Chinese;
    } else if (seen.other) {
        number.problem = NumberProblem::OtherCharacters;
    } else if (!seen.digits) {
        number.problem = seen.marks ? NumberProblem::NoDigits : NumberProblem::Empty;
    }
    if (number.problem != NumberProblem::None) {
        digits.clear();
        return number;
    }
    if (gathered == stack) {
        digits.assign(stack, count);
    } else {
        digits.resize(count);
    }

    constexpr std::string_view kCountryCode = "86";
    constexpr std::string_view kInternationalCode = "0086";
    if (seen.plus) {
        if (!digits.starts_with(kCountryCode)) {
            number.problem = NumberProblem::Foreign;
            return number;
        }
        digits.erase(0, kCountryCode.size());
    } else if (digits.starts_with("00")) {
        if (!digits.starts_with(kInternationalCode)) {
            number.problem = NumberProblem::Foreign;
            return number;
        }
        digits.erase(0, kInternationalCode.size());
    } else {
        digits.erase(0, countryCodeLength(digits));
    }

    if (isLandline(digits)) {
        number.problem = NumberProblem::Landline;
    } else if (digits.size() < kMobileLength) {
        number.problem = NumberProblem::TooFewDigits;
    } else if (digits.size() > kMobileLength) {
        number.problem = NumberProblem::TooManyDigits;
    } else if (digits[0] != kMobileLead) {
        number.problem = NumberProblem::NotLeadingOne;
    } else {
        number.key = keyOf(digits);
    }
    return number;
}

std::string_view problemName(NumberProblem problem) {
    switch (problem) {
        case NumberProblem::None:
            return "";
        case NumberProblem::Empty:
            return "空";
        case NumberProblem::Letters:
            return "含有字母";
        case NumberProblem::Chinese:
            return "含有汉字";
        case NumberProblem::OtherCharacters:
            return "含有号码以外的字符";
        case NumberProblem::NoDigits:
            return "没有数字";
        case NumberProblem::Foreign:
            return "不是中国大陆的号码（国家代码不是 86）";
        case NumberProblem::Landline:
            return "固定电话号码（带区号）";
        case NumberProblem::TooFewDigits:
            return "位数不足";
        case NumberProblem::TooManyDigits:
            return "位数太多";
        case NumberProblem::NotLeadingOne:
            return "不以 1 开头";
    }
    return "";
}

std::string problemText(const MobileNumber &number) {
    std::string text(problemName(number.problem));
    if (number.problem == NumberProblem::TooFewDigits ||
        number.problem == NumberProblem::TooManyDigits) {
        text += "（" + std::to_string(number.digits.size()) + " 位）";
    }
    return text;
}

double prefixKey(std::string_view numberText) {
    return readNumber(firstCharacters(trimSpaces(numberText), kPrefixLength));
}

}  // namespace store
