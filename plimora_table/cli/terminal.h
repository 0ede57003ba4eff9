// What the tools ask of the terminal they show text on: whether there is
// one, how wide it is, and how wide a text shows on it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace cli {

// True when stream goes to a terminal.
bool isTerminal(std::FILE *stream);

// The width of the terminal stream goes to, in columns; 0 when stream is no
// terminal or the terminal does not say.
std::size_t terminalColumns(std::FILE *stream);

// The columns text takes on a terminal: two for each East Asian wide or
// full-width character (汉字, ，), none for a combining mark or a
// zero-width character, one for every other character and for each byte
// that is no UTF-8 character.
std::size_t displayWidth(std::string_view text);

// text when it takes at most columns; otherwise its head and its tail with
// "…" (counted two columns wide) between them, taking at most columns (the
// tail, where a file's name is, gets the larger half); "" when columns is less
// than 2.
std::string fitted(std::string_view text, std::size_t columns);

}  // namespace cli
