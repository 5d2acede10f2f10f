#pragma once
// ColumnPlotter: turns a curve of many points on few pixel columns into few strokes. Points come
// in order of non-decreasing x; points with the same x form one column. For each new column it
// adds a line from the previous column's last point to the new column's first point, and a
// vertical line between the column's highest and lowest point — so 2048 points on a 500-pixel
// window cost about one vertical stroke and one joint per pixel column.
//
// The strokes are kept (Lines()) and drawn in one QPainter::drawLines call. Capacity is reserved
// once; Begin() clears without freeing, so a frame allocates nothing after the first.
#include <QLine>
#include <vector>

class QPainter;

namespace kavu {

class ColumnPlotter {
 public:
  explicit ColumnPlotter(int reserve_points = 2048);

  // Starts a new curve (the strokes of the previous one are dropped).
  void Begin();
  // Next point, pixel coordinates. An x smaller than the current column's starts a new column
  // as well (the joint still links the two), so a careless caller gets a drawing, not a crash.
  void Add(int x, int y);
  // Closes the last column; call before Lines() or Draw().
  void Finish();

  const std::vector<QLine>& Lines() const { return lines_; }
  // Draws the strokes with the painter's current pen.
  void Draw(QPainter& painter) const;

 private:
  void CloseColumn();

  std::vector<QLine> lines_;
  bool open_ = false;
  int x_ = 0, last_ = 0, low_ = 0, high_ = 0;
};

}  // namespace kavu
