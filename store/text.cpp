#include "store/text.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace store {

namespace {

struct Range {
    char32_t first;
    char32_t last;
};

constexpr std::array<Range, 14> kBlankOrInvisible = {{
    {0x0020, 0x0020},
    {0x00A0, 0x00A0},
    {0x00AD, 0x00AD},
    {0x034F, 0x034F},
    {0x115F, 0x1160},
    {0x1680, 0x1680},
    {0x180E, 0x180E},
    {0x2000, 0x200F},
    {0x202F, 0x202F},
    {0x205F, 0x2064},
    {0x3000, 0x3000},
    {0x3164, 0x3164},
    {0xFEFF, 0xFEFF},
    {0xFFA0, 0xFFA0},
}};

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

std::string hex(char32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

}  // namespace

std::string_view trimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string asciiLower(std::string_view text) {
    std::string lowered(text);
    for (char &c : lowered) {
        c = asciiLower(c);
    }
    return lowered;
}

Utf8Character decodeUtf8(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return {lead, 1};
    }
    std::size_t length = 0;
    char32_t point = 0;
    char32_t lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        point = lead & 0x1F;
        lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        point = lead & 0x0F;
        lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        point = lead & 0x07;
        lowest = 0x10000;
    } else {
        return {};
    }
    if (at + length > text.size()) {
        return {};
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(text[at + k]);
        if (!isContinuation(c)) {
            return {};
        }
        point = (point << 6) | (c & 0x3F);
    }
    if (point < lowest || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        return {};
    }
    return {point, length};
}

bool isControlCharacter(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool isDirectionControl(char32_t c) {
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool isBlankOrInvisible(char32_t c) {
    return std::any_of(kBlankOrInvisible.begin(), kBlankOrInvisible.end(),
                       [c](const Range &range) { return c >= range.first && c <= range.last; });
}

std::string_view trimInvisible(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        const Utf8Character character = decodeUtf8(text, begin);
        if (character.length == 0 || !isBlankOrInvisible(character.point)) {
            break;
        }
        begin += character.length;
    }
    // The end is found walking forward: a character's length is known only
    // from its first byte.
    std::size_t end = begin;
    for (std::size_t at = begin; at < text.size();) {
        const Utf8Character character = decodeUtf8(text, at);
        const std::size_t length = character.length == 0 ? 1 : character.length;
        at += length;
        if (character.length == 0 || !isBlankOrInvisible(character.point)) {
            end = at;
        }
    }
    return text.substr(begin, end - begin);
}

std::string escapedText(std::string_view text, Layout layout) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Character character = decodeUtf8(text, at);
        if (character.length == 0) {
            shown += "\\x" + hex(static_cast<unsigned char>(text[at]), 2);
            ++at;
            continue;
        }
        const char32_t c = character.point;
        const bool layoutKept = layout == Layout::Kept && (c == '\t' || c == '\n');
        if (isControlCharacter(c) && !layoutKept) {
            shown += c < 0x80 ? "\\x" + hex(c, 2) : "\\u" + hex(c, 4);
        } else if (isDirectionControl(c)) {
            shown += "\\u" + hex(c, 4);
        } else {
            shown.append(text, at, character.length);
        }
        at += character.length;
    }
    return shown;
}

std::string codePointName(char32_t c) {
    return "U+" + hex(c, 4);
}

}  // namespace store
