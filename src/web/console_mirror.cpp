#include "web/console_mirror.h"

#include <algorithm>

#include "platform/text_cp1251.h"
#include "shell/log_console.h"

namespace kavu {

std::string ConsoleMirrorText(const ConsoleScreen& screen) {
  constexpr int kRowsShown = 190;
  const int last = screen.CursorRow();
  const int first = std::max(0, last - (kRowsShown - 1));
  std::string out;
  int attribute = -1;
  for (int row = first; row <= last; ++row) {
    int end = -1;
    for (int col = 0; col < ConsoleScreen::kCols; ++col) {
      if (screen.At(row, col).ch >= 33) end = col;
    }
    for (int col = 0; col <= end; ++col) {
      const ConsoleScreen::Cell& cell = screen.At(row, col);
      if (cell.attribute != attribute) {
        attribute = cell.attribute;
        out += '\n';
        out += static_cast<char>(attribute);
      }
      char32_t ch = cell.ch;
      if (ch == 0 || ch == U'\n' || ch == U'\r') ch = U' ';
      std::string utf8;
      AppendUtf8(utf8, ch);
      const std::string cp = Utf8ToCp1251(utf8);
      out += cp.empty() ? std::string("?") : cp;
    }
    if (row != last) out += '\r';
  }
  return out;
}

std::string LogConsoleMirrorText() { return ConsoleMirrorText(Log().ScreenCopy()); }

}  // namespace kavu
