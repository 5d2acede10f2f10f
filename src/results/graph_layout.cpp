#include "results/graph_layout.h"

#include <algorithm>
#include <cmath>

namespace kavu {

GraphLayout ComputeGraphLayout(const GraphLayoutInput& in) {
  GraphLayout out;
  const int row = in.height - in.scroll_h;
  const int spin_w = std::max(std::min(2 * in.arrow_h, in.width / 2), 0);
  out.h_spin = {0, row, spin_w, in.height};
  out.h_bar = {spin_w, row, std::max(in.width, spin_w), in.height};
  int space = in.height - in.scroll_h - (in.h_values ? in.text_h : 0);
  out.panes_bottom = space;
  if (in.panes <= 0) return out;
  const int n = in.panes;
  const int h = std::max((space - GraphLayout::kGap * n + GraphLayout::kGap) / n, GraphLayout::kMinPaneHeight);
  for (int i = 0; i < n; ++i) {
    const int top = i * (h + GraphLayout::kGap);
    out.panes.push_back({0, top, std::max(in.width - in.scroll_v, 0), top + h});
  }
  out.panes_bottom = std::max(space, out.panes.back().bottom);
  PlacePaneControls(out, in);
  return out;
}

void PlacePaneControls(GraphLayout& layout, const GraphLayoutInput& in) {
  layout.v_bars.clear();
  layout.v_spins.clear();
  const int spin_h = in.scroll_v * 3 / 2;
  const int x = std::max(in.width - in.scroll_v, 0);
  for (size_t i = 0; i < layout.panes.size(); ++i) {
    const PixelRect& pane = layout.panes[i];
    int span = std::max(pane.Height(), 0);
    if (i + 1 == layout.panes.size() && in.h_values) span += in.text_h;
    const int spin = std::min(spin_h, span);
    const int bar = span - spin;
    layout.v_bars.push_back({x, pane.top, x + in.scroll_v, pane.top + bar});
    layout.v_spins.push_back({x, pane.top + bar, x + in.scroll_v, pane.top + span});
  }
}

AxisMapping AxisMapping::Horizontal(const TGrDia& axis, int left, int right) {
  AxisMapping m;
  m.p0 = left, m.p1 = right;
  m.log = axis.UsesLog();
  m.lo = axis.m_Show0, m.hi = axis.m_Show1;
  if (m.log) m.lo = std::log(m.lo), m.hi = std::log(m.hi);
  if (!axis.ShowValid()) m.lo = 0, m.hi = 1;
  return m;
}

AxisMapping AxisMapping::Vertical(const TGrDia& axis, int top, int bottom) {
  AxisMapping m;
  m.p0 = bottom - 1, m.p1 = top;
  m.log = false;
  m.lo = axis.m_Show0, m.hi = axis.m_Show1;
  if (!axis.ShowValid()) m.lo = 0, m.hi = 1;
  return m;
}

double AxisMapping::ToPixel(double v) const {
  if (log) v = v > 0 ? std::log(v) : -1e300;
  const double span = hi - lo;
  if (!(span > 0) || !std::isfinite(span)) return (p0 + p1) / 2;
  const double p = p0 + (v - lo) * (p1 - p0) / span;
  if (std::isnan(p)) return (p0 + p1) / 2;
  return std::clamp(p, -1e9, 1e9);
}

double AxisMapping::ToValue(double pixel) const {
  const double d = p1 - p0;
  double v = d != 0 ? lo + (pixel - p0) * (hi - lo) / d : (lo + hi) / 2;
  return log ? std::exp(v) : v;
}

double ClampPixel(double p, double a, double b, double margin) {
  return std::clamp(p, std::min(a, b) - margin, std::max(a, b) + margin);
}

double GridDeltaMin(const TGrDia& axis, int extent_px, double min_px) {
  if (extent_px <= 0 || !axis.ShowValid()) return 0;
  const double v = std::clamp(std::max(extent_px / 6.0, min_px), 3.0, 40.0);
  return (axis.m_Show1 - axis.m_Show0) * v / extent_px;
}

std::vector<bool> PlaceAxisLabels(const std::vector<AxisLabel>& labels, int left, int right, int gap) {
  std::vector<bool> placed(labels.size(), false);
  std::vector<std::pair<double, double>> taken;  // [l, r) of placed labels
  for (int cls : {1, 0, -1}) {
    for (size_t i = 0; i < labels.size(); ++i) {
      if (labels[i].cls != cls) continue;
      const double l = labels[i].centre - labels[i].width / 2.0, r = l + labels[i].width;
      if (l < left || r > right) continue;
      const bool clash = std::any_of(taken.begin(), taken.end(), [&](const auto& t) {
        return l < t.second + gap && r + gap > t.first;
      });
      if (clash) continue;
      taken.emplace_back(l, r);
      placed[i] = true;
    }
  }
  return placed;
}

int HitZone(const GraphLayout& layout, int plot_left, int width, int x, int y) {
  if (y >= layout.h_bar.top) return 1;
  if (layout.panes.empty()) return 0;
  if (x >= layout.panes.front().right && x < width) return 2;
  if (y >= layout.panes.back().bottom) return 1;
  if (x < plot_left) return 2;
  for (size_t i = 0; i + 1 < layout.panes.size(); ++i) {
    if (y >= layout.panes[i].bottom && y < layout.panes[i + 1].top) return 3000 + static_cast<int>(i);
  }
  return 0;
}

int PaneAt(const GraphLayout& layout, int y) {
  for (size_t i = 0; i < layout.panes.size(); ++i) {
    if (y >= layout.panes[i].top && y < layout.panes[i].bottom) return static_cast<int>(i);
  }
  return -1;
}

void MergeColumns(const std::vector<PixelPoint>& in, std::vector<PixelPoint>& out) {
  out.clear();
  size_t i = 0;
  while (i < in.size()) {
    const double col = std::floor(in[i].x);
    size_t j = i;
    double lo = in[i].y, hi = in[i].y;
    while (j + 1 < in.size() && std::floor(in[j + 1].x) == col) {
      ++j;
      lo = std::min(lo, in[j].y), hi = std::max(hi, in[j].y);
    }
    out.push_back(in[i]);
    if (j > i) {
      // One vertical stroke over the column, then on from the column's last point.
      const bool down = in[j].y >= in[i].y;
      out.push_back({in[i].x, down ? lo : hi});
      out.push_back({in[i].x, down ? hi : lo});
      out.push_back(in[j]);
    }
    i = j + 1;
  }
}

}  // namespace kavu
