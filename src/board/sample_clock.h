#pragma once
// What the frequency-batch builder needs from the receiver side's sample-rate plan.
//
// The batch builder times its delays in ticks of the control board's timer and makes the first
// delay last at least 2048 receiver samples, so it asks the plan in force for the receiver's
// sample period. The plan itself rounds its pause and slot lengths to whole board ticks; when the
// board reports a timer whose tick rate differs from the one the plan was computed with, the
// generator initialisation asks for a new plan at the current sample rate.
//
// Implemented by the signal-chain code (the sample-rate plan); tests use a fake. All calls come
// from the window thread.
namespace kavu {

class ISampleClock {
 public:
  virtual ~ISampleClock() = default;

  // Receiver sample period of the plan in force, in seconds (1 / m_SampleRateUsed); > 0.
  virtual double SamplePeriodSec() const = 0;

  // Tick rate of the board's timer, in ticks per second (timer clock / divider), that the plan
  // in force was computed with; > 0.
  virtual double PlannedTickRateHz() const = 0;

  // Recomputes the plan at the current sample rate for a board timer of `clock_hz` / `divider`
  // ticks per second (both > 0). Afterwards PlannedTickRateHz() reports the new rate.
  virtual void ReplanForBoardTimer(double clock_hz, double divider) = 0;
};

}  // namespace kavu
