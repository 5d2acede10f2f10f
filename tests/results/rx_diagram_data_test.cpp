// Which sets the R and X diagram reads, what it leaves out, and its stored settings.
#include <gtest/gtest.h>

#include <cmath>

#include "results/rx_diagram_data.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

// R = the point's level a, X = its phase; set 0's point 2 is not a number.
class FakeSource : public IGraphPointSource {
 public:
  std::complex<double> Impedance(const AntIzms& set, int64_t i, bool cable) const override {
    cables += cable;
    const AntIzm& p = set.At(i);
    return {p.a, p.phase};
  }
  mutable int cables = 0;
};

void Fill(AntIzms& set, int n, double f0_mhz, double r) {
  for (int i = 0; i < n; ++i) {
    AntIzm p = EmptyAntIzm();
    p.freqHz = (f0_mhz + i) * 1e6;
    p.a = r;
    p.phase = i;
    set.Append(p);
  }
}

TEST(RxDiagramDataTest, GathersTheShownSetsAndSkipsBadPoints) {
  ResultsStore store(64);
  Fill(store.Set(0), 5, 7.2, 50);
  Fill(store.Set(1), 3, 1, 60);
  Fill(store.Slot(2), 4, 20, 70);
  Fill(store.Slot(5), 2, 30, 80);
  store.Set(0).Data()[2].a = NAN;        // a point whose impedance failed
  store.Set(0).Data()[3].freqHz = INFINITY;
  GraphPanelSettings panel;
  panel.m_IsFile[2] = 1;
  FakeSource source;
  auto series = GatherRxSeries(store, panel, source);
  ASSERT_EQ(series.size(), 2u);  // set 0 and slot 2; set 1 and slot 5 not shown
  EXPECT_EQ(series[0].set, 0);
  EXPECT_EQ(series[0].points.size(), 3u);
  EXPECT_EQ(series[1].set, 5);
  EXPECT_EQ(series[1].points.size(), 4u);
  EXPECT_EQ(series[1].points[1].z, std::complex<double>(70, 1));
  EXPECT_DOUBLE_EQ(series[1].points[1].f_mhz, 21);
  EXPECT_EQ(source.cables, 0);
  const RxRange r = RxSeriesRange(series);
  EXPECT_EQ(r.lo, 7);
  EXPECT_EQ(r.hi, 23);  // slot 2 ends at 23 MHz

  panel.m_IsPredScan = 1;
  panel.m_IsTransLen = 1;
  series = GatherRxSeries(store, panel, source);
  ASSERT_EQ(series.size(), 3u);
  EXPECT_EQ(series[1].set, 1);
  EXPECT_GT(source.cables, 0);  // through the cable when the panel says so
  EXPECT_EQ(RxSeriesRange(series).lo, 1);

  // The window selects points for the fit and maps them to Γ in the circle diagram.
  RxDiagramSettings s;
  s.m_ShowFMin = 20, s.m_ShowFMax = 21;
  const auto z = RxWindowPoints(series, s, 50);
  ASSERT_EQ(z.size(), 2u);
  EXPECT_EQ(z[0], std::complex<double>(70, 0));
  s.m_Mode = 1;
  const auto g = RxWindowPoints(series, s, 70);
  ASSERT_EQ(g.size(), 2u);
  EXPECT_NEAR(std::abs(g[0]), 0, 1e-12);
}

TEST(RxDiagramDataTest, EmptyStoreGivesTheWholeRange) {
  ResultsStore store(8);
  GraphPanelSettings panel;
  FakeSource source;
  const auto series = GatherRxSeries(store, panel, source);
  const RxRange r = RxSeriesRange(series);
  EXPECT_EQ(r.lo, 0);
  EXPECT_EQ(r.hi, 6600);
}

TEST(RxDiagramDataTest, SettingsRoundTripWithDefaultsAndClamps) {
  test::TempDir dir;
  SettingsStore store(dir.Path() + "/s.ini");
  RxDiagramSettings s;
  s.Load(store, {7, 15});
  EXPECT_EQ(s.m_ShowFMin, 7);  // no stored window: the data range
  EXPECT_EQ(s.m_ShowFMax, 15);
  EXPECT_EQ(s.sKSVs, "1.1 1.3 1.5 2 4");
  EXPECT_EQ(s.sRCabs, "50");
  EXPECT_EQ(s.m_Mode, 0);
  s.m_Mode = 1, s.m_ColorType = 2, s.m_ShowFMin = 3, s.m_ShowFMax = 9, s.m_IsLo = 1, s.sKSVs = "2", s.sRCabs = "75 300";
  s.Store(store);
  RxDiagramSettings back;
  back.Load(store, {0, 6600});
  EXPECT_EQ(back.m_Mode, 1);
  EXPECT_EQ(back.m_ColorType, 2);
  EXPECT_EQ(back.m_ShowFMin, 3);
  EXPECT_EQ(back.m_ShowFMax, 9);
  EXPECT_EQ(back.m_IsLo, 1);
  EXPECT_EQ(back.sKSVs, "2");
  EXPECT_EQ(back.sRCabs, "75 300");
  store.WriteProfileInt(kRxSection, "m_ColorType", 7);
  store.WriteProfileInt(kRxSection, "m_Mode", -3);
  back.Load(store, {0, 6600});
  EXPECT_EQ(back.m_ColorType, 2);
  EXPECT_EQ(back.m_Mode, 0);
}

}  // namespace
}  // namespace kavu
