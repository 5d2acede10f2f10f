#pragma once
// Pure geometry of the graph window: pane layout, value ↔ pixel mapping, the priority placement
// of the frequency labels, hit zones and the merging of points that fall into one pixel column.
// No drawing and no toolkit: the window wires these to its events and its painter.
#include <cstdint>
#include <vector>

#include "results/tgr_dia.h"

namespace kavu {

struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

struct GraphLayoutInput {
  int width = 0, height = 0;     // client size, pixels
  int panes = 0;
  int scroll_h = 17;             // height of the horizontal scroll bar row
  int scroll_v = 17;             // width of a vertical scroll bar
  int arrow_h = 17;              // width of a horizontal scroll bar's arrow button
  int text_h = 13;               // text height
  bool h_values = true;          // the frequency axis shows its labels
};

struct GraphLayout {
  static constexpr int kGap = 6;
  static constexpr int kMinPaneHeight = 24;  // panes never get smaller, however many there are
  std::vector<PixelRect> panes;  // x 0 … width − scroll_v
  int panes_bottom = 0;          // where the pane space ends (labels strip below)
  PixelRect h_spin;              // the frequency axis's spin: left end of the bottom row
  PixelRect h_bar;               // the horizontal scroll bar: the rest of that row
  std::vector<PixelRect> v_bars;   // one per pane, right of it, from its top
  std::vector<PixelRect> v_spins;  // one per pane, right under its bar
};

// Bottom row: the spin is w = min(2·arrow_h, width / 2) wide, the bar takes the rest.
// Pane i is h = (space − 6n + 6) / n high, at y = i·(h + 6); h is at least kMinPaneHeight.
// Pane i's bar is h − 1.5·scroll_v high (the last one a text height more when the frequency
// axis shows values) and its spin 1.5·scroll_v high under it; a pane too low for both gives
// its height to the spin first.
GraphLayout ComputeGraphLayout(const GraphLayoutInput& in);
// Places the panes' bars and spins beside the panes as they are now (also after a gap between
// two panes was dragged).
void PlacePaneControls(GraphLayout& layout, const GraphLayoutInput& in);

// Linear (or logarithmic) mapping of [lo, hi] onto pixels [p0, p1]. A degenerate or invalid
// range maps everything to the middle; results are finite.
struct AxisMapping {
  double lo = 0, hi = 1;
  double p0 = 0, p1 = 1;
  bool log = false;
  static AxisMapping Horizontal(const TGrDia& axis, int left, int right);
  // y = bottom − 1 − (v − low)·(bottom − 1 − top)/(high − low)
  static AxisMapping Vertical(const TGrDia& axis, int top, int bottom);
  double ToPixel(double v) const;
  double ToValue(double pixel) const;
};

// Clamps a mapped coordinate to `margin` pixels beyond [a, b] (either order).
double ClampPixel(double p, double a, double b, double margin);

// The grid step a pane or the plot asks for: the value span of v pixels,
// v = clamp(max(extent / 6, min_px), 3, 40).
double GridDeltaMin(const TGrDia& axis, int extent_px, double min_px);

// One candidate label of the frequency axis.
struct AxisLabel {
  double centre = 0;  // pixel x of its grid line
  int width = 0;      // text width, pixels
  int cls = 0;        // grid class: 1 higher, 0 main, −1 auxiliary
};
// Places labels by priority (class 1, then 0, then −1), each centred on its line, inside
// [left, right], never closer than `gap` pixels to one placed before. Returns one flag per label.
std::vector<bool> PlaceAxisLabels(const std::vector<AxisLabel>& labels, int left, int right, int gap = 10);

// Hit zones: 1 frequency axis, 2 value axis, 3000 + i the gap below pane i, 0 elsewhere.
int HitZone(const GraphLayout& layout, int plot_left, int width, int x, int y);
// The pane under y (−1 none).
int PaneAt(const GraphLayout& layout, int y);

// Column merging: points (already in pixels) of one segment in drawing order become a polyline
// with at most four vertices per pixel column (entry, lowest, highest, exit), so a long line
// costs a few strokes per column.
struct PixelPoint {
  double x, y;
};
void MergeColumns(const std::vector<PixelPoint>& in, std::vector<PixelPoint>& out);

}  // namespace kavu
