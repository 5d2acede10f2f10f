#pragma once
// OneSignalSnapshot: a copy of what the one-signal view draws, taken from the scan's stores once a
// scan has ended (the stores are rewritten by the next scan, and the sample thread must never be
// read from while it writes them).
//
// Every series is plotted against time in milliseconds relative to the sync index E (0 when no
// sync was found): decimated sample k lies at (k − E)·TD, TD = 1 / rD the decimated period; raw
// (undecimated) sample k lies at decimated position (k − 511) / D − 1, the filter's 512-sample
// delay taken out, so raw and decimated series line up.
//
// Complex series are turned back by the last phase model, s·e^(−jφ), so a steady tone stands
// still: their amplitude and phase are what the measurement accumulated. Real series hold the
// square root of the sync detector's window mean and of the whole-band power P[k].
//
// Time bands mark the sync reference (decimated samples 0 … q) and, for every repetition of the
// group's last frequency, its windows W1 and W3 (O slots) and W2 (A slot), guard removed.
#include <complex>
#include <cstdint>
#include <vector>

namespace kavu {

class OMeasurement;
class OSignalChain;

// Samples evenly spaced in time: sample i at t0 + i·dt (ms).
template <class T>
struct TimeSeries {
  double t0 = 0, dt = 1;
  std::vector<T> v;
  double TimeOf(int64_t i) const { return t0 + static_cast<double>(i) * dt; }
  bool Empty() const { return v.empty(); }
};

struct TimeBand {
  double from = 0, to = 0;  // ms
  uint32_t rgb = 0;         // 0xRRGGBB
};

class OneSignalSnapshot {
 public:
  // Samples kept per series at most; a longer store keeps its first kMaxSamples (the windows of
  // a group's first frequencies lie there).
  static constexpr int64_t kMaxSamples = int64_t{1} << 21;
  static constexpr uint32_t kReferenceRgb = 0xC8C8FF;  // RGB 200, 200, 255
  static constexpr uint32_t kOSlotRgb = 0xC8FFC8;      // RGB 200, 255, 200
  static constexpr uint32_t kASlotRgb = 0xFFFFC8;      // RGB 255, 255, 200

  // Copies the stores. Call only while no scan runs. Empty stores give empty series.
  void Take(const OMeasurement& meas, const OSignalChain& chain);

  TimeSeries<std::complex<float>> rawA, rawB, decA, decB;  // turned back by e^(−jφ)
  TimeSeries<float> filteredAmplitude;                     // √(detector window mean)
  TimeSeries<float> wholeBand;                             // √P[k]
  std::vector<TimeBand> bands;
  int64_t syncIndex = 0;       // E, 0 = none
  double decimatedMs = 0;      // TD in ms
  int decimation = 1;          // D
  bool hasB = false;
  bool truncated = false;      // a store was longer than kMaxSamples
};

}  // namespace kavu
