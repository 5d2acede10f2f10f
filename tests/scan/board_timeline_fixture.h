#pragma once
// A synthetic receiver recording of one scan group, played exactly as the control board plays
// the group's batch: the generator's reference signal before the batch starts, the reference
// burst max(Tz, 2048 samples), the sync pause T1, then per frequency (after the first: the
// settling pause T1 + Tz at the new frequency) N pairs of antenna (A) and reference (O) slots of
// length Tz; durations in whole board ticks from the plan. A = ρ·O with ρ from the forward bridge
// model of each frequency's load. Impairments: complex white noise, a slow generator phase
// wander, a random phase per frequency, a generator frequency error, a DC spike.
#include <complex>
#include <cstdint>
#include <vector>

#include "dsp/sample_rate_plan.h"

namespace kavu::test {

struct TimelineSpec {
  const SampleRatePlan* plan = nullptr;
  double tuningHz = 0;
  std::vector<double> freqs;                // Hz
  std::vector<std::complex<double>> rho;    // A/O per frequency
  double amplitude = 100;                   // |O| at the receiver
  double inBandSnrDb = 60;                  // reference tone to noise within m_PolosaFM
  double ppm = 0;                           // generator frequency error
  double wanderRad = 0.4;                   // amplitude of the slow phase wander (5 Hz and 2 Hz)
  std::complex<double> dc{3, -2};           // DC spike
  int64_t leadIn = 3000;                    // samples of reference signal before the batch
  bool duo = false;                         // input B records the reference node throughout
  std::complex<double> duoGain{0.8, 0.3};
  unsigned seed = 1;
};

struct Timeline {
  std::vector<std::complex<double>> a, b;   // whole 1024-sample blocks
  int64_t pauseStart = 0;                   // first input sample of the sync pause
};

Timeline MakeGroupTimeline(const TimelineSpec& spec);

}  // namespace kavu::test
