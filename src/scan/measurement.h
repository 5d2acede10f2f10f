#pragma once
// OMeasurement: turns the stored samples of a scan group into one point per frequency.
//
// Called on the sample thread, block by block, exactly as the sample loop does it:
//
//   m.StartGroup(plan, freqs, count, f0);        // first block of the group (SyncStart)
//   per block:  chain.ProcessBlock(a, b);  m.AfterBlock();   // SyncStep, oscillator schedule
//               while (m.Ready(next)) m.GetDataN(next++);
//
// AfterBlock() also schedules the oscillator's change to the next frequency in the middle of the
// unused part of the settling pause before it (ScheduleMixer), so every window is mixed at its
// own frequency whatever the sample rate.
//
// A point is written into the current result set with Append (record first, then a release-store
// of the count), then R + jX, Γ and SWR are computed for it and the range summary is updated.
// Levels in dB of power (0 for a power ≤ 0), phases in radians (stored negated), delay in s,
// frequency error in ppm.
#include <array>
#include <cstdint>
#include <limits>
#include <string>

#include "dsp/sample_rate_plan.h"
#include "dsp/signal_chain.h"
#include "measure/impedance_computer.h"
#include "receivers/receiver_levels.h"
#include "results/ant_izms.h"
#include "scan/phase_model.h"
#include "scan/scan_group.h"
#include "scan/sync_detector.h"

namespace kavu {

class OScanPlan;

// The last measured point, for the main window's status line.
struct MeasuredPoint {
  double f = -1;  // Hz; -1 = none yet
  double r = 0, x = 0, swr = 0;
  Complex gamma{0, 0};
};

class OMeasurement {
 public:
  // `chain` and `set` must outlive the measurement.
  OMeasurement(OSignalChain& chain, AntIzms& set);

  // Optional collaborators (null: no impedance / summary, gains and overloads 0).
  void SetImpedance(const ImpedanceComputer* z) { impedance_ = z; }
  void SetLevels(const IReceiverLevels* levels) { levels_ = levels; }
  void SetScanPlan(OScanPlan* plan) { scanPlan_ = plan; }
  void SetResultSet(AntIzms& set) { set_ = &set; }

  // First block of a group: takes the group (frequencies in Hz, f0 = the generator frequency set
  // for it), the receiver tuning and the plan adopted for it; sets the oscillator to f0, resets
  // the chain's batch and starts the sync detector (SyncStart(q, p/2)).
  void StartGroup(const SampleRatePlan& plan, const double* freqs, int count, double f0, double tuningHz);
  // After each processed block: SyncStep and the oscillator schedule.
  void AfterBlock();
  // The receiver's largest |I| or |Q| since the last point (the scan's peak tracker).
  void NotePeaks(float peakA, float peakB);

  // What GetDataN made of a frequency.
  enum class Outcome {
    kPoint,        // a point was added
    kSetFull,      // the result set is full: no point
    kIncomplete,   // not all of the frequency's samples are stored
    kImplausible,  // the samples do not show the board's timeline (no tone in the reference
                   // slots, a pause that is not quiet, slots out of step): no point
  };
  // The limits a frequency's samples must meet before a point is made of them. The reference
  // ("O") slots carry the generator's tone through the bridge's reference arm whatever the load,
  // so they must hold one steady tone: their mean, turned back by the phase model, keeps most of
  // their power (noise alone keeps about 1/n of it), and every O window's own mean is near the
  // mean of all; the sync pause (first frequency of a group) is quiet against them.
  static constexpr double kMinReferenceCoherence = 0.5;  // |mean O|² / mean |O|²
  static constexpr double kMaxPauseToReference = 0.25;   // mean |pause|² / mean |O|²
  static constexpr double kMaxWindowSpread = 4.0;        // an O window's |mean|² within ×/÷ 4 of |O|²

  bool SyncFound() const { return sync_.Found(); }
  int64_t E() const { return sync_.E(); }
  const OSyncDetector& Sync() const { return sync_; }
  // The samples of frequency `index` are complete: E + ((2N+1)·q + p)·(index+1) − q stored.
  bool Ready(int index) const;
  // Measures frequency `index`. Incomplete data (also windows that would start before sample 0
  // after an early false sync) gives the red "некомплект данных" line and no point; samples that
  // fail the limits above give a red line naming the limit and no point. The scan plan's current
  // frequency moves to the frequency only when its point is made.
  Outcome GetDataN(int index);
  // Why the last GetDataN found the samples implausible (empty otherwise).
  const std::string& Rejection() const { return rejection_; }

  // Oscillator step for frequency f with the receiver tuned to `tuningHz` at rate r: the offset
  // folded into the sampled band, 2π Δ′ / r.
  static double MixerStep(double f, double tuningHz, double r);
  // Input sample (counted as OSignalChain counts) from which frequency m ≥ 1 is mixed.
  int64_t SwitchInput(int m) const;

  const MeasuredPoint& LastPoint() const { return last_; }
  // Accumulated seconds: the three stages of GetDataN (reference fit, residual fit,
  // accumulation) and GetDataN in all.
  const std::array<double, 3>& StageSeconds() const { return stages_; }
  double ProcessingSeconds() const { return processing_; }
  void ResetTimers();
  // The phase model of the last repetition measured (one-signal view).
  const OPhaseModel& Model() const { return model_; }
  // The last group's timeline as StartGroup took it (one-signal view): q and p in decimated
  // samples, the decimated rate rD in Hz, the guard G, the repetitions N, the frequency count.
  double SlotLen() const { return q_; }
  double PauseLen() const { return p_; }
  double DecimatedRate() const { return rD_; }
  int GuardLen() const { return G_; }
  int Repetitions() const { return N_; }
  int GroupCount() const { return count_; }
  // One-signal view: decimated sample k, and raw (undecimated) sample k, turned back by the
  // current phase model, e^(−jφ); 0 outside the stored samples. Raw sample k lies at decimated
  // position (k − 511) / D − 1.
  FftComplex ViewDecimated(int64_t k) const;
  FftComplex ViewRaw(int64_t k) const;

 private:
  struct Acc {
    double n = 0, pw = 0, P = 0;
    FftComplex s{0, 0};
  };
  struct Sums {
    Acc o, a, pause, oB, aB;
    FftComplex crossA{0, 0}, crossO{0, 0};
    double rate = 0;
    // The smallest and largest |mean|² of a single O window.
    double oWindowMin = std::numeric_limits<double>::infinity(), oWindowMax = 0;
  };
  void AccumulateO(SampleWindow w, Sums& s, Acc* y) const;
  // Empty when the sums meet the limits, else the reason.
  // `pausePower`: mean |X|² over the sync pause's window (first frequency), else negative.
  std::string Implausible(const Sums& s, double pausePower) const;
  void Accumulate(SampleWindow w, Acc& x, Acc* y, FftComplex* cross) const;
  bool Complete(int index, const FrequencyWindows& w) const;
  void Repetitions(int index, const FrequencyWindows& w, Sums& s);
  AntIzm Record(int index, double f, const Sums& s);
  void Publish(double f);

  OSignalChain* chain_;
  AntIzms* set_;
  const ImpedanceComputer* impedance_ = nullptr;
  const IReceiverLevels* levels_ = nullptr;
  OScanPlan* scanPlan_ = nullptr;

  OSyncDetector sync_;
  OPhaseModel model_;
  std::array<double, kMaxGroupFrequencies> freqs_{};
  int count_ = 0;
  double f0_ = 0, tuning_ = 0, r_ = 0, rD_ = 0, q_ = 0, p_ = 0;
  int G_ = 0, N_ = 1, D_ = 1;
  int nextSwitch_ = 1;
  float peakA_ = 0, peakB_ = 0;
  std::array<double, 3> stages_{};
  double processing_ = 0;
  MeasuredPoint last_;
  std::string rejection_;
};

}  // namespace kavu
