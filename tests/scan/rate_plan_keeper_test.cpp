#include "scan/rate_plan_keeper.h"

#include <gtest/gtest.h>

#include "dsp/fft_test_util.h"
#include "dsp/ombpf2.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

TEST(RatePlanKeeper, PublishesWholePlansAndServesTheBatchBuilder) {
  ORatePlanKeeper keeper(test::HostFft());
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

TEST(RatePlanKeeper, LogsEachNewPlansNotesAndTheReasonForNoPlan) {
  Log().SetSink(OLogConsole::Sink::None);
  Log().SetCapture(true);
  ORatePlanKeeper keeper(test::HostFft());
  Log().TakeCaptured();
  ASSERT_TRUE(keeper.RecomputePlan(4000));  // below 8000 Hz: raised, with a red line first
  const std::string log = Log().TakeCaptured();
  const auto plan = keeper.Published();
  ASSERT_EQ(plan->Notes().size(), 4u);
  EXPECT_EQ(plan->Notes()[0].kind, PlanNoteKind::kWarning);
  EXPECT_EQ(plan->Notes()[0].text,
            "Частота дискретизации слишком низкая, не поддерживается, SamplingF=4000 исп m_SampleRateUsed=8000\n");
  EXPECT_EQ(plan->Notes()[1].kind, PlanNoteKind::kNotice);
  std::string joined;
  for (const PlanNote& n : plan->Notes()) joined += n.text;
  EXPECT_EQ(log, joined);
  EXPECT_NE(log.find("Перерасчеты при смене частоты дискретизации Sdr до m_SampleRateUsed = 0.008 МГц \n"),
            std::string::npos);
  EXPECT_NE(log.find(" Децимация 1 раз, до частоты выборок 8 кГц \n"), std::string::npos);
  EXPECT_NE(log.find(" Задана f_среза="), std::string::npos);

  RatePlanInputs bad = keeper.Inputs();
  bad.zondN = 0;
  EXPECT_FALSE(keeper.SetInputs(bad));
  EXPECT_EQ(Log().TakeCaptured(), "RecomputePlan() - число повторов m_ZondN меньше 1\n");
  Log().SetCapture(false);
}

}  // namespace
}  // namespace kavu
