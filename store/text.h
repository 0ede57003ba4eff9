// Small operations on plain UTF-8 texts that the store and the tools share:
// trimming, ASCII case, and the characters a text must not carry or show raw
// (control characters, direction controls, characters that show as nothing).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace store {

// text without the spaces at both ends (only U+0020; tabs and other blanks
// stay), as the add-record window trims its fields.
std::string_view trimSpaces(std::string_view text);

// c, or its lower-case letter when it is an ASCII capital.
constexpr char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
// text with its ASCII capitals made lower case.
std::string asciiLower(std::string_view text);

// One character of a UTF-8 text.
struct Utf8Character {
    char32_t point = 0;      // its code point
    std::size_t length = 0;  // its bytes; 0 when the bytes are no character
};

// The character that starts at text[at] (at < text.size()). Its length is 0
// when the bytes there are no well-formed UTF-8 character: a byte no
// character starts with, a character cut short, an overlong form, a
// surrogate or a value above U+10FFFF. ASCII is a character of one byte.
Utf8Character decodeUtf8(std::string_view text, std::size_t at);

// C0 (U+0000 to U+001F, tab and line breaks among them), DEL (U+007F) and
// C1 (U+0080 to U+009F): characters that a terminal obeys instead of
// showing them.
bool isControlCharacter(char32_t c);

// The embeddings, overrides and isolates of the direction of writing
// (U+202A to U+202E, U+2066 to U+2069): they turn the text after them around
// on screen, so that what is shown is not what is stored.
bool isDirectionControl(char32_t c);

// Characters that show as blank space or as nothing: the spaces (U+0020,
// U+00A0 no-break, U+1680, U+2000 to U+200A, U+202F, U+205F, U+3000
// ideographic), the zero-width ones (U+200B to U+200D, U+2060, U+FEFF
// byte-order mark) and other marks without a glyph (U+00AD soft hyphen,
// U+034F, U+115F, U+1160, U+180E, U+200E, U+200F, U+2061 to U+2064, U+3164,
// U+FFA0).
bool isBlankOrInvisible(char32_t c);

// text without the characters of isBlankOrInvisible() at both ends; bytes
// that are no UTF-8 character count as visible.
std::string_view trimInvisible(std::string_view text);

// Whether escapedText() keeps tabs and line feeds as they are.
enum class Layout { Kept, Escaped };

// text as a terminal may show it without being steered by it: a control
// character as "\x1B" (C1 ones as "\u0085"), a direction control as
// "\u202E", a byte that is no UTF-8 character as "\xFF"; with Layout::Kept
// tabs and line feeds stay as they are. Every other character, the
// backslash too, stays as it is, so a text without such characters comes
// back unchanged.
std::string escapedText(std::string_view text, Layout layout = Layout::Escaped);

// The code point written as "U+001B", "U+202E": four hex digits at least.
std::string codePointName(char32_t c);

}  // namespace store
