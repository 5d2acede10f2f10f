#include "scan/rate_plan_keeper.h"

#include <gtest/gtest.h>

#include "dsp/ombpf2.h"

namespace kavu {
namespace {

TEST(RatePlanKeeper, PublishesWholePlansAndServesTheBatchBuilder) {
  BPF2_InitGlobal(65536);
  ORatePlanKeeper keeper;
  ISampleClock& clock = keeper;
  EXPECT_DOUBLE_EQ(clock.SamplePeriodSec(), 1 / 20e6);
  EXPECT_EQ(clock.PlannedTickRateHz(), 156250);
  // The sample thread keeps the plan it adopted while the window publishes a new one.
  const auto adopted = keeper.Adopt();
  ASSERT_TRUE(keeper.RecomputePlan(2400000));
  EXPECT_EQ(adopted->SampleRateUsed(), 20e6);
  EXPECT_EQ(keeper.Adopt()->SampleRateUsed(), 2400000);
  EXPECT_DOUBLE_EQ(clock.SamplePeriodSec(), 1 / 2.4e6);
  // A different board timer: a new plan at the same rate, its pause and slot in the new ticks.
  clock.ReplanForBoardTimer(16000000, 64);
  EXPECT_EQ(clock.PlannedTickRateHz(), 250000);
  EXPECT_EQ(keeper.Published()->SampleRateUsed(), 2400000);
  EXPECT_DOUBLE_EQ(keeper.Published()->Slot(), 500 / 250000.0);
  // Inputs no plan can be made from leave the plan in force.
  RatePlanInputs bad = keeper.Inputs();
  bad.zondN = 0;
  EXPECT_FALSE(keeper.SetInputs(bad));
  EXPECT_EQ(keeper.Published()->ZondN(), 1);
}

}  // namespace
}  // namespace kavu
