#pragma once
// OSignalChain: the mixer, block filter and decimator that every 1024-sample receiver block of a
// scan group passes through, with the group's sample stores.
//
// Per block: a numerically controlled oscillator shifts the current generator frequency to 0 Hz
// (one complex multiplication per sample, renormalised once per block); the plan's low-pass
// filter is applied in the frequency domain on overlapping blocks (forward 2048, multiply by H,
// inverse 2048: a linear convolution, delayed by 512 samples); the result is decimated by D.
// Beside the filtered samples X (input A) and Y (input B) the chain keeps the mixed unfiltered
// samples (raw stores) and P, the mean |unfiltered mixed A|² over each decimation period.
//
// Sample positions. Input samples are counted from the first block after ResetBatch() (that
// block only primes the overlap). Decimated sample k is the filtered value centred on input
// sample 511 + (k + 1)·D; P[k] averages the D unfiltered samples ending there.
//
// Construction validates the capacity and allocates every store once (64-byte aligned); nothing
// is allocated while processing. Used by one thread at a time; the window may read the stores
// after a scan has ended. Copies are independent and behave exactly like the original.
#include <cstdint>
#include <memory>
#include <string>

#include "dsp/aligned_store.h"
#include "dsp/ombpf2.h"

namespace kavu {

class SampleRatePlan;

class OSignalChain {
 public:
  static constexpr int kBlock = 1024;
  static constexpr int kFilterSize = 2 * kBlock;
  static constexpr int64_t kProgramCapacity = 5000000;
  static constexpr int kNoSwitch = -1;

  // capacity: samples per store, kBlock … 2^31 − 1 (the program uses kProgramCapacity, tests
  // less). Null with the reason in `error` when it is out of range. The block filter transforms
  // with `fft` (NNMax at least kFilterSize, else FatalError "BPF_GetSinTablePointer() - ...").
  static std::unique_ptr<OSignalChain> Create(FftSetupPtr fft, int64_t capacity, std::string* error = nullptr);
  OSignalChain(const OSignalChain& other);
  OSignalChain& operator=(const OSignalChain&) = delete;

  // Takes the filter response (2048 bins) and the decimation factor of a plan. Call between
  // groups only (before ResetBatch), never inside one.
  void UsePlan(const SampleRatePlan& plan);
  // The same from raw values; false (nothing changed) unless 1 ≤ D ≤ 100 and every bin is finite.
  bool SetFilter(const FftComplex* H, int D);

  // Oscillator step per sample e^(−jg): g = 2π Δ′ / r, Δ′ already folded into (−r/2, r/2]. The
  // phase runs on; only the step changes.
  void SetMixer(double g);
  // Changes the step to e^(−jg) from input sample `atInput` on (counted as above), inside
  // whichever block holds it; a position already passed takes effect at the next block's first
  // sample. One change can be pending; a new call replaces it.
  void ScheduleMixer(double g, int64_t atInput);
  bool MixerPending() const { return pendingAt_ >= 0; }

  // Starts a group: raw and decimated counts, input count, power sum and counter to 0; a pending
  // oscillator change is dropped (its position counted in the old group). The phasor and its
  // step run on.
  void ResetBatch();
  // One block of kBlock samples of input A and, when present, input B (b null = one input).
  // Inputs are not modified. Nothing is done once the decimated store is full. `switchAt` in
  // 0 … kBlock−1 changes the oscillator's step to e^(−jg) from that sample of this block on.
  void ProcessBlock(const FftComplex* a, const FftComplex* b, int switchAt = kNoSwitch, double g = 0);
  // The same for blocks of interleaved float I/Q pairs, as the receiver rings hold them.
  void ProcessBlockIq(const float* a, const float* b, int switchAt = kNoSwitch, double g = 0);
  bool IsFull() const { return decimated_ >= capacity_; }
  // Zeroes the stores' used parts and the counts, D = 5, phasor (1, 0), step 1, no filter change.
  void Clear();

  int64_t Capacity() const { return capacity_; }
  int64_t RawCount() const { return rawCount_; }
  int64_t DecimatedCount() const { return decimated_; }
  int64_t InputCount() const { return inputCount_; }
  bool HasB() const { return hasB_; }
  int Decimation() const { return d_; }

  // Stores, valid below their counts.
  const FftComplex* RawA() const { return rawA_.data(); }
  const FftComplex* RawB() const { return rawB_.data(); }
  const FftComplex* X() const { return x_.data(); }
  const FftComplex* Y() const { return y_.data(); }
  const double* P() const { return p_.data(); }
  // The sync detector's output (window mean power per decimated sample), written by it.
  double* Detector() { return det_.data(); }
  const double* Detector() const { return det_.data(); }

  // One-signal view accessors; 0 outside the stored range.
  FftComplex RawSample(int64_t k) const;
  FftComplex DecimatedSample(int64_t k) const;
  double PowerSample(int64_t k) const;
  double DetectorSample(int64_t k) const;  // the square root of the stored window mean

  FftComplex Phasor() const { return phasor_; }

 private:
  OSignalChain(FftSetupPtr fft, int64_t capacity);
  template <class In>
  void Process(const In& in, bool twoInputs, int switchAt, double g);
  template <class In>
  void Mix(const In& in, bool twoInputs, int switchAt, double g, bool toRaw);
  template <bool kTwo, bool kRaw, class In>
  void MixLoop(const In& in, int from, int to, FftComplex& ph, FftComplex st);
  void FilterAndDecimate(bool twoInputs);

  int64_t capacity_;
  AlignedStore<FftComplex> rawA_, rawB_, x_, y_;
  AlignedStore<double> p_, det_;
  int64_t rawCount_ = 0, decimated_ = 0, inputCount_ = 0;
  bool hasB_ = false;

  // Two transform buffers per input, used in turn: the block being filtered sits in [0, 1024) of
  // one with the previous block in [1024, 2048); mixing writes each block to both places at once.
  AlignedStore<FftComplex> bufA_[2], bufB_[2], H_;
  int which_ = 0;
  AlignedStore<int32_t> taps_;  // positions in the block where a decimated sample falls
  FftComplex phasor_{1, 0}, step_{1, 0};
  int64_t pendingAt_ = -1;
  double pendingG_ = 0;
  int d_ = 5;
  double invD_ = 0.2;
  double powerSum_ = 0;
  int counter_ = 0;
  OMBPF2 fft_;
};

}  // namespace kavu
