#include <gtest/gtest.h>

#include <QMenu>
#include <QMouseEvent>
#include <QApplication>
#include <cmath>
#include <memory>

#include "results/gr_list_ekg.h"
#include "results/results_store.h"
#include "results/ui/cdlg_graph.h"
#include "shell/ui/qt_test_app.h"

namespace kavu {
namespace {

class FieldSource : public IGraphPointSource {
 public:
  std::complex<double> Impedance(const AntIzms& set, int64_t i, bool) const override {
    return {set.At(i).a, set.At(i).o};
  }
};

// 201 points from 10 to 20 MHz: R a V with its minimum 50 Ω at 14.2 MHz, X a slow ramp.
struct GraphFixture {
  QApplication& app = test::QtTestApp();  // before any widget
  std::unique_ptr<ResultsStore> store = std::make_unique<ResultsStore>(512);
  GraphPanelSettings panel;
  FieldSource source;
  OGrList_EKG list{*store, panel, source};
  CDlgGraph graph;

  explicit GraphFixture(bool swr_only = false) {
    for (int i = 0; i <= 200; ++i) {
      AntIzm p = EmptyAntIzm();
      p.freqHz = 10e6 + i * 50e3;
      p.a = 50 + 8 * std::fabs(p.freqHz - 14.2e6) / 1e5;
      p.o = -20 + i * 0.2;
      store->Set(0).Append(p);
    }
    panel.m_IsFAZA = 0;
    panel.m_IsMarkers = 0;
    if (swr_only) panel.m_IsR = panel.m_IsX = 0;
    BuildResultsGraphList(list, panel, *store);
    graph.resize(800, 600);
    graph.SetList(&list);
    graph.Rendered();
  }
  double HWidth() { return graph.Horizontal().m_Show1 - graph.Horizontal().m_Show0; }
  QPoint InPane(int pane) {
    const PixelRect& r = graph.Layout().panes[static_cast<size_t>(pane)];
    return {(graph.PlotLeft() + graph.PlotRight()) / 2, (r.top + r.bottom) / 2};
  }
};

TEST(GraphWindowTest, AttachAutoscalesAndCachesTheDrawing) {
  GraphFixture f;
  ASSERT_EQ(f.list.GetGraphCount(), 2);  // R and X; SWR
  EXPECT_NEAR(f.graph.Horizontal().m_Show0, 10, 1e-6);
  EXPECT_NEAR(f.graph.Horizontal().m_Show1, 20, 1e-6);
  const int n = f.graph.RenderCount();
  f.graph.Rendered();
  f.graph.Rendered();
  EXPECT_EQ(f.graph.RenderCount(), n);  // nothing changed: only the cached image
  f.graph.Invalidate();
  f.graph.Rendered();
  EXPECT_EQ(f.graph.RenderCount(), n + 1);
}

TEST(GraphWindowTest, WheelZoomsFrequencyOrValuesByModifierAndZone) {
  GraphFixture f;
  f.graph.HandleKey(Qt::Key_Right, Qt::ShiftModifier);  // zoom in first so widening shows
  const double w0 = f.HWidth();
  f.graph.WheelAt(f.InPane(0), 1, Qt::NoModifier, Qt::NoButton);
  EXPECT_NEAR(f.HWidth(), w0 * 1.1, 1e-9);
  const double w1 = f.HWidth();
  TGrDia& a = f.list.GetAxis(0);
  const double v0 = a.m_Show1 - a.m_Show0;
  f.graph.WheelAt(f.InPane(0), -1, Qt::ShiftModifier, Qt::NoButton);
  EXPECT_EQ(f.HWidth(), w1);  // Shift: the pane's values, not the frequencies
  EXPECT_NEAR(a.m_Show1 - a.m_Show0, v0 / 1.1, 1e-9 * v0);
  EXPECT_EQ(a.m_IsAuto, 0);
  // Over the value labels (zone 2) the values zoom without a modifier.
  const QPoint labels(2, f.InPane(0).y());
  f.graph.WheelAt(labels, -1, Qt::NoModifier, Qt::NoButton);
  EXPECT_NEAR(a.m_Show1 - a.m_Show0, v0 / 1.21, 1e-9 * v0);
  // Touchpad: four quarter notches zoom as much as one notch.
  for (int i = 0; i < 4; ++i) f.graph.WheelAt(f.InPane(1), -0.25, Qt::NoModifier, Qt::NoButton);
  EXPECT_NEAR(f.HWidth(), w1 / 1.1, 1e-9);
}

TEST(GraphWindowTest, KeysMoveAndZoomAxes) {
  GraphFixture f;
  f.graph.HandleKey(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_NEAR(f.HWidth(), 10 / 1.1, 1e-8);  // the full range carries a 1e-10 margin
  const double s0 = f.graph.Horizontal().m_Show0;
  f.graph.HandleKey(Qt::Key_Right, Qt::NoModifier);
  EXPECT_GT(f.graph.Horizontal().m_Show0, s0);
  f.graph.HandleKey(Qt::Key_Z, Qt::NoModifier);
  EXPECT_NEAR(f.graph.Horizontal().m_Show0, 10, 1e-6);
  f.graph.HandleKey(Qt::Key_X, Qt::NoModifier);
  EXPECT_NEAR(f.graph.Horizontal().m_Show1, 20, 1e-6);
  f.graph.HandleKey(Qt::Key_A, Qt::NoModifier);
  EXPECT_NEAR(f.HWidth(), 10, 1e-6);
  // Keypad '+' zooms the selected pane's values; Tab selects the next pane.
  f.graph.HandleKey(Qt::Key_Tab, Qt::NoModifier);
  EXPECT_EQ(f.graph.SelectedPane(), 1);
  TGrDia& a = f.list.GetAxis(1);
  const double v0 = a.m_Show1 - a.m_Show0;
  EXPECT_FALSE(f.graph.HandleKey(Qt::Key_Plus, Qt::NoModifier));  // only the keypad's
  EXPECT_TRUE(f.graph.HandleKey(Qt::Key_Plus, Qt::KeypadModifier));
  EXPECT_NEAR(a.m_Show1 - a.m_Show0, v0 / 1.1, 1e-9 * v0);
  f.graph.HandleKey(Qt::Key_Slash, Qt::KeypadModifier);
  EXPECT_EQ(a.m_IsAuto, 1);
  f.graph.HandleKey(Qt::Key_Tab, Qt::NoModifier);
  EXPECT_EQ(f.graph.SelectedPane(), 0);  // wraps
}

TEST(GraphWindowTest, DKeyCentresOnThePointerWithTheRememberedWidth) {
  GraphFixture f;
  const AxisMapping m = AxisMapping::Horizontal(f.graph.Horizontal(), f.graph.PlotLeft(), f.graph.PlotRight());
  const int x = static_cast<int>(std::lround(m.ToPixel(14.2)));
  QMouseEvent move(QEvent::MouseMove, QPointF(x, 50), QPointF(x, 50), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&f.graph, &move);
  f.graph.HandleKey(Qt::Key_D, Qt::NoModifier);
  const double at = m.ToValue(x);
  EXPECT_NEAR(f.graph.Horizontal().m_Show0, at - 2, 1e-9);
  EXPECT_NEAR(f.graph.Horizontal().m_Show1, at + 2, 1e-9);
  f.graph.HandleKey(Qt::Key_D, Qt::NoModifier);
  EXPECT_NEAR(f.HWidth(), 10, 1e-6);  // the old width back, clipped to the data
}

TEST(GraphWindowTest, MenusAndTheirCommands) {
  GraphFixture f;
  auto texts = [](QMenu& m) {
    QStringList t;
    for (QAction* a : m.actions()) t << a->text();
    return t;
  };
  auto hmenu = f.graph.BuildAxisMenu(-1);
  EXPECT_FALSE(texts(*hmenu).contains("Автовыбор масштаба"));
  EXPECT_TRUE(texts(*hmenu).contains("Полный диапазон"));
  auto vmenu = f.graph.BuildAxisMenu(0);
  ASSERT_TRUE(texts(*vmenu).contains("C игнорированием сбоев"));
  TGrDia& a = f.list.GetAxis(0);
  a.SetFormat(0);
  for (QAction* act : vmenu->actions()) {
    if (act->text() == "C игнорированием сбоев") act->trigger();
  }
  EXPECT_EQ(a.m_IsIgnoreGlitches, 0);
  EXPECT_EQ(a.m_IsAuto, 1);
  EXPECT_EQ(a.m_Format, 0);  // the format stays
  auto vmenu2 = f.graph.BuildAxisMenu(0);
  for (QAction* act : vmenu2->actions()) {
    if (act->text() == "Вид: градусы:мин:сек") act->trigger();
  }
  EXPECT_EQ(a.m_Format, 3);
}

TEST(GraphWindowTest, MinimumSwrPointIsDrawnInItsLineColour) {
  GraphFixture f(true);
  ASSERT_EQ(f.list.GetGraphCount(), 1);
  const QImage& img = f.graph.Rendered();
  const PixelRect& pane = f.graph.Layout().panes[0];
  const AxisMapping h = AxisMapping::Horizontal(f.graph.Horizontal(), f.graph.PlotLeft(), f.graph.PlotRight());
  const AxisMapping v = AxisMapping::Vertical(f.list.GetAxis(0), pane.top, pane.bottom);
  double fx, swr;
  f.list.GetLine(0, 0).GetPoint(84, fx, swr);  // 14.2 MHz, the lowest SWR
  ASSERT_NEAR(fx, 14.2, 1e-9);
  const int x = static_cast<int>(std::floor(h.ToPixel(fx)));
  const int y = static_cast<int>(std::lround(v.ToPixel(swr)));
  const QColor want = GraphPainter::LineColour(0);
  bool found = false;
  for (int dy = -2; dy <= 2 && !found; ++dy) {
    for (int dx = 0; dx <= 1 && !found; ++dx) found = img.pixelColor(x + dx, y + dy) == want;
  }
  EXPECT_TRUE(found) << "x=" << x << " y=" << y;
  // And not at the same x far above the minimum (SWR 1 sits at the bottom of the pane).
  EXPECT_NE(img.pixelColor(x, pane.top + 5), want);
}

}  // namespace
}  // namespace kavu
