#pragma once
// Draws a graph list onto a QPainter: value labels, legend, grids, lines with markers and column
// merging, the frequency labels strip and the grooves between panes. Used by the graph window
// (into its cached image) and by the offscreen plot of the command-line tool.
#include <QColor>
#include <QFont>
#include <QPainter>

#include "results/gr_list.h"
#include "results/graph_curves.h"
#include "results/graph_layout.h"

namespace kavu {

class GraphPainter {
 public:
  GraphPainter();

  // Line n of a pane: colour n mod 19 of the fixed table; a band line lightened.
  static QColor LineColour(int n, bool band = false);
  // The grid pen of a line class: −1 auxiliary (dotted), 0 main, 1 higher.
  static QPen GridPen(int cls);
  // The label font of a grid class (−1 thin, 0 normal, 1 heavy).
  const QFont& FontOf(int cls) const { return cls < 0 ? thin_ : (cls == 0 ? normal_ : heavy_); }

  // Updates the autoscaled axes, finds the plot area for this size and layout and returns its
  // left and right x. Also runs every axis's grid for the visible ranges.
  void Prepare(OGrList* list, TGrDia& horizontal, const GraphLayout& layout, int width);
  int PlotLeft() const { return plot_left_; }
  int PlotRight() const { return plot_right_; }
  int TextHeight() const;

  // Colour bands filled behind every pane's lines (not owned; null: none).
  void SetColourBands(const std::vector<GraphColourBand>* bands) { bands_ = bands; }

  // Paints the whole window area (size width × height) after Prepare.
  void Paint(QPainter& p, OGrList* list, TGrDia& horizontal, const GraphLayout& layout, int width);

 private:
  void PaintPane(QPainter& p, OGrList& list, int g, const TGrDia& horizontal, const PixelRect& pane);
  void PaintLines(QPainter& p, OGrList& list, int g, const TGrDia& horizontal, const PixelRect& pane);
  void PaintPointLine(QPainter& p, OGrListItem& line, const AxisMapping& hm, const AxisMapping& vm,
                      const PixelRect& pane);
  void PaintFunction(QPainter& p, OGrListItem& line, const AxisMapping& hm, const AxisMapping& vm,
                     const PixelRect& plot);
  void StrokeMerged(QPainter& p);
  void PaintValueLabels(QPainter& p, TGrDia& axis, const PixelRect& pane);
  void PaintLegend(QPainter& p, OGrList& list, int g, const PixelRect& pane);
  void PaintFrequencyLabels(QPainter& p, TGrDia& horizontal, const GraphLayout& layout, int width);
  void PaintGrooves(QPainter& p, const GraphLayout& layout, int width);

  QFont thin_, normal_, heavy_;
  int plot_left_ = 0, plot_right_ = 0;
  std::vector<PixelPoint> raw_, merged_;  // reused between lines
  std::vector<QLineF> segs_;
  const std::vector<GraphColourBand>* bands_ = nullptr;
};

// The grid lines of an axis inside its visible range, at most 200, as (value, class, label).
template <class Fn>
void ForGridLines(const TGrDia& axis, Fn fn) {
  constexpr int kMaxGridLines = 200;
  int drawn = 0;
  for (int32_t i = 0; i < axis.Setka_GetN() && drawn < kMaxGridLines; ++i) {
    double v;
    std::string text;
    const int cls = axis.Setka_GetText(i, v, text);
    if (v < axis.m_Show0 || v > axis.m_Show1) continue;
    ++drawn;
    fn(v, cls, text);
  }
}

}  // namespace kavu
