// Tells UTF-8 text from the other encodings a table from a Chinese
// spreadsheet or text editor is likely to be saved in, and writes text in
// the one such program expects besides UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace cli {

// The offset of the first byte of text that is not part of well-formed
// UTF-8 (overlong forms, surrogates and values above U+10FFFF count as
// malformed), or nullopt when all of text is UTF-8.
std::optional<std::size_t> firstNonUtf8(std::string_view text);

// True when every byte above 0x7F in text pairs up as a GBK (GB18030
// two-byte) character: a lead byte 0x81-0xFE and a trail byte 0x40-0xFE
// other than 0x7F. Says nothing about text without such bytes.
bool looksLikeGbk(std::string_view text);

// A message for a line that is not UTF-8, naming GBK/GB18030 when the line
// looks like it: meant to follow "FILE:LINE: ".
std::string notUtf8Message(std::string_view line);

// utf8 written in GB18030, which holds every Unicode character (ASCII stays
// as it is, a Chinese character takes two bytes), or nullopt when utf8 is
// not well-formed UTF-8 (nothing is converted then).
std::optional<std::string> utf8ToGb18030(std::string_view utf8);

}  // namespace cli
