#pragma once
// The console mirror of the web page: the last (at most 190) lines of the log console's screen
// up to the cursor, in code page 1251. Each line runs to its last character above a blank;
// before a character whose colour differs from the one before (and before the first) come the
// byte 10 and the colour attribute; lines are separated by the byte 13.
#include <string>

#include "shell/console_screen.h"

namespace kavu {

std::string ConsoleMirrorText(const ConsoleScreen& screen);
// The same from the program's log console.
std::string LogConsoleMirrorText();

}  // namespace kavu
