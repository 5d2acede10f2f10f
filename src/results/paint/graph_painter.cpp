#include "results/paint/graph_painter.h"

#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <cmath>

#include "results/graph_autoscale.h"

namespace kavu {
namespace {

constexpr QRgb kLineColours[19] = {
    0x000000, 0xcc0000, 0x0000cc, 0xcc00cc, 0xcccc00, 0x00cccc, 0x00cc00, 0x666600, 0x660066, 0x006666,
    0x66cc00, 0xcc6600, 0x6600cc, 0xcc0066, 0x0066cc, 0x00cc66, 0x660000, 0x006600, 0x000066};

}  // namespace

GraphPainter::GraphPainter() {
  QFont base = QGuiApplication::font();
  base.setPointSize(8);
  thin_ = normal_ = heavy_ = base;
  thin_.setWeight(QFont::Thin);
  normal_.setWeight(QFont::Normal);
  heavy_.setWeight(QFont::Black);
}

QColor GraphPainter::LineColour(int n, bool band) {
  QColor c = QColor::fromRgb(kLineColours[((n % 19) + 19) % 19]);
  if (band) {
    auto light = [](int v) { return std::min(v * 66 / 256 + 190, 255); };
    c = QColor(light(c.red()), light(c.green()), light(c.blue()));
  }
  return c;
}

QPen GraphPainter::GridPen(int cls) {
  if (cls < 0) return QPen(QColor(210, 210, 210), 1, Qt::DotLine);
  return QPen(cls == 0 ? QColor(200, 200, 200) : QColor(160, 160, 160), 1, Qt::SolidLine);
}

int GraphPainter::TextHeight() const {
  return QFontMetrics(heavy_).boundingRect("час:мин сек 1234567890.EeINF-+°\"' ").height();
}

void GraphPainter::Prepare(OGrList* list, TGrDia& horizontal, const GraphLayout& layout, int width) {
  int labels = 0, legend = 0;
  const int text_h = TextHeight();
  if (list) {
    const int n = std::min<int>(list->GetGraphCount(), static_cast<int>(layout.panes.size()));
    for (int g = 0; g < n; ++g) {
      AutoscaleVisible(*list, g, horizontal);
      TGrDia& axis = list->GetAxis(g);
      const PixelRect& pane = layout.panes[static_cast<size_t>(g)];
      axis.Setka_Create(GridDeltaMin(axis, pane.Height(), 1.5 * text_h));
      if (axis.m_IsValues) {
        // The same 200-line cap as the grid.
        ForGridLines(axis, [&](double, int cls, const std::string& t) {
          labels = std::max(labels, QFontMetrics(FontOf(cls)).horizontalAdvance(QString::fromStdString(t)) + 4);
        });
      }
      if (axis.m_IsLegend) {
        for (int l = 0; l < list->GetLineCount(g); ++l) {
          std::string name;
          list->GetLine(g, l).GetName(name);
          legend = std::max(legend, QFontMetrics(heavy_).horizontalAdvance(QString::fromStdString(name)) + 8);
        }
      }
    }
  }
  const int pane_w = layout.panes.empty() ? width : layout.panes.front().right;
  plot_left_ = std::min(labels, width / 3);
  plot_right_ = std::max(plot_left_ + 1, pane_w - std::min(legend, width / 3));
  horizontal.Setka_Create(GridDeltaMin(horizontal, plot_right_ - plot_left_, 0));
}

void GraphPainter::Paint(QPainter& p, OGrList* list, TGrDia& horizontal, const GraphLayout& layout, int width) {
  if (!list) return;
  PaintFrequencyLabels(p, horizontal, layout, width);
  PaintGrooves(p, layout, width);
  const int n = std::min<int>(list->GetGraphCount(), static_cast<int>(layout.panes.size()));
  for (int g = 0; g < n; ++g) PaintPane(p, *list, g, horizontal, layout.panes[static_cast<size_t>(g)]);
}

void GraphPainter::PaintFrequencyLabels(QPainter& p, TGrDia& horizontal, const GraphLayout& layout, int width) {
  const int top = layout.panes.empty() ? 0 : layout.panes.back().bottom;
  const int right = layout.panes.empty() ? width : layout.panes.front().right;
  p.fillRect(QRect(0, top, right, layout.h_bar.top - top), Qt::white);
  if (!horizontal.m_IsValues) return;
  const AxisMapping m = AxisMapping::Horizontal(horizontal, plot_left_, plot_right_);
  std::vector<AxisLabel> labels;
  std::vector<QString> texts;
  ForGridLines(horizontal, [&](double v, int cls, const std::string& t) {
    texts.push_back(QString::fromStdString(t));
    labels.push_back({m.ToPixel(v), QFontMetrics(FontOf(cls)).horizontalAdvance(texts.back()), cls});
  });
  const auto placed = PlaceAxisLabels(labels, 0, right);
  const int y = layout.h_bar.top - TextHeight();
  p.setPen(Qt::black);
  for (size_t i = 0; i < labels.size(); ++i) {
    if (!placed[i]) continue;
    p.setFont(FontOf(labels[i].cls));
    const int x = static_cast<int>(std::lround(labels[i].centre - labels[i].width / 2.0));
    p.drawText(QRect(x, y, labels[i].width + 2, TextHeight()), Qt::AlignLeft | Qt::AlignVCenter, texts[i]);
  }
}

void GraphPainter::PaintGrooves(QPainter& p, const GraphLayout& layout, int width) {
  const QPalette pal = QGuiApplication::palette();
  for (size_t i = 0; i + 1 < layout.panes.size(); ++i) {
    const int y0 = layout.panes[i].bottom, y1 = layout.panes[i + 1].top;
    p.fillRect(QRect(0, y0, width, y1 - y0), pal.color(QPalette::Button));
    p.fillRect(QRect(0, y0 + 1, width, 1), pal.color(QPalette::Light));
    p.fillRect(QRect(0, y1 - 2, width, 1), pal.color(QPalette::Dark));
    p.fillRect(QRect(0, y1 - 1, width, 1), Qt::black);
  }
}

void GraphPainter::PaintPane(QPainter& p, OGrList& list, int g, const TGrDia& horizontal, const PixelRect& pane) {
  TGrDia& axis = list.GetAxis(g);
  const QRect plot(plot_left_, pane.top, plot_right_ - plot_left_, pane.Height());
  p.save();
  p.setClipRect(plot);
  p.fillRect(plot, Qt::white);
  if (bands_ && horizontal.ShowValid()) {
    const AxisMapping h = AxisMapping::Horizontal(horizontal, plot_left_, plot_right_);
    for (const GraphColourBand& band : *bands_) {
      const PixelSpan s = ColourBandSpan(band, h, plot_left_, plot_right_);
      if (!s.Empty()) p.fillRect(QRect(s.left, plot.top(), s.right - s.left, plot.height()), QColor::fromRgb(band.rgb));
    }
  }
  if (axis.m_IsGrid) {
    const AxisMapping v = AxisMapping::Vertical(axis, pane.top, pane.bottom);
    ForGridLines(axis, [&](double val, int cls, const std::string&) {
      p.setPen(GridPen(cls));
      const int y = static_cast<int>(std::lround(v.ToPixel(val)));
      p.drawLine(plot.left(), y, plot.right(), y);
    });
  }
  if (horizontal.m_IsGrid) {
    const AxisMapping h = AxisMapping::Horizontal(horizontal, plot_left_, plot_right_);
    ForGridLines(horizontal, [&](double val, int cls, const std::string&) {
      p.setPen(GridPen(cls));
      const int x = static_cast<int>(std::lround(h.ToPixel(val)));
      p.drawLine(x, plot.top(), x, plot.bottom());
    });
  }
  PaintLines(p, list, g, horizontal, pane);
  p.restore();
  PaintValueLabels(p, axis, pane);
  PaintLegend(p, list, g, pane);
}

void GraphPainter::PaintLines(QPainter& p, OGrList& list, int g, const TGrDia& horizontal, const PixelRect& pane) {
  const TGrDia& axis = list.GetAxis(g);
  if (!axis.ShowValid() || !horizontal.ShowValid()) return;
  const AxisMapping hm = AxisMapping::Horizontal(horizontal, plot_left_, plot_right_);
  const AxisMapping vm = AxisMapping::Vertical(axis, pane.top, pane.bottom);
  const PixelRect plot{plot_left_, pane.top, plot_right_, pane.bottom};
  const int lines = list.GetLineCount(g);
  const bool all_fit = lines <= 19 && pane.Height() >= (TextHeight() + 4) * lines;
  // Band lines first, so the ordinary lines stay visible over them.
  for (int pass = 0; pass < 2; ++pass) {
    for (int l = 0; l < lines; ++l) {
      OGrListItem& line = list.GetLine(g, l);
      const bool band = line.HasBand() != 0;
      if (band != (pass == 0) || (!line.IsShown() && !all_fit)) continue;
      const QColor colour = LineColour(l, band);
      if (band && line.GetKind() == 0) {
        int32_t first, end, step;
        line.GetIndexRange(horizontal.m_Show0, horizontal.m_Show1, plot_right_ - plot_left_, first, end, step);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        for (const BandQuad& q : BandLineQuads(line, hm, vm, plot, first, end, step)) {
          const QPointF pts[4] = {{q.p[0].x, q.p[0].y}, {q.p[1].x, q.p[1].y}, {q.p[2].x, q.p[2].y}, {q.p[3].x, q.p[3].y}};
          p.drawPolygon(pts, 4);
        }
        continue;
      }
      p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.setBrush(colour);
      if (line.GetKind() == 1) {
        PaintFunction(p, line, hm, vm, plot);
      } else {
        PaintPointLine(p, line, hm, vm, pane);
      }
    }
  }
}

void GraphPainter::StrokeMerged(QPainter& p) {
  if (raw_.size() >= 2) {
    MergeColumns(raw_, merged_);
    // Separate short strokes: the rasteriser fills each on its own, where one long
    // self-overlapping polyline costs it every edge on every scan line.
    segs_.clear();
    for (size_t k = 1; k < merged_.size(); ++k) {
      segs_.emplace_back(merged_[k - 1].x, merged_[k - 1].y, merged_[k].x, merged_[k].y);
    }
    p.drawLines(segs_.data(), static_cast<int>(segs_.size()));
  }
  raw_.clear();
}

void GraphPainter::PaintFunction(QPainter& p, OGrListItem& line, const AxisMapping& hm, const AxisMapping& vm,
                                 const PixelRect& plot) {
  for (std::vector<PixelPoint>& piece : FunctionCurvePixels(line, hm, vm, plot)) {
    raw_ = std::move(piece);
    StrokeMerged(p);
  }
}

void GraphPainter::PaintPointLine(QPainter& p, OGrListItem& line, const AxisMapping& hm, const AxisMapping& vm,
                                  const PixelRect& pane) {
  int32_t first, end, step;
  line.GetIndexRange(hm.ToValue(plot_left_), hm.ToValue(plot_right_), plot_right_ - plot_left_, first, end, step);
  step = std::max(step, 1);
  raw_.clear();
  int last_mx = INT32_MIN, last_my = INT32_MIN;
  for (int32_t i = first; i < end; i += step) {
    double x, y;
    const int32_t flags = line.GetPoint(i, x, y);
    if (flags & kGrInvalid) continue;
    const double px = ClampPixel(hm.ToPixel(x), plot_left_, plot_right_, 32000);
    const double py = ClampPixel(vm.ToPixel(y), pane.top, pane.bottom, 30);
    if (flags & kGrNewSegment) StrokeMerged(p);
    raw_.push_back({px, py});
    if (!(flags & kGrNoMarker)) {
      const int mx = static_cast<int>(px), my = static_cast<int>(py);
      if (mx != last_mx || my != last_my) p.drawEllipse(QPointF(px, py), 3, 3);
      last_mx = mx, last_my = my;
    }
    if (flags & kGrEndSegment) StrokeMerged(p);
  }
  StrokeMerged(p);
}

void GraphPainter::PaintValueLabels(QPainter& p, TGrDia& axis, const PixelRect& pane) {
  p.fillRect(QRect(0, pane.top, plot_left_, pane.Height()), Qt::white);
  if (!axis.m_IsValues) return;
  const AxisMapping v = AxisMapping::Vertical(axis, pane.top, pane.bottom);
  const int th = TextHeight();
  p.setPen(Qt::black);
  ForGridLines(axis, [&](double val, int cls, const std::string& t) {
    const int y = static_cast<int>(std::lround(v.ToPixel(val)));
    if (y - th / 2 < pane.top || y + th / 2 > pane.bottom) return;
    p.setFont(FontOf(cls));
    p.drawText(QRect(0, y - th / 2, plot_left_ - 2, th), Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(t));
  });
}

void GraphPainter::PaintLegend(QPainter& p, OGrList& list, int g, const PixelRect& pane) {
  const QRect strip(plot_right_, pane.top, pane.right - plot_right_, pane.Height());
  p.fillRect(strip, Qt::white);
  if (!list.GetAxis(g).m_IsLegend) return;
  const int lines = list.GetLineCount(g), step = TextHeight() + 4;
  int y = pane.top + (pane.Height() - lines * step) / 2;
  for (int l = 0; l < lines; ++l, y += step) {
    OGrListItem& line = list.GetLine(g, l);
    std::string name;
    line.GetName(name);
    p.setFont(line.IsShown() ? heavy_ : normal_);
    const QRect r(strip.left(), y, strip.width(), step);
    if (line.HasBand()) p.fillRect(r, LineColour(l, true));
    p.setPen(LineColour(l));
    p.drawText(r, Qt::AlignCenter, QString::fromStdString(name));
  }
}

}  // namespace kavu
