#pragma once
// Pure geometry of the graph window's extra drawings: colour bands behind the lines, function
// curves (lines of kind 1) and band lines (a line drawn as a filled band of ± half-width). No
// toolkit: the painter fills and strokes what these return.
#include <cstdint>
#include <vector>

#include "results/gr_list.h"
#include "results/graph_layout.h"

namespace kavu {

// A stretch of the horizontal axis filled in one colour behind every pane's lines.
struct GraphColourBand {
  double from = 0, to = 0;  // horizontal axis units, either order
  uint32_t rgb = 0;         // 0xRRGGBB
};
inline constexpr int kMaxColourBands = 896;

// The pixel columns [left, right) a band covers inside the plot [plot_left, plot_right); an empty
// pair (left ≥ right) when it lies outside the visible range or is not finite.
struct PixelSpan {
  int left = 0, right = 0;
  bool Empty() const { return left >= right; }
};
PixelSpan ColourBandSpan(const GraphColourBand& band, const AxisMapping& h, int plot_left, int plot_right);

// A function line evaluated every quarter pixel across the part of its x range that is visible,
// in pixels (x clamped as the lines are). Non-finite values break the curve: each inner vector is
// one unbroken piece.
std::vector<std::vector<PixelPoint>> FunctionCurvePixels(const OGrListItem& line, const AxisMapping& h,
                                                         const AxisMapping& v, const PixelRect& plot);

// The value range of a function line over [x0, x1] from 1025 evenly spaced samples, widened by
// 1% of its width on each side; false (nothing written) when no sample is finite.
bool SampledFunctionRange(const OGrListItem& line, double x0, double x1, double& y0, double& y1);

// A band line's outline between consecutive valid points i and i+1 of [first, end): the
// quadrilateral (x_i, y_i − h_i) … (x_{i+1}, y_{i+1} + h_{i+1}), h in pixels limited to 1 … 10,000.
// Points flagged invalid are skipped; a point flagged as a new segment starts afresh.
struct BandQuad {
  PixelPoint p[4];
};
std::vector<BandQuad> BandLineQuads(const OGrListItem& line, const AxisMapping& h, const AxisMapping& v,
                                    const PixelRect& plot, int32_t first, int32_t end, int32_t step);

}  // namespace kavu
