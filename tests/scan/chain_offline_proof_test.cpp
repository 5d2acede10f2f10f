// The whole measuring chain offline: a synthetic recording of each scan group, played as the
// control board plays it, goes block by block through the mixer/decimator, the sync detector and
// GetDataN, with the oscillator switched in each settling pause as the scan does; the points must
// give back the loads the recording was made with.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "board_timeline_fixture.h"
#include "dsp/fft_test_util.h"
#include "dsp/ombpf2.h"
#include "dsp/sample_rate_plan.h"
#include "dsp/signal_chain.h"
#include "measure/bridge_model.h"
#include "measure/impedance_computer.h"
#include "results/ant_izms.h"
#include "scan/measurement.h"
#include "scan/scan_plan.h"

namespace kavu {
namespace {

struct Load {
  Complex z;
  double relTol, absTol;
};
const Load kLoads[] = {{{5, 0}, 0.005, 0.2}, {{25, -30}, 0.005, 0.2}, {{50, 0}, 0.005, 0.2},
                       {{150, 75}, 0.005, 0.2}, {{500, 0}, 0.01, 0.5}};

struct ProofCase {
  double rate;
  int zondN;
  const char* ranges;
  int loads;  // how many of kLoads are cycled through
  double ppm;
  bool duo;
  unsigned seed;
};

class ChainOfflineProof : public ::testing::TestWithParam<ProofCase> {};

uint32_t Bits(float v) { return std::bit_cast<uint32_t>(v); }

TEST_P(ChainOfflineProof, EveryFrequencyGivesItsLoad) {
  const ProofCase& c = GetParam();
  RatePlanInputs in;
  in.sampleRate = c.rate;
  in.zondN = c.zondN;
  const auto plan = RecomputePlan(test::HostFft(), in);
  ASSERT_TRUE(plan);
  OScanPlan scan;
  ASSERT_TRUE(scan.StartPlan(c.ranges));
  GroupPlanInputs gi;
  gi.zondN = c.zondN;
  gi.slotSec = plan->Slot();
  gi.sampleRateHz = plan->SampleRateUsed();
  gi.firstNullHz = plan->FirstNullHz();

  auto chain = OSignalChain::Create(test::HostFft(), 1 << 20);
  ASSERT_TRUE(chain);
  AntIzms set(4096);
  const BridgeSettings bridge;
  const ImpedanceComputer imp(bridge, nullptr);
  OMeasurement meas(*chain, set);
  meas.SetImpedance(&imp);
  meas.SetScanPlan(&scan);

  int global = 0, groups = 0;
  for (;;) {
    const GroupPlan g = scan.PlanBatch(gi);
    ASSERT_EQ(g.status, GroupPlan::Status::kOk);
    ASSERT_TRUE(g.inconsistencies.empty());
    const double tuning = std::floor(g.tuningHz + 0.5);
    test::TimelineSpec spec;
    spec.plan = plan.get();
    spec.tuningHz = tuning;
    spec.freqs.assign(g.freqs.begin(), g.freqs.begin() + g.count);
    for (int k = 0; k < g.count; ++k) {
      spec.rho.push_back(ExpectedRatio(bridge, kLoads[(global + k) % c.loads].z, spec.freqs[static_cast<size_t>(k)]));
    }
    spec.ppm = c.ppm;
    spec.duo = c.duo;
    spec.seed = c.seed + static_cast<unsigned>(groups);
    spec.leadIn = 2000 + 397 * groups;
    const test::Timeline tl = test::MakeGroupTimeline(spec);

    // The scan's sample loop: first block starts the group; one point at most per block.
    const int32_t before = set.Count();
    meas.StartGroup(*plan, g.freqs.data(), g.count, g.freqs[0], tuning);
    int next = 0;
    for (size_t b = 0; b + 1024 <= tl.a.size() && next < g.count; b += 1024) {
      chain->ProcessBlock(&tl.a[b], c.duo ? &tl.b[b] : nullptr);
      meas.AfterBlock();
      if (meas.Ready(next)) {
        EXPECT_EQ(meas.GetDataN(next), OMeasurement::Outcome::kPoint);
        ++next;
      }
    }
    ASSERT_EQ(next, g.count) << "group " << groups;
    ASSERT_EQ(set.Count() - before, g.count);
    // The sync index lies within one decimated sample of the true start of the pause.
    const double D = plan->Decimation();
    const double kTrue = (static_cast<double>(tl.pauseStart) - 511) / D - 1;
    EXPECT_NEAR(static_cast<double>(meas.E()), kTrue, 1.0);

    for (int k = 0; k < g.count; ++k) {
      const int32_t i = before + k;
      const AntIzm& p = set.At(i);
      const Load& load = kLoads[(global + k) % c.loads];
      EXPECT_EQ(p.freqHz, g.freqs[static_cast<size_t>(k)]);
      const Complex z = imp.ComputeZ(set, i, -1);
      const Complex gm = Gamma(z, 50), gt = Gamma(load.z, 50);
      const double tol = load.relTol * std::abs(load.z) + load.absTol;
      const std::string where = "rate " + std::to_string(c.rate) + " f=" + std::to_string(p.freqHz) +
                                " load " + std::to_string(load.z.real()) + "," + std::to_string(load.z.imag()) +
                                " got " + std::to_string(z.real()) + "," + std::to_string(z.imag());
      EXPECT_LE(std::abs(std::abs(gm) - std::abs(gt)), 0.002) << where;
      EXPECT_NEAR(z.real(), load.z.real(), tol) << where;
      EXPECT_NEAR(z.imag(), load.z.imag(), tol) << where;
      EXPECT_NEAR(p.ppm, c.ppm, 0.2) << where;
      EXPECT_NEAR(p.o, 20 * std::log10(spec.amplitude), 0.05) << where;
      if (k > 0) {
        EXPECT_EQ(Bits(p.pause), 0xFFC00000u);
        EXPECT_EQ(Bits(p.pauseBpf), 0xFFC00000u);
        EXPECT_EQ(Bits(p.pauseAll), 0xFFC00000u);
      } else if (c.zondN >= 4) {
        // The first repetition of the first frequency is dropped: no pause samples at all.
        EXPECT_EQ(p.pause, 0.0f);
        EXPECT_EQ(p.pauseBpf, 0.0f);
        EXPECT_EQ(p.pauseAll, 0.0f);
      } else {
        // The sync pause holds only noise (and the DC spike in the whole-band level).
        EXPECT_LT(p.pauseBpf, p.o - 40);
      }
      if (c.duo) {
        EXPECT_NEAR(p.phaseDuo, p.phase, 0.01) << where;
        EXPECT_NEAR(p.aDuo, p.oDuo, 0.05);
        EXPECT_EQ(p.aDuoAll, p.aDuoBpf);
      } else {
        EXPECT_EQ(p.phaseDuo, 0.0f);
      }
      EXPECT_NEAR(p.delay, (meas.E() - plan->SlotLen()) * plan->DecimatedPeriod(), 1e-9);
    }
    global += g.count;
    ++groups;
    if (!scan.AdvanceAfterBatch()) break;
  }
  EXPECT_GE(global, c.loads);
  // The range summary saw every point (the sentinel closed it).
  EXPECT_LT(scan.View().ranges[0].summary.minSwr, 1.1);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, ChainOfflineProof,
    ::testing::Values(ProofCase{2400000, 1, "140-142 0.5", 5, 2.0, true, 11},
                      ProofCase{1028571, 1, "50-50.8 0.2", 4, 0.0, false, 12},
                      ProofCase{250000, 4, "14-14.1 0.025", 5, 0.0, false, 13}),
    [](const ::testing::TestParamInfo<ProofCase>& i) { return "Rate" + std::to_string(static_cast<int>(i.param.rate)); });

}  // namespace
}  // namespace kavu
