#pragma once
// WaterfallImage: the scrolling waterfall as a ring of 512 pixel rows, one row per waterfall
// line. Width = the client width clamped to 16 … 2048 pixels. Each new line goes into the next
// row stepping backwards, so the newest row is CurrentRow() and the rows after it (wrapping) are
// older and older; Draw() shows the ring in two pieces split there, newest line at the top.
//
// A line is 2048 powers in transform order; display position j (−r/2 … +r/2, left to right)
// lands in column ⌊j × width / 2048⌋ and a column shows the largest power of its bins, coloured
// black → blue → magenta → white between the waterfall limits. Window thread only.
#include <QImage>
#include <vector>

class QPainter;
class QRect;

namespace kavu {

class WaterfallImage {
 public:
  static constexpr int kRows = 512;

  explicit WaterfallImage(int client_width = 0);

  // A new image for a new client width (clamped to 16 … 2048): the picture so far is carried
  // over, stretched to the new width, so the history stays visible. Same width: nothing.
  void Resize(int client_width);
  int Width() const { return image_.width(); }
  // Row that holds the newest line (kRows − 1 after the first line; 0 … kRows − 1).
  int CurrentRow() const { return row_; }
  int LineCount() const { return lines_; }

  // One waterfall line, powers in squared sample units, `vd_min_db` … `vd_max_db` the colour
  // limits (equal limits saturate). A line not of 2048 bins is refused (false, nothing drawn).
  bool AddLine(const std::vector<float>& bins, double vd_min_db, double vd_max_db);

  // Draws the ring into `area`, newest line at its top, one image row per pixel row (rows below
  // the 512th stay as the painter left them), stretched to the area's width when it differs.
  void Draw(QPainter& painter, const QRect& area) const;
  const QImage& Image() const { return image_; }

 private:
  QImage image_;
  std::vector<float> column_;  // largest power of each column of the line being drawn
  int row_ = 0;
  int lines_ = 0;
};

}  // namespace kavu
