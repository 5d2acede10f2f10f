#include "scan/ui/waterfall_image.h"

#include <QPainter>
#include <QRect>
#include <algorithm>

#include "scan/spectrum_geometry.h"

namespace kavu {

namespace geo = spectrum_geometry;

WaterfallImage::WaterfallImage(int client_width)
    : image_(geo::WaterfallWidth(client_width), kRows, QImage::Format_RGB32),
      column_(static_cast<size_t>(geo::kMaxWaterfallWidth)) {
  image_.fill(Qt::black);
}

void WaterfallImage::Resize(int client_width) {
  const int width = geo::WaterfallWidth(client_width);
  if (width == image_.width()) return;
  image_ = image_.scaled(width, kRows, Qt::IgnoreAspectRatio, Qt::FastTransformation)
               .convertToFormat(QImage::Format_RGB32);
}

bool WaterfallImage::AddLine(const std::vector<float>& bins, double vd_min_db, double vd_max_db) {
  if (bins.size() != static_cast<size_t>(geo::kBins)) return false;
  const int width = image_.width();
  // −1 is below every real power, so a column of NaN bins only stays black.
  std::fill(column_.begin(), column_.begin() + width, -1.0f);
  for (int j = 0; j < geo::kBins; ++j) {
    const float p = bins[static_cast<size_t>(geo::DisplayBin(j))];
    float& c = column_[static_cast<size_t>(geo::BinColumn(j, width))];
    if (p > c) c = p;
  }
  row_ = (row_ + kRows - 1) % kRows;
  auto* out = reinterpret_cast<QRgb*>(image_.scanLine(row_));
  for (int x = 0; x < width; ++x)
    out[x] = 0xff000000u | geo::WaterfallColour(column_[static_cast<size_t>(x)], vd_min_db, vd_max_db);
  ++lines_;
  return true;
}

void WaterfallImage::Draw(QPainter& painter, const QRect& area) const {
  const int rows = std::min(area.height(), kRows);
  if (rows <= 0 || area.width() <= 0) return;
  const int first = std::min(kRows - row_, rows);  // newest line down to the ring's last row
  painter.drawImage(QRect(area.left(), area.top(), area.width(), first), image_,
                    QRect(0, row_, image_.width(), first));
  if (rows > first)
    painter.drawImage(QRect(area.left(), area.top() + first, area.width(), rows - first), image_,
                      QRect(0, 0, image_.width(), rows - first));
}

}  // namespace kavu
