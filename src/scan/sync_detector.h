#pragma once
// OSyncDetector: finds the silent synchronisation pause at the start of a group's timeline in the
// decimated samples X of input A.
//
// The first q samples (the reference burst) set the threshold, 0.49 of their mean power (0.7²);
// from sample q on, the mean power of the last L = min(q, p/2) samples is compared with it, and
// the first window below it places E, the decimated sample where the signal vanishes, at the
// window's middle. Every examined window mean is written to the chain's detector store. A silent
// receiver (threshold 0) never finds a pause. Runs on the sample thread, after every block.
#include <cstdint>

#include "dsp/signal_chain.h"

namespace kavu {

class OSyncDetector {
 public:
  // SyncStart: q = slot length, pHalf = half the pause, both in decimated samples (truncated;
  // the reference length and the window are at least 1 sample).
  void Start(double q, double pHalf);
  // SyncStep: examines the samples stored since the last call. Logs "ОБНАРУЖЕН СИНХРОИМПУЛЬС"
  // in colour 13 when the pause is found.
  void Step(OSignalChain& chain);

  bool Found() const { return e_ > 0; }
  int64_t E() const { return e_; }  // 0 = not found
  int64_t ReferenceLength() const { return q_; }
  int64_t Window() const { return l_; }
  double Threshold() const { return threshold_; }

 private:
  int64_t q_ = 1, l_ = 1;
  int64_t next_ = 0;  // first sample not yet examined
  double refSum_ = 0, windowSum_ = 0, threshold_ = 0;
  int64_t e_ = 0;
};

}  // namespace kavu
