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
  const QFont& FontOf(int cls) const { return cls < 0 ? thin_ : (cls == 0 ? normal_ : heavy_); }

  QFont thin_, normal_, heavy_;
  int plot_left_ = 0, plot_right_ = 0;
  std::vector<PixelPoint> raw_, merged_;  // reused between lines
  std::vector<QLineF> segs_;
  const std::vector<GraphColourBand>* bands_ = nullptr;
};

}  // namespace kavu
