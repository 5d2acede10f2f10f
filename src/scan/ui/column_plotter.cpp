#include "scan/ui/column_plotter.h"

#include <QPainter>
#include <algorithm>

namespace kavu {

ColumnPlotter::ColumnPlotter(int reserve_points) {
  lines_.reserve(static_cast<size_t>(std::max(reserve_points, 1)) * 2);
}

void ColumnPlotter::Begin() {
  lines_.clear();
  open_ = false;
}

void ColumnPlotter::Add(int x, int y) {
  if (open_ && x == x_) {
    last_ = y;
    low_ = std::min(low_, y);
    high_ = std::max(high_, y);
    return;
  }
  if (open_) {
    CloseColumn();
    lines_.emplace_back(x_, last_, x, y);
  }
  open_ = true;
  x_ = x;
  last_ = low_ = high_ = y;
}

void ColumnPlotter::Finish() {
  if (!open_) return;
  CloseColumn();
  if (lines_.empty()) lines_.emplace_back(x_, low_, x_, high_);  // a curve of one point
  open_ = false;
}

void ColumnPlotter::CloseColumn() {
  // A one-point column is already drawn by its joints.
  if (low_ != high_) lines_.emplace_back(x_, low_, x_, high_);
}

void ColumnPlotter::Draw(QPainter& painter) const {
  if (!lines_.empty()) painter.drawLines(lines_.data(), static_cast<int>(lines_.size()));
}

}  // namespace kavu
