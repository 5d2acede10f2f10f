#include "scan/rate_plan_keeper.h"

#include "dsp/sample_rate_plan.h"

namespace kavu {

ORatePlanKeeper::ORatePlanKeeper(const RatePlanInputs& inputs) {
  if (!SetInputs(inputs)) SetInputs(RatePlanInputs{});
}

bool ORatePlanKeeper::SetInputs(const RatePlanInputs& inputs) {
  auto plan = kavu::RecomputePlan(inputs);
  if (!plan) return false;
  inputs_ = inputs;
  published_.store(std::move(plan), std::memory_order_release);
  return true;
}

bool ORatePlanKeeper::RecomputePlan(double sampleRate) {
  RatePlanInputs in = inputs_;
  in.sampleRate = sampleRate;
  return SetInputs(in);
}

double ORatePlanKeeper::SamplePeriodSec() const { return Published()->SamplePeriod(); }

double ORatePlanKeeper::PlannedTickRateHz() const { return Published()->TickRate(); }

void ORatePlanKeeper::ReplanForBoardTimer(double clock_hz, double divider) {
  RatePlanInputs in = inputs_;
  in.timerClockHz = clock_hz;
  in.timerPrescaler = divider;
  SetInputs(in);
}

}  // namespace kavu
