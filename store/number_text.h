// The rules about a number text, in one place for both windows and the tools:
// which typed keys a number field keeps, how long a number must be, and the
// prefix key a number is looked up by. Texts are UTF-8; lengths count
// characters (code points), so an emoji or a Chinese character counts once.
#pragma once

#include <cstddef>
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

// The prefix key of a number text: the spaces at both ends are removed, the
// first kPrefixLength characters kept, and those read as a decimal number.
// Blanks, tabs and line feeds are skipped wherever they stand; an optional
// sign, digits, a decimal point with further digits and an exponent are read
// up to the first character that cannot continue the number. No digit read
// gives 0. "13800138000" and "1380013" both give 1380013; "" gives 0; an
// exponent too large for a double gives an infinite key.
double prefixKey(std::string_view numberText);

}  // namespace store
