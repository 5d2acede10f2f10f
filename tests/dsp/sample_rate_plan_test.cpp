#include "dsp/sample_rate_plan.h"

#include <gtest/gtest.h>

#include <cmath>

#include "dsp/fft_test_util.h"
#include "dsp/ombpf2.h"

namespace kavu {
namespace {

class SampleRatePlanTest : public ::testing::Test {};

std::shared_ptr<const SampleRatePlan> PlanAt(double rate) {
  RatePlanInputs in;
  in.sampleRate = rate;
  auto plan = RecomputePlan(test::HostFft(), in);
  EXPECT_TRUE(plan);
  return plan;
}

TEST_F(SampleRatePlanTest, GoldenDefaultsAt2048000) {
  const auto p = PlanAt(2048000);
  EXPECT_EQ(p->Decimation(), 10);
  EXPECT_NEAR(p->SlotLen(), 410.255, 0.0005);
  EXPECT_NEAR(p->PauseLen(), 204.472, 0.0005);
  EXPECT_EQ(p->GuardLen(), 102);
  EXPECT_EQ(p->FirstNullBin(), 427);
  EXPECT_EQ(p->HalfLength(), 512);
  EXPECT_EQ(p->TickRate(), 156250);
  EXPECT_DOUBLE_EQ(p->Slot(), 313 / 156250.0);
  EXPECT_DOUBLE_EQ(p->Pause(), 156 / 156250.0);
  EXPECT_EQ(p->SlotLenRounded(), 410);
  EXPECT_EQ(p->GroupLength(1), std::llround(2 * p->SlotLen() + p->PauseLen()));
  EXPECT_EQ(p->GroupLength(3), std::llround(2 * p->SlotLen() + p->PauseLen() +
                                            2 * (3 * p->SlotLen() + p->PauseLen())));
}

TEST_F(SampleRatePlanTest, GoldenDefaultsAt2400000) {
  const auto p = PlanAt(2400000);
  EXPECT_EQ(p->Decimation(), 12);
  EXPECT_NEAR(p->SlotLen(), 400.64, 1e-9);
  EXPECT_NEAR(p->PauseLen(), 199.68, 1e-9);
  EXPECT_EQ(p->GuardLen(), 100);
  EXPECT_EQ(p->FirstNullBin(), 380);
  // The response: unit gain at 0 Hz, -3 dB below the first null, deep at it.
  EXPECT_EQ(p->Response()[0], FftComplex(1, 0));
  EXPECT_GT(p->F3Bin(), 0);
  EXPECT_LT(p->F3Bin(), p->FirstNullBin());
  EXPECT_LT(p->ResponsePower()[static_cast<size_t>(p->FirstNullBin())], 1e-4);
}

TEST_F(SampleRatePlanTest, EdgeCasesAndMends) {
  // r = 2,000,000, slot 2 ms: fc 10 kHz, guard 0.5 ms, B capped at 512, D = 10.
  auto p = PlanAt(2000000);
  EXPECT_EQ(p->CutOff(), 10000);
  EXPECT_EQ(p->Guard(), 0.0005);
  EXPECT_EQ(p->HalfLength(), 512);
  EXPECT_LT(p->FirstNullHz(), 100000);
  EXPECT_EQ(p->Decimation(), 10);
  // Below 200 kHz nothing is decimated.
  p = PlanAt(100000);
  EXPECT_EQ(p->Decimation(), 1);
  EXPECT_EQ(p->DecimatedRate(), 100000);
  // A rate below 8000 Hz is raised to 8000 Hz.
  p = PlanAt(5000);
  EXPECT_EQ(p->SampleRateUsed(), 8000);
  // Short slots at a low rate: B would be 0 and every point NaN; it is at least 1.
  RatePlanInputs in;
  in.sampleRate = 8000;
  in.tZond10 = 1;  // 0.1 ms slot: guard 25 µs, 8000 × 25e-6 × 0.75 = 0.15
  p = RecomputePlan(test::HostFft(), in);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->HalfLength(), 1);
  for (int k = 0; k < SampleRatePlan::kFilterBins; ++k) EXPECT_TRUE(std::isfinite(p->Response()[k].real()));
  // A board timer so slow that 1 ms is less than half a tick: pause and slot are one tick.
  in = RatePlanInputs{};
  in.timerClockHz = 1000;
  in.timerPrescaler = 4;  // 250 ticks/s
  p = RecomputePlan(test::HostFft(), in);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Pause(), 1 / 250.0);
  EXPECT_EQ(p->Slot(), 1 / 250.0);
  // A wide bandwidth decides the decimation by 2 × BW.
  in = RatePlanInputs{};
  in.sampleRate = 10e6;
  in.polosaFM = 500000;
  EXPECT_EQ(RecomputePlan(test::HostFft(), in)->Decimation(), 10);
  // The board's ppm correction stretches the timeline.
  in = RatePlanInputs{};
  in.sampleRate = 2400000;
  in.multyPPS = 1000;
  EXPECT_NEAR(RecomputePlan(test::HostFft(), in)->SlotLen(), 400.64 / 1.001, 1e-9);
}

TEST_F(SampleRatePlanTest, BadConfigurationsRejected) {
  const auto bad = [](auto change) {
    RatePlanInputs in;
    change(in);
    std::string why;
    const bool made = RecomputePlan(test::HostFft(), in, &why) != nullptr;
    return !made && !why.empty();
  };
  EXPECT_TRUE(bad([](RatePlanInputs& i) { i.sampleRate = std::nan(""); }));
  EXPECT_TRUE(bad([](RatePlanInputs& i) { i.sampleRate = INFINITY; }));
  EXPECT_TRUE(bad([](RatePlanInputs& i) { i.polosaFM = 0; }));
  EXPECT_TRUE(bad([](RatePlanInputs& i) { i.timerPrescaler = 0; }));
  EXPECT_TRUE(bad([](RatePlanInputs& i) { i.timerClockHz = -1; }));
  EXPECT_TRUE(bad([](RatePlanInputs& i) { i.tZond10 = 0; }));
  EXPECT_TRUE(bad([](RatePlanInputs& i) { i.zondN = 0; }));
  EXPECT_FALSE(bad([](RatePlanInputs&) {}));
}

}  // namespace
}  // namespace kavu
