#pragma once
// Coloured text on a terminal. Colours are the console attributes the program uses
// (7 normal, 11 banner, 12 error, 13 sync detection, 14 notice, 15 heading, ...): bit 0 blue,
// bit 1 green, bit 2 red, bit 3 bright. On a terminal they become ANSI colours; elsewhere the
// text is written plain.
#include <cstdio>
#include <string>
#include <string_view>

namespace kavu {

// The ANSI escape that selects console attribute `attribute` (7 gives the terminal's default).
std::string AnsiColour(int attribute);

// True when the stream is a terminal.
bool IsTerminal(std::FILE* stream);

// Writes `utf8` to the stream's descriptor in one write where possible (retrying partial writes),
// preceded by the colour escape when `colour` is true and followed by a reset to normal.
void WriteConsoleText(std::FILE* stream, std::string_view utf8, int attribute, bool colour);

}  // namespace kavu
