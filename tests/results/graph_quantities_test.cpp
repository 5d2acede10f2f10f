#include "results/graph_quantities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>

#include "results/gr_list_ekg.h"
#include "results/results_store.h"

namespace kavu {
namespace {

// A finite impedance for every point: R = 40 Ω, X = 30 Ω (through the cable R = 45 Ω).
class SoundImpedance : public IGraphPointSource {
 public:
  std::complex<double> Impedance(const AntIzms&, int64_t, bool cable) const override {
    return {cable ? 45.0 : 40.0, 30.0};
  }
};

// A point whose every field holds a distinct finite value.
AntIzm SoundPoint(double f_hz) {
  AntIzm p = EmptyAntIzm();
  p.freqHz = f_hz;
  double v = 1;
  for (double* d : {&p.aDuo, &p.a, &p.oDuo, &p.o, &p.phase, &p.gainDuo, &p.gain, &p.aDuoBpf,
                    &p.aBpf, &p.oDuoBpf, &p.oBpf, &p.aDuoAll, &p.aAll, &p.oDuoAll, &p.oAll}) {
    *d = -(v += 1.5);
  }
  for (float* x : {&p.maxADuo, &p.maxA, &p.pause, &p.maxODuo, &p.maxO, &p.pauseBpf, &p.phaseDuo,
                   &p.delay, &p.ppm, &p.pauseAll}) {
    *x = static_cast<float>(v += 0.25);
  }
  return p;
}

TEST(GraphQuantities, EveryQuantityTheBuilderDrawsHasANameAndAValue) {
  std::set<int> numbers, drawable;
  for (const GraphQuantity& row : GraphQuantities()) {
    EXPECT_TRUE(numbers.insert(row.number).second) << "quantity " << row.number << " twice";
    ASSERT_NE(row.name, nullptr) << row.number;
    if (row.lines == QuantityLines::kNone) continue;
    drawable.insert(row.number);
    EXPECT_STRNE(row.name, "") << "quantity " << row.number << " has no legend name";
    EXPECT_NE(row.value, nullptr) << "quantity " << row.number << " has no value";
    EXPECT_NE(row.shown, nullptr) << "quantity " << row.number << " is shown by no box";
    if (row.lines == QuantityLines::kImpedance || row.lines == QuantityLines::kImpedanceAnyU) {
      ASSERT_NE(row.cable_name, nullptr) << row.number;
      EXPECT_STRNE(row.cable_name, "") << "quantity " << row.number << " through the cable";
    }
  }

  // Every line of every build with all boxes on, over the three-state boxes and both kinds of
  // set, is named and gives a finite value on a sound point; every drawable row is drawn by one.
  auto store = std::make_unique<ResultsStore>(8);
  store->Set(0).Append(SoundPoint(14e6));
  store->Set(0).Append(SoundPoint(15e6));
  SoundImpedance source;
  GraphPanelSettings panel;
  OGrList_EKG list(*store, panel, source);
  std::set<int> drawn;
  for (const auto& k : GraphPanelSettings::CheckKeys()) panel.*k.field = 1;
  panel.m_IsPredScan = 0;  // set 0 alone
  for (int state = 0; state < 3 * 3 * 3 * 2 * 2; ++state) {
    panel.m_IsUFilter = state % 3;
    panel.m_IsTransLen = state / 3 % 3;
    panel.m_UseDuoAmpl = state / 9 % 3;
    panel.m_IsRazdRX = state / 27 % 2;
    store->Set(0).hasDuo = state / 54 % 2;
    BuildResultsGraphList(list, panel, *store);
    for (int g = 0; g < list.GetGraphCount(); ++g) {
      for (int l = 0; l < list.GetLineCount(g); ++l) {
        const int code = list.LineCode(g, l);
        OGrListItem& line = list.GetLine(g, l);
        std::string name;
        line.GetName(name);
        EXPECT_NE(name, "") << "line " << code;
        double x, y;
        EXPECT_EQ(line.GetPoint(1, x, y) & kGrInvalid, 0) << "line " << code;
        EXPECT_TRUE(std::isfinite(y)) << "line " << code;
        const GraphQuantity* row = FindGraphQuantity(code & 0xFFFF);
        ASSERT_NE(row, nullptr) << code;
        drawn.insert(row->number);
      }
    }
  }
  EXPECT_EQ(drawn, drawable);
}

TEST(GraphQuantities, NamesKeepTheirCodesAndThePauseRatiosAreNamed) {
  // The two pause ratios after their neighbour 8 "|пауза/O|".
  EXPECT_EQ(QuantityName(8, false), "|пауза/O|");
  EXPECT_EQ(QuantityName(9, false), "|пауза/O| ПФ");
  EXPECT_EQ(QuantityName(10, false), "|пауза/O| вся");
  EXPECT_EQ(QuantityName(104, true), "|А/О|");  // the parallel flag names impedance lines only
  EXPECT_EQ(QuantityName(741, false), "ppm");
  // Impedance codes: Duo bit, parallel flag, cable names; the names the legend rule gives
  // without a line (617) or none (613: no SWR through the cable).
  EXPECT_EQ(QuantityName(600, false), "R");
  EXPECT_EQ(QuantityName(620, true), "duo || R");
  EXPECT_EQ(QuantityName(632, false), "duo |R| каб");
  EXPECT_EQ(QuantityName(614, false), "C каб");
  EXPECT_EQ(QuantityName(626, false), "duo |G|");
  EXPECT_EQ(QuantityName(617, false), "R|| каб");
  EXPECT_EQ(QuantityName(613, false), "");
  EXPECT_EQ(QuantityName(640, false), "R");  // k / 20 = 2: not the Duo bit
  for (int unused : {-1, 2, 11, 608, 619, 742, 0x10000}) {
    EXPECT_EQ(QuantityName(unused, false), "") << unused;
  }
  EXPECT_EQ(FindGraphQuantity(608), nullptr);
  EXPECT_TRUE(IsCableCode(636));
  EXPECT_FALSE(IsCableCode(626));
  EXPECT_FALSE(IsCableCode(10));

  // Their values, and no value where the table has none.
  auto store = std::make_unique<ResultsStore>(4);
  const AntIzm p = SoundPoint(7e6);
  store->Set(0).Append(p);
  SoundImpedance source;
  GraphPanelSettings panel;
  OGrListItem_EKG item(*store, panel, source);
  double x, y;
  item.code = 9;
  ASSERT_EQ(item.GetPoint(0, x, y) & kGrInvalid, 0);
  EXPECT_DOUBLE_EQ(y, p.pauseBpf - p.oBpf);
  item.code = 10;
  ASSERT_EQ(item.GetPoint(0, x, y) & kGrInvalid, 0);
  EXPECT_DOUBLE_EQ(y, p.pauseAll - p.oAll);
  for (int none : {2, 607, 617, 608, 742}) {
    item.code = none;
    EXPECT_EQ(item.GetPoint(0, x, y), kGrInvalid) << none;
  }
}

}  // namespace
}  // namespace kavu
