#include <gtest/gtest.h>

#include <QMenu>
#include <QMouseEvent>
#include <QApplication>
#include <QPointer>
#include <cmath>
#include <memory>
#include <set>

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

void ClickArrow(UpDownControl* spin, UpDownControl::Arrow a) {
  ASSERT_NE(spin, nullptr);
  const QPointF at = spin->ArrowRect(a).center();
  QMouseEvent press(QEvent::MouseButtonPress, at, spin->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, spin->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(spin, &press);
  QApplication::sendEvent(spin, &release);
}

struct Range {
  double lo, hi;
};
Range Show(const TGrDia& a) { return {a.m_Show0, a.m_Show1}; }
void ExpectRange(const TGrDia& a, double lo, double hi) {
  const double tol = 1e-9 * (std::fabs(lo) + std::fabs(hi) + 1);
  EXPECT_NEAR(a.m_Show0, lo, tol);
  EXPECT_NEAR(a.m_Show1, hi, tol);
}

TEST(GraphWindowTest, SpinsZoomTheirOwnAxisAroundTheCentre) {
  using A = UpDownControl::Arrow;
  GraphFixture f;
  TGrDia& h = f.graph.Horizontal();
  TGrDia& v0 = f.list.GetAxis(0);
  TGrDia& v1 = f.list.GetAxis(1);
  // Pane axes on fixed ranges well inside their data, so both directions show.
  for (TGrDia* a : {&v0, &v1}) {
    const double c = (a->m_Full0 + a->m_Full1) / 2, w = a->m_Full1 - a->m_Full0;
    a->m_IsAuto = 0, a->m_IsFull = 0, a->m_Show0 = c - w / 8, a->m_Show1 = c + w / 8;
  }
  const Range p0 = Show(v0), p1 = Show(v1);
  // The frequency spin's right arrow narrows 10 … 20 MHz to 1/1.1 of its width around 15 MHz.
  h.m_IsAuto = 1;
  ClickArrow(f.graph.HorizontalSpin(), A::kIncrement);
  ExpectRange(h, 15 - 5 / 1.1, 15 + 5 / 1.1);
  EXPECT_EQ(h.m_IsAuto, 0);
  ExpectRange(v0, p0.lo, p0.hi);
  ExpectRange(v1, p1.lo, p1.hi);
  ClickArrow(f.graph.HorizontalSpin(), A::kIncrement);
  ExpectRange(h, 15 - 5 / 1.21, 15 + 5 / 1.21);
  ClickArrow(f.graph.HorizontalSpin(), A::kDecrement);  // the left arrow widens
  ExpectRange(h, 15 - 5 / 1.1, 15 + 5 / 1.1);
  const Range hr = Show(h);
  // Pane 1's up arrow widens its values by 1.1 around their centre and selects the pane.
  ASSERT_EQ(f.graph.SelectedPane(), 0);
  const double c1 = (p1.lo + p1.hi) / 2, w1 = p1.hi - p1.lo;
  ClickArrow(f.graph.PaneSpin(1), A::kIncrement);
  EXPECT_EQ(f.graph.SelectedPane(), 1);
  ExpectRange(v1, c1 - w1 * 1.1 / 2, c1 + w1 * 1.1 / 2);
  ExpectRange(v0, p0.lo, p0.hi);
  ExpectRange(h, hr.lo, hr.hi);
  // Its down arrow narrows: twice from 1.1 gives 1/1.1 of the first width.
  ClickArrow(f.graph.PaneSpin(1), A::kDecrement);
  ClickArrow(f.graph.PaneSpin(1), A::kDecrement);
  ExpectRange(v1, c1 - w1 / 1.1 / 2, c1 + w1 / 1.1 / 2);
  // Pane 0's spin selects pane 0 and zooms an autoscaled axis too, ending the autoscale.
  v0.m_IsAuto = 1;
  const double c0 = (p0.lo + p0.hi) / 2, w0 = p0.hi - p0.lo;
  ClickArrow(f.graph.PaneSpin(0), A::kDecrement);
  EXPECT_EQ(f.graph.SelectedPane(), 0);
  EXPECT_EQ(v0.m_IsAuto, 0);
  ExpectRange(v0, c0 - w0 / 1.1 / 2, c0 + w0 / 1.1 / 2);
  // A focused pane spin takes ↑/↓ and passes ← on to the window (a frequency scroll).
  QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
  QApplication::sendEvent(f.graph.PaneSpin(0), &up);
  ExpectRange(v0, c0 - w0 / 2, c0 + w0 / 2);
  const Range before_left = Show(h);
  QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
  QApplication::sendEvent(f.graph.PaneSpin(0), &left);
  EXPECT_LT(h.m_Show0, before_left.lo);
  EXPECT_NEAR(h.m_Show1 - h.m_Show0, before_left.hi - before_left.lo, 1e-9);
  // The drawing follows: a spin step is redrawn at the next paint.
  const int renders = f.graph.RenderCount();
  f.graph.Rendered();
  EXPECT_EQ(f.graph.RenderCount(), renders + 1);
}

TEST(GraphWindowTest, SpinZoomsALogarithmicAxisAroundItsDrawnCentre) {
  GraphFixture f;
  TGrDia& h = f.graph.Horizontal();
  h.m_IsLog = 1;
  h.m_Show0 = 12, h.m_Show1 = 16, h.m_IsFull = 0;
  f.graph.OnSpin(-1, -1);
  // Equal ratios on both sides of the geometric centre √(12·16).
  const double c = std::sqrt(12.0 * 16.0), k = std::pow(16.0 / c, 1 / 1.1);
  ExpectRange(h, c / k, c * k);
}

TEST(GraphWindowTest, EveryPaneKeepsOneSpinPlacedByTheLayout) {
  GraphFixture f;
  auto spins_placed = [&f] {
    const GraphLayout& l = f.graph.Layout();
    ASSERT_EQ(f.graph.PaneControlCount(), f.list.GetGraphCount());
    ASSERT_EQ(l.v_spins.size(), static_cast<size_t>(f.list.GetGraphCount()));
    std::set<UpDownControl*> distinct;
    for (int i = 0; i < f.graph.PaneControlCount(); ++i) {
      const PixelRect& r = l.v_spins[static_cast<size_t>(i)];
      EXPECT_EQ(f.graph.PaneSpin(i)->geometry(), QRect(r.left, r.top, r.Width(), r.Height()));
      EXPECT_EQ(f.graph.PaneSpin(i)->Orientation(), Qt::Vertical);
      const PixelRect& b = l.v_bars[static_cast<size_t>(i)];
      EXPECT_EQ(f.graph.PaneBar(i)->geometry().bottom() + 1, r.top);  // right under the bar
      EXPECT_EQ(b.bottom, r.top);
      distinct.insert(f.graph.PaneSpin(i));
    }
    EXPECT_EQ(distinct.size(), static_cast<size_t>(f.graph.PaneControlCount()));
    const PixelRect& hs = l.h_spin;
    EXPECT_EQ(f.graph.HorizontalSpin()->geometry(), QRect(hs.left, hs.top, hs.Width(), hs.Height()));
  };
  spins_placed();
  EXPECT_EQ(f.graph.findChildren<UpDownControl*>().size(), 3);  // two panes and the frequency axis
  EXPECT_EQ(f.graph.HorizontalSpin()->width(), 2 * f.graph.HorizontalSpin()->height());
  // One graph: the second pane's spin goes with its pane.
  QPointer<UpDownControl> second = f.graph.PaneSpin(1);
  f.panel.m_IsR = f.panel.m_IsX = 0;
  BuildResultsGraphList(f.list, f.panel, *f.store);
  f.graph.SetList(&f.list);
  EXPECT_TRUE(second.isNull());
  EXPECT_EQ(f.graph.PaneSpin(1), nullptr);
  spins_placed();
  // Back to two: a new spin for the new pane, working on that pane.
  f.panel.m_IsR = f.panel.m_IsX = 1;
  BuildResultsGraphList(f.list, f.panel, *f.store);
  f.graph.SetList(&f.list);
  spins_placed();
  f.graph.resize(640, 300);
  QResizeEvent resize(QSize(640, 300), QSize(800, 600));
  QApplication::sendEvent(&f.graph, &resize);
  spins_placed();
  TGrDia& a = f.list.GetAxis(1);
  const double w = a.m_Show1 - a.m_Show0;
  ClickArrow(f.graph.PaneSpin(1), UpDownControl::Arrow::kDecrement);
  EXPECT_EQ(f.graph.SelectedPane(), 1);
  EXPECT_NEAR(a.m_Show1 - a.m_Show0, w / 1.1, 1e-9 * w);
  // Dragging the gap between the panes takes their bars and spins along.
  const int gap_y = f.graph.Layout().panes[0].bottom + 2;
  const QPointF from(f.InPane(0).x(), gap_y), to(f.InPane(0).x(), gap_y + 15);
  QMouseEvent press(QEvent::MouseButtonPress, from, from, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QMouseEvent move(QEvent::MouseMove, to, to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&f.graph, &press);
  const int spin0_bottom = f.graph.PaneSpin(0)->geometry().bottom();
  QApplication::sendEvent(&f.graph, &move);
  EXPECT_EQ(f.graph.PaneSpin(0)->geometry().bottom(), spin0_bottom + 15);
  spins_placed();
}

TEST(GraphWindowTest, SpinsAreDrawnWithArrows) {
  GraphFixture f;
  const QImage shot = f.graph.grab().toImage();
  for (UpDownControl* spin : {f.graph.HorizontalSpin(), f.graph.PaneSpin(0)}) {
    // Somewhere in each arrow button a dark arrow on the lighter button face.
    for (auto a : {UpDownControl::Arrow::kDecrement, UpDownControl::Arrow::kIncrement}) {
      // In device pixels: at a scale factor the picture is larger than the widget.
      const qreal dpr = shot.devicePixelRatio();
      const QRectF lr = QRectF(spin->ArrowRect(a).translated(spin->pos()));
      const QRect r = QRectF(lr.topLeft() * dpr, lr.size() * dpr).toAlignedRect();
      int dark = 0, light = 0;
      for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
          const int g = qGray(shot.pixel(x, y));
          dark += g < 110, light += g > 180;
        }
      }
      EXPECT_GT(dark, 2) << "arrow missing at " << r.x() << "," << r.y();
      EXPECT_GT(light, r.width() * r.height() / 3);
    }
  }
}

}  // namespace
}  // namespace kavu
