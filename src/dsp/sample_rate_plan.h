#pragma once
// The sample-rate plan: every quantity of the signal chain that depends on the receiver's sample
// rate, derived in one place, and the low-pass filter that isolates the generator's tone after
// mixing (a windowed sinc, kept as a 2048-bin frequency response for the block filter).
//
// A plan is immutable once made. The window thread makes a new one whenever an input changes
// (RecomputePlan) and publishes it; the sample thread adopts a published plan only at the start
// of a group or while idle (see ORatePlanKeeper), so a plan never changes under a group being
// filtered.
//
// Units: rates in Hz (samples per second), durations in seconds, lengths of the board's timeline
// in decimated samples (real, as the measurement uses them), filter bins in units of r / 65536.
// The filter is designed with the FftSetup the caller passes (its NNMax at least 65536).
#include <complex>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dsp/ombpf2.h"

namespace kavu {

// Inputs of the plan (the options window's values and the board's timer), defaults as shipped.
struct RatePlanInputs {
  double sampleRate = 20000000;   // r0, the receiver's sample rate, Hz
  int delay1Ms = 100;             // m_Delay1_ms: settling after retuning, ms
  int upTimeGraphikMs = 50;       // m_UpTimeGraphik_ms
  int upTimeVodopadMs = 20;       // m_UpTimeVodopad_ms
  double polosaFM = 20000;        // m_PolosaFM: filter bandwidth BW, Hz
  int tZond10 = 20;               // m_TZond10: slot duration, 0.1 ms
  int zondN = 1;                  // m_ZondN: A–O repetitions per frequency
  int multyPPS = 0;               // m_MultyPPS: correction of the board's durations, ppm
  double timerClockHz = 10000000; // the board's timer clock
  double timerPrescaler = 64;     // and its prescaler
};

// One line of a plan's computation for the log: a warning (red), a notice (yellow) or plain.
enum class PlanNoteKind { kWarning, kNotice, kPlain };
struct PlanNote {
  PlanNoteKind kind = PlanNoteKind::kPlain;
  std::string text;
};

class SampleRatePlan {
 public:
  static constexpr int kFilterBins = 2048;
  static constexpr int kResponseBins = 65536;

  const RatePlanInputs& Inputs() const { return in_; }

  double SampleRateUsed() const { return r_; }  // r, at least 8000 Hz
  double SamplePeriod() const { return 1.0 / r_; }
  int SettleBlocks() const { return settleBlocks_; }  // 1024-sample blocks after a group is sent
  int GraphBlocks() const { return graphBlocks_; }
  double GraphBlocksReciprocal() const { return 1.0 / graphBlocks_; }
  int WaterfallBlocks() const { return waterfallBlocks_; }
  double TickRate() const { return tick_; }  // board timer ticks per second
  double Pause() const { return pause_; }    // 1 ms in whole ticks (at least one), s
  double Slot() const { return slot_; }      // measurement slot in whole ticks (at least one), s
  int ZondN() const { return in_.zondN; }
  double Guard() const { return guard_; }    // min(slot / 4, 0.5 ms), s
  double CutOff() const { return fc_; }      // nominal cut-off fc, Hz
  int HalfLength() const { return halfLength_; }  // B, input samples, 1 … 512
  // The filter's response, 2048 bins, H[0] = 1; 32-byte aligned.
  const FftComplex* Response() const { return H_.data(); }
  int F3Bin() const { return f3_; }
  int FirstNullBin() const { return fl_; }
  double F3Hz() const { return f3_ * r_ / kResponseBins; }
  double FirstNullHz() const { return fl_ * r_ / kResponseBins; }
  int CutOffBin() const { return i0_; }
  // |R[k]|² / |R[0]|² of the 65536-bin response for k = 0 … 32768 (the diagnostic view).
  const std::vector<double>& ResponsePower() const { return power_; }
  int Decimation() const { return d_; }      // D, 1 … 100
  double DecimatedRate() const { return r_ / d_; }
  double DecimatedPeriod() const { return d_ / r_; }
  double BoardRate() const { return v_; }    // V: the decimated rate on the board's clock
  double SlotLen() const { return q_; }      // q, decimated samples (real)
  int SlotLenRounded() const { return qRounded_; }
  int GuardLen() const { return g_; }        // G, decimated samples
  double PauseLen() const { return p_; }     // p, decimated samples (real)
  // Length of a group of `count` frequencies in decimated samples: 2N·q + p, plus
  // ((2N+1)·q + p) per further frequency, rounded, at least 1.
  int64_t GroupLength(int count) const;

  // What the computation has to say, in order, for the caller to log: the red line about a rate
  // raised to 8000 Hz, the "Перерасчеты ..." notice, the filter's cut-off and first null, the
  // decimation. Each text ends in "\n".
  const std::vector<PlanNote>& Notes() const { return notes_; }

 private:
  friend std::shared_ptr<const SampleRatePlan> RecomputePlan(const FftSetupPtr&, const RatePlanInputs&,
                                                             std::string*);
  SampleRatePlan() = default;
  bool Compute(const FftSetupPtr& fft, std::string* error);
  void DesignFilter(const FftSetupPtr& fft);
  void AnalyseResponse(const FftSetupPtr& fft);

  RatePlanInputs in_;
  double r_ = 0;
  int settleBlocks_ = 1, graphBlocks_ = 2, waterfallBlocks_ = 2;
  double tick_ = 0, pause_ = 0, slot_ = 0, guard_ = 0, fc_ = 0;
  int halfLength_ = 1;
  FftVector H_;
  std::vector<double> power_;
  int f3_ = 0, fl_ = 0, i0_ = 0, d_ = 1;
  double v_ = 0, q_ = 0, p_ = 0;
  int qRounded_ = 1, g_ = 0;
  std::vector<PlanNote> notes_;
};

// Recomputes the whole plan; it logs nothing: what the program always logged comes back in the
// plan's Notes(). A rate below 8000 Hz is raised to 8000 Hz with a warning note. Inputs that no
// plan can be made from (a rate that is not a finite number, a non-positive timer, bandwidth,
// slot or repetition count) give null and the reason in `error`. The filter is transformed with
// `fft`; a setup smaller than kResponseBins stops the program (FatalError
// "BPF_GetSinTablePointer() - параметр NN > BaseNN !!!"), a broken caller, never a plan.
std::shared_ptr<const SampleRatePlan> RecomputePlan(const FftSetupPtr& fft, const RatePlanInputs& in,
                                                    std::string* error = nullptr);

}  // namespace kavu
