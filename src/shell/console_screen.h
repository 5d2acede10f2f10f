#pragma once
// The log console's screen: 80 columns by 1024 lines of characters with their colour
// attributes, as a console window would hold them. The web page mirrors it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kavu {

class ConsoleScreen {
 public:
  static constexpr int kCols = 80;
  static constexpr int kRows = 1024;
  struct Cell {
    char32_t ch = U' ';
    uint8_t attribute = 7;
  };

  ConsoleScreen();
  // Puts UTF-8 text at the cursor: '\n' starts a new line, '\r' returns to column 0, '\t' moves to
  // the next multiple of 8, a full line wraps; when the last line is passed the screen scrolls up.
  void Put(std::string_view utf8, int attribute);
  void Clear();

  // Row 0 is the top line of the screen; the cursor row is the line being written.
  const Cell& At(int row, int col) const;
  std::string LineText(int row) const;  // UTF-8, trailing blanks removed
  int CursorRow() const { return row_; }
  int CursorCol() const { return col_; }

 private:
  void NewLine();
  Cell& CellAt(int row, int col);

  std::vector<Cell> cells_;
  int top_ = 0;  // ring index of screen row 0
  int row_ = 0;
  int col_ = 0;
};

}  // namespace kavu
