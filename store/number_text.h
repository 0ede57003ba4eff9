// The rules about a number text, in one place for both windows and the tools:
// which typed keys a number field keeps, how long a number must be, and the
// prefix key a number is looked up by. Texts are UTF-8; lengths count
// characters (code points), so an emoji or a Chinese character counts once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace store {

// Character codes of the two editing keys a number field's key filter sees.
inline constexpr int kEnterCode = 13;
inline constexpr int kBackspaceCode = 8;

// The prefix key is read from this many characters at the head of a number.
inline constexpr std::size_t kPrefixLength = 7;
// A number with fewer characters is refused before any lookup.
inline constexpr std::size_t kShortestNumber = 7;
// A lookup entry of this many characters or fewer clears the results shown.
inline constexpr std::size_t kClearAtOrBelow = 7;
// An area code entered through the program has 3 or 4 characters.
inline constexpr std::size_t kShortestAreaCode = 3;
inline constexpr std::size_t kLongestAreaCode = 4;

// A mainland mobile number: eleven digits, the first of them 1. Its prefix
// key (its first kPrefixLength digits) therefore lies between these two.
inline constexpr std::size_t kMobileLength = 11;
inline constexpr char kMobileLead = '1';
inline constexpr std::uint32_t kLowestMobileKey = 1000000;
inline constexpr std::uint32_t kHighestMobileKey = 1999999;

// The number of characters in text. Bytes that are not valid UTF-8 count one
// character each at most, never more than the text has bytes.
std::size_t characterCount(std::string_view text);

// True when numberText, as given (untrimmed), has at least kShortestNumber
// characters.
bool isLongEnough(std::string_view numberText);

// True when numberText, as given, has kClearAtOrBelow characters or fewer.
bool clearsResults(std::string_view numberText);

// True when areaCode, as given (untrimmed), has kShortestAreaCode to
// kLongestAreaCode characters.
bool isAreaCodeLength(std::string_view areaCode);

// Whether a number field keeps the Enter key after reacting to it.
enum class EnterKey { Kept, Dropped };

// The code a number field lets through for a typed character code: the code
// itself for the digits "0" to "9", Backspace, and Enter where it is kept;
// 0 (the character is not entered) for every other code.
int filterTypedKey(int code, EnterKey enter);

// The digits of text in their order, each written as an ASCII digit: "0" to
// "9" and the full-width "０" to "９" count, every other character is left
// out. "+86 (１３８) 0013-8000" gives "8613800138000".
std::string digitsOf(std::string_view text);

// digits (ASCII digits only) without a leading country code: "86" or "0086"
// followed by exactly eleven digits that start with 1, a cell-phone number,
// lose the "86" or "0086". Any other digits come back unchanged.
std::string withoutCountryCode(std::string_view digits);

// The kinds of number field that pasted text is cleaned for.
enum class NumberField { PhoneNumber, AreaCode };

// Pasted or dropped text as a number field takes it in: digitsOf(pasted),
// and in a phone-number field withoutCountryCode() of that. "+86 138 0013
// 8000" gives "13800138000", "(027)" gives "027", text without digits "".
std::string cleanPaste(std::string_view pasted, NumberField field);

// Why a text is not a mainland mobile number, in the order the checks run.
enum class NumberProblem {
    None,             // it is one
    Empty,            // nothing but spaces
    Letters,          // a Latin letter ("138abc", "1.38E+10")
    Chinese,          // a Chinese character ("电话 13800138000")
    OtherCharacters,  // anything else a number is not written with ("138/139", "=")
    NoDigits,         // only spaces, dashes, dots and brackets
    Foreign,          // a country code other than 86 ("+1 650 253 0000", "0044 …")
    Landline,         // a landline number with its area code ("010-8888 6666")
    TooFewDigits,     // fewer than eleven digits
    TooManyDigits,    // more than eleven digits
    NotLeadingOne,    // eleven digits that do not start with 1
};

// A text read as a mainland mobile number, or why it is not one.
struct MobileNumber {
    NumberProblem problem = NumberProblem::None;
    std::string digits;     // the eleven digits; when refused, the digits read (maybe none)
    std::uint32_t key = 0;  // prefixKey(digits) when there is no problem, else 0
};

// Reads a number the way people write it in a list or a spreadsheet cell:
// ASCII or full-width digits, with spaces (also tabs, no-break and
// full-width spaces and a byte-order mark), dashes, dots and round brackets
// anywhere, and a country code in front. The digits are digitsOf(text). After
// a "+" (also full-width "＋", and only before the first digit) they must
// begin with 86, after "00" with 0086, and that code is dropped; without
// either, withoutCountryCode() drops an "86" or "0086" before eleven digits
// that start with 1, as cleanPaste() does. What is left must be
// kMobileLength digits starting with kMobileLead. Anything else is refused
// with the first problem found in the order of NumberProblem; nothing is
// guessed: "138 0013 800" has too few digits, not a missing one.
MobileNumber readMobileNumber(std::string_view text);

// The problem in a few Chinese words for a status column, with the number
// of digits where it matters: "位数不足（10 位）", "含有字母". "" for None.
std::string problemText(const MobileNumber &number);

// The problem's short name, the same for every number of digits: "位数不足".
std::string_view problemName(NumberProblem problem);

// The prefix key of a number text: the spaces at both ends are removed, the
// first kPrefixLength characters kept, and those read as a decimal number.
// Blanks, tabs and line feeds are skipped wherever they stand; an optional
// sign, digits, a decimal point with further digits and an exponent are read
// up to the first character that cannot continue the number. No digit read
// gives 0. "13800138000" and "1380013" both give 1380013; "" gives 0; an
// exponent too large for a double gives an infinite key.
double prefixKey(std::string_view numberText);

}  // namespace store
