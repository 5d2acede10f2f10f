#pragma once
// ORatePlanKeeper: owns the inputs of the sample-rate plan, makes a new plan whenever one of
// them changes, and publishes it atomically to the sample thread.
//
// Window thread: Inputs()/SetInputs(), RecomputePlan(r0), Published(), and the batch builder's
// ISampleClock calls. Sample thread: Adopt() at the start of a group or while idle; between two
// adoptions its plan never changes, so a group is filtered and measured with one plan.
#include <atomic>
#include <memory>

#include "board/sample_clock.h"
#include "dsp/sample_rate_plan.h"

namespace kavu {

class ORatePlanKeeper : public ISampleClock {
 public:
  // Makes the first plan from `inputs` (the main window uses a rate of 20,000,000 Hz); when the
  // inputs give no plan, the shipped defaults are used. Every plan's filter is designed with
  // `fft` (NNMax at least 65536), which the keeper keeps for its users.
  explicit ORatePlanKeeper(FftSetupPtr fft, const RatePlanInputs& inputs = RatePlanInputs{});

  // The FFT setup of the station: the signal chain and the live spectrum transform with it.
  const FftSetupPtr& Fft() const { return fft_; }

  const RatePlanInputs& Inputs() const { return inputs_; }
  // Replaces the inputs (options window closed) and recomputes, logging the new plan's notes;
  // false (old plan kept, the reason logged in red as "RecomputePlan() - ...") when no plan can
  // be made from them.
  bool SetInputs(const RatePlanInputs& inputs);
  // A receiver reported a new sample rate.
  bool RecomputePlan(double sampleRate);

  // The newest plan (window thread).
  std::shared_ptr<const SampleRatePlan> Published() const { return published_.load(std::memory_order_acquire); }
  // Sample thread: takes the newest plan; call only at the start of a group or while idle.
  std::shared_ptr<const SampleRatePlan> Adopt() const { return published_.load(std::memory_order_acquire); }

  // ISampleClock (window thread).
  double SamplePeriodSec() const override;
  double PlannedTickRateHz() const override;
  void ReplanForBoardTimer(double clock_hz, double divider) override;

 private:
  FftSetupPtr fft_;
  RatePlanInputs inputs_;
  std::atomic<std::shared_ptr<const SampleRatePlan>> published_;
};

// Logs a plan's notes in their colours (warnings red, the notice yellow, the rest plain).
void LogPlanNotes(const SampleRatePlan& plan);

}  // namespace kavu
