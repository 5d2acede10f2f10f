#pragma once
// SampleLoop: the thread that consumes everything the receiver delivers into the sample rings.
//
// On each data event it takes every complete block of 1024 entries: a resynchronisation request
// (m_RingResync) drops what is buffered; while SdrLoopSkipN > 0 a block is dropped and the
// counter decremented; while SdrLoopSkipN = 0 each block goes to the scan (IScanBlockSink);
// while idle (−1) it feeds the live spectrum. It keeps the largest |I| or |Q| of each input
// (peaks, taken by the window thread) and the measured sample rate.
//
// A ring overrun while scanning is reported to the sink (the group has a hole and must be
// measured again). The "Очень долго пропускаем" line is logged at most once per second.
// Start() runs the thread; Stop() (and the destructor) ends and joins it within ~0.1 s.
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "receivers/sample_ring_reader.h"
#include "receivers/sample_rings.h"
#include "scan/live_spectrum.h"
#include "scan/loop_counters.h"

namespace kavu {

class IScanBlockSink {
 public:
  virtual ~IScanBlockSink() = default;
  // One block while scanning: 1024 interleaved I/Q float pairs of input A (and B, or null), and
  // the largest |I| or |Q| of each.
  virtual void ScanBlock(const float* a, const float* b, float peakA, float peakB) = 0;
  // Samples were lost to a ring overrun while scanning.
  virtual void ScanOverrun() = 0;
};

class SampleLoop {
 public:
  static constexpr int kBlock = 1024;

  // Everything referenced must outlive the loop. `spectrum` may be null (no live display).
  SampleLoop(SampleRings& rings, LoopCounters& counters, IScanBlockSink& sink, LiveSpectrum* spectrum);
  ~SampleLoop();
  SampleLoop(const SampleLoop&) = delete;
  SampleLoop& operator=(const SampleLoop&) = delete;

  void Start();
  void Stop();
  // Whether ring B is read (a receiver with two inputs).
  void SetHasB(bool b) { hasB_ = b; }

  // Largest |I| or |Q| since the last call, per input (window thread).
  float TakePeakA() { return peakA_.exchange(0); }
  float TakePeakB() { return peakB_.exchange(0); }
  // Measured sample rate, samples per second (0 until a second of data has passed).
  double MeasuredRate() const { return rate_.load(); }
  // Blocks taken from the rings so far (any state): lets a watchdog see that data still comes.
  // A block is counted after it has been dealt with: dropped (SdrLoopSkipN decremented), handed
  // to the scan or the spectrum, or reported as an overrun.
  int64_t BlocksSeen() const { return blocks_.load(); }

 private:
  void Run();
  void ConsumeRing();
  void ProcessOne();
  void HandleBlock(bool overrun, bool hasB);
  static float Peak(const IqEntry* e, int n);

  SampleRings& rings_;
  LoopCounters& counters_;
  IScanBlockSink& sink_;
  LiveSpectrum* spectrum_;
  SampleRingReader reader_;
  std::unique_ptr<IqEntry[]> a_, b_, prevA_, prevB_;
  std::atomic<bool> hasB_{false};
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::atomic<float> peakA_{0}, peakB_{0};
  std::atomic<double> rate_{0};
  std::atomic<int64_t> blocks_{0};
  int64_t rateSamples_ = 0;
  int64_t rateStartNs_ = 0;
  int64_t lastLongSkipLogNs_ = 0;
};

}  // namespace kavu
