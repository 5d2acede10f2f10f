#include "results/graph_curves.h"

#include <algorithm>
#include <cmath>

namespace kavu {
namespace {

constexpr double kXMargin = 32000, kYMargin = 30;

double ClampX(double px, const PixelRect& plot) { return ClampPixel(px, plot.left, plot.right, kXMargin); }
double ClampY(double py, const PixelRect& plot) { return ClampPixel(py, plot.top, plot.bottom, kYMargin); }

}  // namespace

PixelSpan ColourBandSpan(const GraphColourBand& band, const AxisMapping& h, int plot_left, int plot_right) {
  if (!std::isfinite(band.from) || !std::isfinite(band.to)) return {};
  double a = h.ToPixel(band.from), b = h.ToPixel(band.to);
  if (!std::isfinite(a) || !std::isfinite(b)) return {};
  if (a > b) std::swap(a, b);
  PixelSpan s;
  s.left = static_cast<int>(std::lround(std::max<double>(a, plot_left)));
  s.right = static_cast<int>(std::lround(std::min<double>(b, plot_right)));
  // A band narrower than a pixel still shows as one column.
  if (s.left == s.right && b >= plot_left && a <= plot_right) s.right = s.left + 1;
  return s;
}

std::vector<std::vector<PixelPoint>> FunctionCurvePixels(const OGrListItem& line, const AxisMapping& h,
                                                         const AxisMapping& v, const PixelRect& plot) {
  std::vector<std::vector<PixelPoint>> pieces;
  double x0, x1;
  line.GetFunctionXRange(x0, x1);
  if (!TGrDia::IsValidRange(x0, x1)) return pieces;
  double p0 = h.ToPixel(x0), p1 = h.ToPixel(x1);
  if (p0 > p1) std::swap(p0, p1);
  p0 = std::max<double>(p0, plot.left);
  p1 = std::min<double>(p1, plot.right);
  std::vector<PixelPoint> piece;
  for (double px = p0; px <= p1; px += 0.25) {
    const double y = line.GetFunctionValue(h.ToValue(px));
    if (!std::isfinite(y)) {
      if (piece.size() >= 2) pieces.push_back(std::move(piece));
      piece.clear();
      continue;
    }
    piece.push_back({ClampX(px, plot), ClampY(v.ToPixel(y), plot)});
  }
  if (piece.size() >= 2) pieces.push_back(std::move(piece));
  return pieces;
}

bool SampledFunctionRange(const OGrListItem& line, double x0, double x1, double& y0, double& y1) {
  constexpr int kSamples = 1025;
  double lo = INFINITY, hi = -INFINITY;
  for (int i = 0; i < kSamples; ++i) {
    const double y = line.GetFunctionValue(x0 + (x1 - x0) * i / (kSamples - 1));
    if (!std::isfinite(y)) continue;
    lo = std::min(lo, y), hi = std::max(hi, y);
  }
  if (!(lo <= hi)) return false;
  const double margin = (hi - lo) * 0.01;
  y0 = lo - margin, y1 = hi + margin;
  return true;
}

std::vector<BandQuad> BandLineQuads(const OGrListItem& line, const AxisMapping& h, const AxisMapping& v,
                                    const PixelRect& plot, int32_t first, int32_t end, int32_t step) {
  std::vector<BandQuad> quads;
  bool havePrev = false;
  double px0 = 0, py0 = 0, ph0 = 0;
  for (int32_t i = first; i < end; i += std::max(step, 1)) {
    double x, y;
    const int32_t flags = line.GetPoint(i, x, y);
    if (flags & kGrInvalid) continue;
    const double px = ClampX(h.ToPixel(x), plot), py = ClampY(v.ToPixel(y), plot);
    const double hw = line.GetHalfWidth(i);
    double ph = std::fabs(v.ToPixel(y + hw) - v.ToPixel(y));
    ph = std::clamp(std::isfinite(ph) ? ph : 1.0, 1.0, 10000.0);
    if (havePrev && !(flags & kGrNewSegment)) {
      quads.push_back({{{px0, py0 - ph0}, {px, py - ph}, {px, py + ph}, {px0, py0 + ph0}}});
    }
    havePrev = !(flags & kGrEndSegment);
    px0 = px, py0 = py, ph0 = ph;
  }
  return quads;
}

}  // namespace kavu
