#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "results/graph_autoscale.h"
#include "results/graph_layout.h"
#include "results/gr_list_ekg.h"
#include "results/results_store.h"

namespace kavu {
namespace {

TEST(GraphLayoutTest, PaneHeightsGapsAndMinimum) {
  GraphLayoutInput in;
  in.width = 800, in.height = 406, in.panes = 2, in.scroll_h = 17, in.h_values = false;
  GraphLayout l = ComputeGraphLayout(in);
  ASSERT_EQ(l.panes.size(), 2u);
  EXPECT_EQ(l.panes[0].Height(), 191);
  EXPECT_EQ(l.panes[1].top, 197);
  EXPECT_EQ(l.panes[1].right, 800 - 17);
  in.panes = 200;  // the plain formula reaches zero and below here
  l = ComputeGraphLayout(in);
  for (const auto& p : l.panes) EXPECT_GE(p.Height(), GraphLayout::kMinPaneHeight);
  in.panes = 0;
  EXPECT_TRUE(ComputeGraphLayout(in).panes.empty());
}

TEST(GraphLayoutTest, SpinsAndBarsBesideThePanes) {
  // Two panes, 800 × 406, 17-pixel bars, no frequency labels: panes 191 high at 0 and 197.
  GraphLayoutInput in;
  in.width = 800, in.height = 406, in.panes = 2, in.scroll_h = 17, in.scroll_v = 17, in.arrow_h = 17;
  in.h_values = false;
  GraphLayout l = ComputeGraphLayout(in);
  auto rect = [](const PixelRect& r) { return std::vector<int>{r.left, r.top, r.right, r.bottom}; };
  EXPECT_EQ(rect(l.h_spin), (std::vector<int>{0, 389, 34, 406}));  // 2·cxH wide
  EXPECT_EQ(rect(l.h_bar), (std::vector<int>{34, 389, 800, 406}));
  ASSERT_EQ(l.v_bars.size(), 2u);
  ASSERT_EQ(l.v_spins.size(), 2u);
  // Each bar 191 − 25 high from its pane's top, the spin 1.5·17 = 25 high under it.
  EXPECT_EQ(rect(l.v_bars[0]), (std::vector<int>{783, 0, 800, 166}));
  EXPECT_EQ(rect(l.v_spins[0]), (std::vector<int>{783, 166, 800, 191}));
  EXPECT_EQ(rect(l.v_bars[1]), (std::vector<int>{783, 197, 800, 363}));
  EXPECT_EQ(rect(l.v_spins[1]), (std::vector<int>{783, 363, 800, 388}));
  // With frequency labels the last bar is a text height longer; its spin still ends the column.
  in.h_values = true, in.text_h = 13;
  l = ComputeGraphLayout(in);
  EXPECT_EQ(l.panes[1].bottom, 191 + 185);
  EXPECT_EQ(l.v_bars[1].Height(), 185 + 13 - 25);
  EXPECT_EQ(l.v_spins[1].top, l.v_bars[1].bottom);
  EXPECT_EQ(l.v_spins[1].bottom, l.panes[1].bottom + 13);
  EXPECT_LE(l.v_spins[1].bottom, l.h_bar.top);
  EXPECT_EQ(l.v_bars[0].Height(), 185 - 25);  // only the last one grows
  // A narrow window: the spin takes at most half the row.
  in.width = 50;
  l = ComputeGraphLayout(in);
  EXPECT_EQ(l.h_spin.Width(), 25);
  EXPECT_EQ(l.h_bar.left, 25);
  // Panes lower than a spin: the spin gets the whole height, the bar none, nothing overlaps.
  in.width = 800, in.height = 200, in.panes = 8, in.scroll_v = 40;
  l = ComputeGraphLayout(in);
  for (size_t i = 0; i < l.panes.size(); ++i) {
    EXPECT_EQ(l.v_bars[i].Height(), 0);
    EXPECT_EQ(l.v_spins[i].top, l.panes[i].top);
    if (i + 1 < l.panes.size()) {
      EXPECT_EQ(l.v_spins[i].bottom, l.panes[i].bottom);
    }
  }
  // A dragged gap: the controls follow the panes' new edges.
  in.height = 406, in.panes = 2, in.scroll_v = 17, in.h_values = false;
  l = ComputeGraphLayout(in);
  l.panes[0].bottom += 20, l.panes[1].top += 20;
  PlacePaneControls(l, in);
  EXPECT_EQ(l.v_spins[0].bottom, 211);
  EXPECT_EQ(l.v_bars[1].top, 217);
  EXPECT_EQ(l.v_spins[1].bottom, l.panes[1].bottom);
  in.panes = 0;
  EXPECT_TRUE(ComputeGraphLayout(in).v_spins.empty());
}

TEST(GraphLayoutTest, MappingBothWaysAndDegenerateRanges) {
  TGrDia a;
  a.m_Full0 = a.m_Show0 = 10, a.m_Full1 = a.m_Show1 = 20;
  const AxisMapping h = AxisMapping::Horizontal(a, 100, 300);
  EXPECT_DOUBLE_EQ(h.ToPixel(15), 200);
  EXPECT_DOUBLE_EQ(h.ToValue(250), 17.5);
  const AxisMapping v = AxisMapping::Vertical(a, 0, 101);
  EXPECT_DOUBLE_EQ(v.ToPixel(10), 100);  // bottom − 1
  EXPECT_DOUBLE_EQ(v.ToPixel(20), 0);
  a.m_IsLog = 1;
  a.m_Full0 = a.m_Show0 = 1, a.m_Full1 = a.m_Show1 = 100;
  const AxisMapping lg = AxisMapping::Horizontal(a, 0, 200);
  EXPECT_NEAR(lg.ToPixel(10), 100, 1e-9);
  EXPECT_NEAR(lg.ToValue(100), 10, 1e-9);
  TGrDia empty;
  const AxisMapping e = AxisMapping::Vertical(empty, 0, 100);
  EXPECT_TRUE(std::isfinite(e.ToPixel(5)));
  EXPECT_TRUE(std::isfinite(e.ToPixel(NAN)));
  EXPECT_EQ(ClampPixel(-1e6, 0, 100, 30), -30);
  EXPECT_EQ(GridDeltaMin(empty, 100, 20), 0);
}

TEST(GraphLayoutTest, LabelPriorityKeepsHigherClassesAndGaps) {
  // Lines every 20 px; labels 30 px wide: neighbours overlap, so only some fit.
  std::vector<AxisLabel> labels;
  for (int i = 0; i <= 10; ++i) labels.push_back({100.0 + 20 * i, 30, i % 10 == 0 ? 1 : (i % 2 ? -1 : 0)});
  const auto placed = PlaceAxisLabels(labels, 0, 400);
  EXPECT_TRUE(placed[0]);
  EXPECT_TRUE(placed[10]);
  EXPECT_FALSE(placed[1]);   // would touch the class-1 label at 100 within 10 px
  EXPECT_TRUE(placed[2] || placed[4] || placed[6] || placed[8]);
  double last_right = -1e9;
  for (size_t i = 0; i < labels.size(); ++i) {
    if (!placed[i]) continue;
    EXPECT_GE(labels[i].centre - 15, last_right + 10);
    last_right = labels[i].centre + 15;
  }
  const auto edge = PlaceAxisLabels({{5, 30, 1}}, 0, 400);
  EXPECT_FALSE(edge[0]);  // would stick out on the left
}

TEST(GraphLayoutTest, HitZones) {
  GraphLayoutInput in;
  in.width = 500, in.height = 400, in.panes = 2, in.h_values = true;
  const GraphLayout l = ComputeGraphLayout(in);
  EXPECT_EQ(HitZone(l, 60, 500, 200, 395), 1);         // scroll bar row
  EXPECT_EQ(HitZone(l, 60, 500, 495, 20), 2);          // pane scroll bars
  EXPECT_EQ(HitZone(l, 60, 500, 200, l.panes[1].bottom + 2), 1);  // below the last pane
  EXPECT_EQ(HitZone(l, 60, 500, 30, 20), 2);           // value labels
  EXPECT_EQ(HitZone(l, 60, 500, 200, l.panes[0].bottom + 1), 3000);
  EXPECT_EQ(HitZone(l, 60, 500, 200, 20), 0);
  EXPECT_EQ(PaneAt(l, l.panes[1].top + 1), 1);
  EXPECT_EQ(PaneAt(l, l.panes[0].bottom + 1), -1);
}

TEST(GraphLayoutTest, ColumnMergingBoundsVerticesAndKeepsExtremes) {
  std::vector<PixelPoint> in;
  for (int i = 0; i < 65536; ++i) in.push_back({i * 1000.0 / 65536, 50 + 40 * std::sin(i * 0.01)});
  std::vector<PixelPoint> out;
  MergeColumns(in, out);
  EXPECT_LE(out.size(), 4u * 1000);
  // Every column's extremes survive.
  double lo = 1e9, hi = -1e9, olo = 1e9, ohi = -1e9;
  for (const auto& p : in) if (std::floor(p.x) == 500) lo = std::min(lo, p.y), hi = std::max(hi, p.y);
  for (const auto& p : out) if (std::floor(p.x) == 500) olo = std::min(olo, p.y), ohi = std::max(ohi, p.y);
  EXPECT_EQ(lo, olo);
  EXPECT_EQ(hi, ohi);
  EXPECT_EQ(out.front().y, in.front().y);
  EXPECT_EQ(out.back().y, in.back().y);
  std::vector<PixelPoint> sparse = {{1, 1}, {5, 2}, {9, 3}};
  MergeColumns(sparse, out);
  EXPECT_EQ(out.size(), 3u);
}

class ZeroSource : public IGraphPointSource {
 public:
  std::complex<double> Impedance(const AntIzms& set, int64_t i, bool) const override {
    return {set.At(i).a, set.At(i).o};
  }
};

TEST(GraphAutoscaleTest, FullRangesAndGlitchesIgnored) {
  auto store = std::make_unique<ResultsStore>(16);
  GraphPanelSettings panel;
  ZeroSource src;
  OGrList_EKG list(*store, panel, src);
  const double r[] = {50, 60, 2000, 55};
  for (int i = 0; i < 4; ++i) {
    AntIzm p = EmptyAntIzm();
    p.freqHz = (10 + i) * 1e6, p.a = r[i], p.o = 0;
    store->Set(0).Append(p);
  }
  bool ng = true;
  list.AddLine(600, ng, 1);
  TGrDia h;
  AutoscaleOnAttach(list, h);
  EXPECT_NEAR(h.m_Show0, 10, 1e-6);
  EXPECT_NEAR(h.m_Show1, 13, 1e-6);
  EXPECT_NEAR(list.GetAxis(0).m_Full1, 2000, 1e-3);
  EXPECT_EQ(list.GetAxis(0).m_IsAuto, 1);
  AutoscaleVisible(list, 0, h);
  EXPECT_NEAR(list.GetAxis(0).m_Show1, 60, 1e-6);  // the 2000 Ω glitch is not in the range
  list.GetAxis(0).m_IsIgnoreGlitches = 0;
  AutoscaleVisible(list, 0, h);
  EXPECT_NEAR(list.GetAxis(0).m_Show1, 2000, 1e-3);
  h.m_Show0 = 10.5, h.m_Show1 = 11.5;  // only the point at 11 MHz in view
  list.GetAxis(0).m_IsIgnoreGlitches = 1;
  AutoscaleVisible(list, 0, h);
  EXPECT_NEAR((list.GetAxis(0).m_Show0 + list.GetAxis(0).m_Show1) / 2, 60, 1e-6);
  // An empty list leaves every axis empty, without NaN.
  OGrList_EKG none(*store, panel, src);
  TGrDia h2;
  AutoscaleOnAttach(none, h2);
  EXPECT_FALSE(h2.ShowValid());
}

}  // namespace
}  // namespace kavu
