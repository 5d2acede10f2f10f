#pragma once
// The circle diagram ("КД"): the unit circle of the reflection coefficient Γ inside a drawing
// area, with circles of constant resistance and arcs of constant reactance labelled in Ω for
// the cable impedance z0. Maps Γ to pixels and back; draws only the chart's grid.
#include <QPainter>
#include <QPointF>
#include <QRect>
#include <complex>

namespace kavu {

class CircleChart {
 public:
  // The unit circle centred in `area` with radius half of its smaller side (less 2 pixels so
  // the 3-pixel rim stays inside).
  explicit CircleChart(const QRect& area);

  QPointF ToPixel(std::complex<double> gamma) const;  // (cx + ρ·Re Γ, cy − ρ·Im Γ)
  std::complex<double> ToGamma(QPointF pixel) const;
  bool Inside(QPointF pixel) const { return std::abs(ToGamma(pixel)) < 1; }
  double Radius() const { return rho_; }
  QPointF Centre() const { return {cx_, cy_}; }

  // r-circles, x-arcs, the axes and the rim; labels r·z0 in `font`.
  void PaintGrid(QPainter& p, double z0, const QFont& font) const;
  // A circle given in Γ units (centre on the real axis, radius), pen already set.
  void PaintGammaCircle(QPainter& p, double centre_re, double radius) const;

 private:
  double cx_, cy_, rho_;
};

}  // namespace kavu
