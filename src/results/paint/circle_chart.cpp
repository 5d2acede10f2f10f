#include "results/paint/circle_chart.h"

#include <QPainterPath>
#include <algorithm>

#include "platform/number_text.h"
#include "results/paint/graph_painter.h"

namespace kavu {

CircleChart::CircleChart(const QRect& area)
    : cx_(area.left() + area.width() / 2.0),
      cy_(area.top() + area.height() / 2.0),
      rho_(std::max(1.0, std::min(area.width(), area.height()) / 2.0 - 2)) {}

QPointF CircleChart::ToPixel(std::complex<double> g) const { return {cx_ + rho_ * g.real(), cy_ - rho_ * g.imag()}; }

std::complex<double> CircleChart::ToGamma(QPointF p) const { return {(p.x() - cx_) / rho_, (cy_ - p.y()) / rho_}; }

void CircleChart::PaintGammaCircle(QPainter& p, double centre_re, double radius) const {
  p.drawEllipse(QPointF(cx_ + rho_ * centre_re, cy_), rho_ * radius, rho_ * radius);
}

void CircleChart::PaintGrid(QPainter& p, double z0, const QFont& font) const {
  static constexpr double kSteps[] = {0.2, 0.5, 1, 2, 5};
  p.save();
  p.setBrush(Qt::NoBrush);
  p.setPen(GraphPainter::GridPen(0));
  // Constant resistance r·z0: the circle through Γ = (r − 1)/(r + 1) and Γ = 1.
  for (double r : kSteps) PaintGammaCircle(p, r / (r + 1), 1 / (r + 1));
  // Constant reactance ±x·z0: arcs of radius ρ/x about (cx + ρ, cy ∓ ρ/x), inside the rim only.
  QPainterPath rim;
  rim.addEllipse(QPointF(cx_, cy_), rho_, rho_);
  p.setClipPath(rim, Qt::IntersectClip);
  for (double x : kSteps) {
    const double r = rho_ / x;
    p.drawEllipse(QPointF(cx_ + rho_, cy_ - r), r, r);
    p.drawEllipse(QPointF(cx_ + rho_, cy_ + r), r, r);
  }
  p.restore();
  p.save();
  p.setFont(font);
  p.setPen(Qt::black);
  const int text_h = QFontMetrics(font).height();
  for (double r : {0.0, 0.2, 0.5, 1.0, 2.0, 5.0}) {
    const QPointF left = ToPixel((r - 1) / (r + 1));
    p.drawText(QRectF(left.x() + 3, cy_ + 1, 200, text_h), Qt::AlignLeft | Qt::AlignTop,
               QString::fromStdString(FormatTrimmed(r * z0, 1)));
  }
  p.setPen(GraphPainter::GridPen(1));
  p.drawLine(QPointF(cx_, cy_ - rho_), QPointF(cx_, cy_ + rho_));
  p.setPen(QPen(Qt::black, 3));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(cx_, cy_), rho_, rho_);
  p.setPen(GraphPainter::GridPen(1));
  p.drawLine(QPointF(cx_ - rho_, cy_), QPointF(cx_ + rho_, cy_));
  p.restore();
}

}  // namespace kavu
