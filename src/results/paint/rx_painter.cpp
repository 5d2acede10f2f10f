#include "results/paint/rx_painter.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/number_text.h"
#include "results/graph_layout.h"

namespace kavu {
namespace {

// A visible range for the values lo … hi: a little room around the points, never zero wide.
void SetRange(TGrDia& axis, double lo, double hi) {
  double span = hi - lo;
  if (!(span > 0)) span = std::max(1.0, std::abs(lo) * 0.1);
  const double mid = (lo + hi) / 2;
  lo = std::min(lo, mid - span / 2) - span * 0.03;
  hi = std::max(hi, mid + span / 2) + span * 0.03;
  axis.ResetForGraph(1);
  axis.m_Full0 = axis.m_Show0 = lo;
  axis.m_Full1 = axis.m_Show1 = hi;
}

// Every (SWR, cable impedance) pair of the two lists, with the pen of the cable's colour set.
template <class Fn>
void ForSwrCircles(QPainter& p, const RxDiagramSettings& s, Fn fn) {
  const auto cables = ParseRxList(s.sRCabs);
  const auto swrs = ParseRxList(s.sKSVs);
  p.setBrush(Qt::NoBrush);
  for (size_t m = 0; m < cables.size(); ++m) {
    p.setPen(QPen(GraphPainter::LineColour(static_cast<int>(m)), 1));
    for (double swr : swrs) fn(swr, cables[m]);
  }
}

}  // namespace

QColor RxPainter::PaletteColour(int index) {
  const RgbColour c = RxPaletteEntry(index);
  return QColor(c.r, c.g, c.b);
}

QColor RxPainter::PointColour(const RxDiagramSettings& s, double f_mhz, int n, int count) {
  if (s.m_ColorType == kRxColourFile) return GraphPainter::LineColour(n);
  return PaletteColour(RxPaletteIndex(s.m_ColorType, f_mhz, s.m_ShowFMin, s.m_ShowFMax, n, count));
}

void RxPainter::Paint(QPainter& p, const QRect& area, const RxScene& scene) {
  p.fillRect(area, Qt::white);
  if (area.width() < 4 || area.height() < 4) return;
  p.save();
  p.setClipRect(area);
  p.setRenderHint(QPainter::Antialiasing, true);
  if (scene.settings.CircleMode()) {
    PaintChart(p, area, scene);
  } else {
    PaintPlane(p, area, scene);
  }
  p.setRenderHint(QPainter::Antialiasing, false);
  PaintScale(p, area, scene);
  p.restore();
}

void RxPainter::PaintPlane(QPainter& p, const QRect& area, const RxScene& scene) {
  const double inf = std::numeric_limits<double>::infinity();
  double r0 = inf, r1 = -inf, x0 = inf, x1 = -inf;
  for (const auto& s : *scene.series) {
    for (const auto& pt : s.points) {
      if (!scene.settings.InWindow(pt.f_mhz)) continue;
      const double r = std::clamp(pt.z.real(), -scene.rmax, scene.rmax);
      const double x = std::clamp(pt.z.imag(), -scene.rmax, scene.rmax);
      r0 = std::min(r0, r), r1 = std::max(r1, r), x0 = std::min(x0, x), x1 = std::max(x1, x);
    }
  }
  if (r0 > r1) r0 = 0, r1 = 2 * scene.z0, x0 = -scene.z0, x1 = scene.z0;
  SetRange(axis_r_, r0, r1);
  SetRange(axis_x_, x0, x1);
  const int text_h = fonts_.TextHeight();
  plot_ = area.adjusted(0, 4, -8, -(text_h + 4));
  axis_x_.Setka_Create(GridDeltaMin(axis_x_, plot_.height(), 1.5 * text_h));
  int label_w = 0;
  ForGridLines(axis_x_, [&](double, int cls, const std::string& s) {
    const QString t = QString::fromStdString(s);
    label_w = std::max(label_w, QFontMetrics(fonts_.FontOf(cls)).horizontalAdvance(t) + 6);
  });
  plot_.setLeft(area.left() + std::min(label_w, area.width() / 3));
  axis_r_.Setka_Create(GridDeltaMin(axis_r_, plot_.width(), 0));
  const AxisMapping mr = AxisMapping::Horizontal(axis_r_, plot_.left(), plot_.right());
  const AxisMapping mx = AxisMapping::Vertical(axis_x_, plot_.top(), plot_.bottom());
  p.save();
  p.setClipRect(plot_);
  p.setRenderHint(QPainter::Antialiasing, false);
  ForGridLines(axis_r_, [&](double v, int cls, const std::string&) {
    p.setPen(GraphPainter::GridPen(cls));
    const double x = mr.ToPixel(v);
    p.drawLine(QPointF(x, plot_.top()), QPointF(x, plot_.bottom()));
  });
  ForGridLines(axis_x_, [&](double v, int cls, const std::string&) {
    p.setPen(GraphPainter::GridPen(cls));
    const double y = mx.ToPixel(v);
    p.drawLine(QPointF(plot_.left(), y), QPointF(plot_.right(), y));
  });
  p.setRenderHint(QPainter::Antialiasing, true);
  const QRect plot = plot_;
  PaintData(p, scene, [&](std::complex<double> z) {
    return QPointF(ClampPixel(mr.ToPixel(z.real()), plot.left(), plot.right(), 50),
                   ClampPixel(mx.ToPixel(z.imag()), plot.top(), plot.bottom(), 50));
  });
  ForSwrCircles(p, scene.settings, [&](double swr, double rc) {
    const auto c = RxSwrCircle(swr, rc);
    if (!c) return;
    const QRectF r(QPointF(mr.ToPixel(c->x - c->radius), mx.ToPixel(c->radius)),
                   QPointF(mr.ToPixel(c->x + c->radius), mx.ToPixel(-c->radius)));
    // A circle hundreds of plot widths across shows nothing but a straight edge.
    if (r.width() < 1e6 && r.height() < 1e6) p.drawEllipse(r);
  });
  p.restore();
  PaintPlaneLabels(p, area);
}

void RxPainter::PaintPlaneLabels(QPainter& p, const QRect& area) {
  const int text_h = fonts_.TextHeight();
  const AxisMapping mr = AxisMapping::Horizontal(axis_r_, plot_.left(), plot_.right());
  const AxisMapping mx = AxisMapping::Vertical(axis_x_, plot_.top(), plot_.bottom());
  p.setPen(Qt::black);
  ForGridLines(axis_x_, [&](double v, int cls, const std::string& s) {
    const QString t = QString::fromStdString(s);
    p.setFont(fonts_.FontOf(cls));
    const int y = static_cast<int>(std::lround(mx.ToPixel(v))) - text_h / 2;
    p.drawText(QRect(area.left(), y, plot_.left() - area.left() - 3, text_h), Qt::AlignRight | Qt::AlignVCenter, t);
  });
  std::vector<AxisLabel> labels;
  std::vector<QString> texts;
  ForGridLines(axis_r_, [&](double v, int cls, const std::string& s) {
    const QString t = QString::fromStdString(s);
    texts.push_back(t);
    labels.push_back({mr.ToPixel(v), QFontMetrics(fonts_.FontOf(cls)).horizontalAdvance(t), cls});
  });
  const auto placed = PlaceAxisLabels(labels, area.left(), area.right());
  for (size_t i = 0; i < labels.size(); ++i) {
    if (!placed[i]) continue;
    p.setFont(fonts_.FontOf(labels[i].cls));
    const int x = static_cast<int>(std::lround(labels[i].centre - labels[i].width / 2.0));
    p.drawText(QRect(x, plot_.bottom() + 3, labels[i].width + 2, text_h), Qt::AlignLeft | Qt::AlignVCenter, texts[i]);
  }
}

void RxPainter::PaintChart(QPainter& p, const QRect& area, const RxScene& scene) {
  const CircleChart chart(area);
  chart.PaintGrid(p, scene.z0, fonts_.FontOf(0));
  PaintData(p, scene, [&](std::complex<double> z) { return chart.ToPixel(RxGamma(z, scene.z0)); });
  ForSwrCircles(p, scene.settings, [&](double swr, double rc) {
    if (const auto c = GammaSwrCircle(swr, rc, scene.z0)) chart.PaintGammaCircle(p, c->x, c->radius);
  });
}

void RxPainter::PaintData(QPainter& p, const RxScene& scene, const Mapper& map) {
  const int count = static_cast<int>(scene.series->size());
  for (int n = 0; n < count; ++n) {
    bool have_prev = false;
    QPointF prev;
    for (const auto& pt : (*scene.series)[static_cast<size_t>(n)].points) {
      if (!scene.settings.InWindow(pt.f_mhz)) continue;
      const QColor c = PointColour(scene.settings, pt.f_mhz, n, count);
      const QPointF at = map(pt.z);
      if (!std::isfinite(at.x()) || !std::isfinite(at.y())) continue;
      if (have_prev) {
        p.setPen(QPen(c, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(prev, at);
      }
      p.fillRect(QRectF(at.x() - 3, at.y() - 3, 6, 6), c);
      prev = at, have_prev = true;
    }
  }
}

void RxPainter::PaintScale(QPainter& p, const QRect& area, const RxScene& scene) {
  const int len = std::max(scene.scale_length, 1);
  const QPoint at = area.topLeft() + scene.scale_at;
  if (at.x() > area.right() || at.x() + len < area.left()) return;
  for (int k = 0; k < len; ++k) p.fillRect(QRect(at.x() + k, at.y(), 1, 10), PaletteColour(k * 1024 / len));
  const QFont& font = fonts_.FontOf(0);
  p.setFont(font);
  p.setPen(Qt::black);
  const QFontMetrics fm(font);
  // A label centred under x, moved inward when it would leave the area.
  auto label = [&](int x, int y, const QString& t) {
    const int w = fm.horizontalAdvance(t) + 2;
    const int left = std::clamp(x - w / 2, area.left(), std::max(area.left(), area.right() - w));
    p.drawText(QRect(left, y, w, fm.height()), Qt::AlignLeft | Qt::AlignTop, t);
  };
  const double f0 = scene.settings.m_ShowFMin, f1 = scene.settings.m_ShowFMax;
  for (int k = 0; k <= 5; ++k) {
    const int x = at.x() + k * len / 5;
    p.drawLine(x, at.y(), x, at.y() + 15);
    label(x, at.y() + 15, QString::fromStdString(FormatTrimmed(f0 + k * (f1 - f0) / 5, 1)));
  }
  label(at.x(), at.y() + 15 + fm.height(), "МГц");
}

}  // namespace kavu
