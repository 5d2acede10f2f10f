// Graph window repaint benchmark, offscreen: 10 lines of 65,536 points in a 1600×900 window.
//   graph_repaint_ms            full repaint (cache invalidated): autoscale, grids, labels, lines
//                               with column merging
//   graph_naive_polyline_ms     anchor: the same points, one QPainter::drawPolyline per line
//   graph_repaint_ratio         ours ÷ naive (target ≤ 0.25)
//   graph_cached_repaint_ms     a repaint with nothing changed: the cached image blitted (< 2 ms)
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench_registry.h"
#include "results/gr_list.h"
#include "results/ui/cdlg_graph.h"
#include "shell/ui/qt_notice.h"

namespace kavu::bench {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLines = 10;
constexpr int kPoints = 65536;
constexpr int kNaiveRuns = 1;  // the anchor is slow: one run is enough to compare

// Ten noisy lines over 1 … 30 MHz in one pane, no markers.
class BenchLine : public OGrListItem {
 public:
  int GetKind() const override { return 0; }
  int HasBand() const override { return 0; }
  int32_t GetCount() const override { return kPoints; }
  int32_t GetPoint(int32_t i, double& x, double& y) const override {
    x = 1 + 29.0 * i / kPoints;
    y = line * 2 + std::sin(i * 0.001 * (line + 1)) + 0.3 * std::sin(i * 1.7);
    return kGrNoMarker;
  }
  int line = 0;
};

class BenchList : public OGrList {
 public:
  BenchList() { axis.ResetForGraph(0); }
  int32_t GetGraphCount() const override { return 1; }
  TGrDia& GetAxis(int32_t) override { return axis; }
  int32_t GetLineCount(int32_t) const override { return kLines; }
  OGrListItem& GetLine(int32_t, int32_t l) override { item.line = l; return item; }
  TGrDia axis;
  BenchLine item;
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void GraphRepaint() {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "kavusdraa-bench";
  static char* argv[] = {name, nullptr};
  std::unique_ptr<QApplication> app;
  if (!QCoreApplication::instance()) app = std::make_unique<QApplication>(argc, argv);
  RestoreCNumericLocale();
  BenchList list;
  CDlgGraph graph;
  graph.resize(1600, 900);
  graph.SetList(&list);
  graph.Rendered();
  constexpr int kRuns = 5;
  auto t0 = Clock::now();
  for (int r = 0; r < kRuns; ++r) {
    graph.Invalidate();
    graph.Rendered();
  }
  const double ours = Ms(Clock::now() - t0) / kRuns;
  t0 = Clock::now();
  constexpr int kCached = 200;
  QImage screen(1600, 900, QImage::Format_RGB32);
  for (int r = 0; r < kCached; ++r) {
    QPainter p(&screen);
    p.drawImage(0, 0, graph.Rendered());
  }
  const double cached = Ms(Clock::now() - t0) / kCached;
  BenchPrint("graph_repaint_ms", ours);
  BenchPrint("graph_cached_repaint_ms", cached);
  std::fflush(stdout);
  // The anchor: every point mapped and drawn as one polyline per line, same pen.
  std::vector<QPointF> pts(kPoints);
  t0 = Clock::now();
  for (int r = 0; r < kNaiveRuns; ++r) {
    QImage img(1600, 900, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    for (int l = 0; l < kLines; ++l) {
      list.item.line = l;
      for (int i = 0; i < kPoints; ++i) {
        double x, y;
        list.item.GetPoint(i, x, y);
        pts[static_cast<size_t>(i)] = QPointF((x - 1) / 29 * 1500 + 50, 880 - y * 40);
      }
      p.setPen(QPen(GraphPainter::LineColour(l), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.drawPolyline(pts.data(), kPoints);
    }
  }
  const double naive = Ms(Clock::now() - t0) / kNaiveRuns;
  BenchPrint("graph_naive_polyline_ms", naive);
  BenchPrint("graph_repaint_ratio", naive > 0 ? ours / naive : 0);
}

const BenchRegistrar kRegister("graph", GraphRepaint);

}  // namespace
}  // namespace kavu::bench
