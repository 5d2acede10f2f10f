#include "shell/console_screen.h"

#include <algorithm>

#include "platform/text_cp1251.h"

namespace kavu {

ConsoleScreen::ConsoleScreen() : cells_(static_cast<size_t>(kCols) * kRows) {}

ConsoleScreen::Cell& ConsoleScreen::CellAt(int row, int col) {
  return cells_[static_cast<size_t>((top_ + row) % kRows) * kCols + col];
}

const ConsoleScreen::Cell& ConsoleScreen::At(int row, int col) const {
  row = std::clamp(row, 0, kRows - 1);
  col = std::clamp(col, 0, kCols - 1);
  return cells_[static_cast<size_t>((top_ + row) % kRows) * kCols + col];
}

void ConsoleScreen::NewLine() {
  col_ = 0;
  if (row_ + 1 < kRows) {
    ++row_;
    return;
  }
  // Scroll: the old top line becomes the new, blank, bottom line.
  top_ = (top_ + 1) % kRows;
  for (int c = 0; c < kCols; ++c) CellAt(row_, c) = Cell{};
}

void ConsoleScreen::Put(std::string_view utf8, int attribute) {
  const auto attr = static_cast<uint8_t>(attribute & 0xFF);
  for (size_t pos = 0; pos < utf8.size();) {
    const char32_t ch = DecodeUtf8(utf8, pos);
    if (ch == U'\n') {
      NewLine();
    } else if (ch == U'\r') {
      col_ = 0;
    } else if (ch == U'\t') {
      const int next = (col_ / 8 + 1) * 8;
      while (col_ < next && col_ < kCols) CellAt(row_, col_++) = Cell{U' ', attr};
      if (col_ >= kCols) NewLine();
    } else {
      if (col_ >= kCols) NewLine();
      CellAt(row_, col_++) = Cell{ch < 0x20 ? U' ' : ch, attr};
    }
  }
}

void ConsoleScreen::Clear() {
  std::fill(cells_.begin(), cells_.end(), Cell{});
  top_ = row_ = col_ = 0;
}

std::string ConsoleScreen::LineText(int row) const {
  int end = kCols;
  while (end > 0 && At(row, end - 1).ch == U' ') --end;
  std::string out;
  for (int c = 0; c < end; ++c) AppendUtf8(out, At(row, c).ch);
  return out;
}

}  // namespace kavu
