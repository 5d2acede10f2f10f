#include "scan/rate_plan_keeper.h"

#include "dsp/sample_rate_plan.h"
#include "shell/log_console.h"

namespace kavu {

void LogPlanNotes(const SampleRatePlan& plan) {
  for (const PlanNote& note : plan.Notes()) {
    switch (note.kind) {
      case PlanNoteKind::kWarning:
        LogRed(note.text);
        break;
      case PlanNoteKind::kNotice:
        Log() << LogColour(kColourNotice) << note.text << LogColour(kColourNormal);
        break;
      case PlanNoteKind::kPlain:
        Log() << note.text;
        break;
    }
  }
}

ORatePlanKeeper::ORatePlanKeeper(FftSetupPtr fft, const RatePlanInputs& inputs) : fft_(std::move(fft)) {
  if (!SetInputs(inputs)) SetInputs(RatePlanInputs{});
}

bool ORatePlanKeeper::SetInputs(const RatePlanInputs& inputs) {
  std::string why;
  auto plan = kavu::RecomputePlan(fft_, inputs, &why);
  if (!plan) {
    LogRed("RecomputePlan() - " + why + "\n");
    return false;
  }
  LogPlanNotes(*plan);
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
