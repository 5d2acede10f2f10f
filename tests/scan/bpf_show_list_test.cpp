#include "scan/bpf_show_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "dsp/fft_test_util.h"
#include "dsp/ombpf2.h"
#include "results/graph_autoscale.h"

namespace kavu {
namespace {

class BpfShowListTest : public ::testing::Test {
 protected:
  static std::shared_ptr<const SampleRatePlan> Plan(double rate, double bw = 20000) {
    RatePlanInputs in;
    in.sampleRate = rate;
    in.polosaFM = bw;
    return RecomputePlan(test::HostFft(), in);
  }
};

TEST_F(BpfShowListTest, DescriptionOfTheTwoMegasampleFilter) {
  const auto plan = Plan(2000000);
  ASSERT_TRUE(plan);
  ASSERT_EQ(plan->Decimation(), 10);
  const std::string t = BpfShowText(*plan);
  // Cut-off 10 kHz, 2 MHz sampled, decimated ten times to 200 kHz.
  EXPECT_EQ(t.rfind("Ном. срез ФНЧ 10.00 КГц (там ", 0), 0u) << t;
  EXPECT_NE(t.find(" дБ), реально "), std::string::npos) << t;
  EXPECT_NE(t.find(", дискр 2.000 МГц, децим 10 раз до 200.0 КГц"), std::string::npos) << t;
  const std::string tail = " КГц";
  EXPECT_EQ(t.substr(t.size() - tail.size()), tail);
  // The −3 dB point and the first null, in kHz to two decimals, from the plan's bins.
  char f3[96], fl[96];
  std::snprintf(f3, sizeof f3, "реально %.2f (по ур -3дБ)", plan->F3Bin() * 2000000.0 / 65536 / 1000);
  std::snprintf(fl, sizeof fl, "лепесток %.2f КГц с ", plan->FirstNullBin() * 2000000.0 / 65536 / 1000);
  EXPECT_NE(t.find(f3), std::string::npos) << t;
  EXPECT_NE(t.find(fl), std::string::npos) << t;
  // The windowed sinc is about 6 dB down at its nominal cut-off, and far down at its first null.
  const double atCut = BpfBinDb(*plan, plan->CutOffBin());
  EXPECT_LT(atCut, -3);
  EXPECT_GT(atCut, -10);
  EXPECT_LT(BpfBinDb(*plan, plan->FirstNullBin()), -40);
  // The −3 dB bin is the first below half power.
  EXPECT_LT(BpfBinDb(*plan, plan->F3Bin()), -3.0103);
  EXPECT_GE(BpfBinDb(*plan, plan->F3Bin() - 1), -3.0103);
  // Bins above the middle mirror those below.
  EXPECT_DOUBLE_EQ(BpfBinDb(*plan, 65536 - 300), BpfBinDb(*plan, 300));
}

TEST_F(BpfShowListTest, CurveIsTheDesignedResponseInDecibelsAtEveryBinAndMirrored) {
  const auto plan = Plan(2000000);
  ASSERT_TRUE(plan);
  BpfShowList list(plan);
  OGrListItem& line = list.GetLine(0, 0);
  EXPECT_EQ(line.GetKind(), 1);
  const double binKhz = 2000.0 / 65536;
  for (int k : {0, 50, plan->F3Bin(), plan->CutOffBin(), plan->FirstNullBin() + 7, 3000}) {
    const double p = plan->ResponsePower()[static_cast<size_t>(k)];
    ASSERT_GT(p, 0) << k;
    EXPECT_NEAR(line.GetFunctionValue(k * binKhz), 10 * std::log10(p), 1e-9) << k;
    EXPECT_NEAR(line.GetFunctionValue(-k * binKhz), 10 * std::log10(p), 1e-9) << k;
  }
  // Between bins the level is interpolated.
  const int k = plan->F3Bin();
  const double mid = line.GetFunctionValue((k + 0.5) * binKhz);
  EXPECT_NEAR(mid, (line.GetFunctionValue(k * binKhz) + line.GetFunctionValue((k + 1) * binKhz)) / 2, 1e-9);
  EXPECT_DOUBLE_EQ(line.GetFunctionValue(0), 0);
  EXPECT_EQ(line.GetFunctionValue(NAN), BpfResponseLine::kFloorDb);
  // The x range covers the decimated band and is symmetric; the band is ±10 kHz.
  double x0, x1;
  line.GetFunctionXRange(x0, x1);
  EXPECT_DOUBLE_EQ(x0, -x1);
  EXPECT_GE(x1, 200.0);
  EXPECT_LE(x1, 1000.0);
  EXPECT_DOUBLE_EQ(list.BandHalfKhz(), 10.0);
  // Attached to a window the axes take the curve's ranges: 0 dB at the top.
  TGrDia horizontal;
  AutoscaleOnAttach(list, horizontal);
  EXPECT_NEAR(horizontal.m_Full0, x0, 1e-6 * x1);
  EXPECT_NEAR(horizontal.m_Full1, x1, 1e-6 * x1);
  EXPECT_GE(list.GetAxis(0).m_Full1, 0);
  EXPECT_LT(list.GetAxis(0).m_Full0, -60);
}

TEST_F(BpfShowListTest, NoPlanGivesAnEmptyCurve) {
  BpfShowList list(nullptr);
  double x0, x1;
  list.GetLine(0, 0).GetFunctionXRange(x0, x1);
  EXPECT_FALSE(TGrDia::IsValidRange(x0, x1));
  EXPECT_EQ(list.GetLine(0, 0).GetFunctionValue(1), BpfResponseLine::kFloorDb);
  EXPECT_EQ(list.BandHalfKhz(), 0);
}

}  // namespace
}  // namespace kavu
