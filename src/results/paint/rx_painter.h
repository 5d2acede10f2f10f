#pragma once
// Draws the R and X diagram into a drawing area: the R–X plane with its grids, or the circle
// diagram; then the data of every shown set (6 × 6 squares joined by 2-pixel lines in the set's
// or the frequency's colour), the circles of constant SWR for the two lists, and the colour
// scale. Used by the diagram window (into its cached image) and by the offscreen plot.
#include <QColor>
#include <QPainter>
#include <QRect>
#include <functional>
#include <vector>

#include "results/paint/circle_chart.h"
#include "results/paint/graph_painter.h"
#include "results/rx_diagram_data.h"
#include "results/tgr_dia.h"

namespace kavu {

struct RxScene {
  const std::vector<RxSeries>* series = nullptr;
  RxDiagramSettings settings;
  double z0 = 50;      // the panel's cable impedance, Ω
  double rmax = 1500;  // the panel's limit of |R| and |X|, Ω
  QPoint scale_at{3800, 10};  // colour scale's left end, relative to the area's top left
  int scale_length = 200;     // pixels
};

class RxPainter {
 public:
  // Paints the whole area (filled white first).
  void Paint(QPainter& p, const QRect& area, const RxScene& scene);

  // The colour of point `f_mhz` of the n-th of `count` shown sets.
  static QColor PointColour(const RxDiagramSettings& s, double f_mhz, int n, int count);
  static QColor PaletteColour(int index);

  // The R–X plane's axes after the last Paint in RX mode.
  const TGrDia& AxisR() const { return axis_r_; }
  const TGrDia& AxisX() const { return axis_x_; }
  const QRect& PlotRect() const { return plot_; }

 private:
  using Mapper = std::function<QPointF(std::complex<double>)>;
  void PaintPlane(QPainter& p, const QRect& area, const RxScene& scene);
  void PaintPlaneLabels(QPainter& p, const QRect& area);
  void PaintChart(QPainter& p, const QRect& area, const RxScene& scene);
  void PaintData(QPainter& p, const RxScene& scene, const Mapper& map);
  void PaintScale(QPainter& p, const QRect& area, const RxScene& scene);

  GraphPainter fonts_;
  TGrDia axis_r_, axis_x_;
  QRect plot_;
};

}  // namespace kavu
