#pragma once
// LiveSpectrum: the live picture's numbers while no scan runs. Each block is transformed with
// the block before it (2048 samples in time order, Hann window tapering both ends), |bin|² is
// averaged over the graph period (graph spectrum) and over the waterfall period (one waterfall
// line); the window thread takes both as plain data and draws them. Bins in transform order
// (0 … 1023 positive offsets, 1024 … 2047 negative), power in squared sample units.
//
// Feed() runs on the sample thread; Graph()/TakeLines() on any thread (a mutex guards the
// hand-over, never the transforms).
#include <array>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "dsp/ombpf2.h"

namespace kavu {

struct SpectrumFrame {
  std::vector<float> a, b;  // 2048 bins each; b empty without a second input
  int64_t number = 0;       // frames completed so far (0: none yet)
  double maxDb = 0;         // highest bin level of the frame
  double minCentreDb = 0;   // lowest level within ±r/4 of the centre
};

class LiveSpectrum {
 public:
  static constexpr int kSize = 2048;
  static constexpr size_t kMaxLines = 512;

  LiveSpectrum();
  // Averaging periods in blocks (at least 1 each).
  void SetPeriods(int graph_blocks, int waterfall_blocks);
  // One block: `prev`, `cur` are 1024 interleaved I/Q pairs each (b: null without input B).
  void Feed(const float* prevA, const float* curA, const float* prevB, const float* curB);
  // The window function value at sample i (0 … 2047), time order.
  static double Window(int i);

  SpectrumFrame Graph() const;
  // Waterfall lines completed since the last call (oldest first, at most kMaxLines kept).
  std::vector<SpectrumFrame> TakeLines();

 private:
  void Transform(const float* prev, const float* cur, std::vector<double>& sumsTo, std::vector<double>& wfTo);
  SpectrumFrame Average(const std::vector<double>& a, const std::vector<double>& b, int count, int64_t number) const;

  OMBPF2 fft_;
  FftVector buf_;
  std::array<double, kSize> w_{};
  std::vector<double> graphA_, graphB_, wfA_, wfB_;
  int graphN_ = 0, wfN_ = 0, graphBlocks_ = 2, wfBlocks_ = 2;
  bool hasB_ = false;
  mutable std::mutex mutex_;
  SpectrumFrame graph_;
  std::deque<SpectrumFrame> lines_;
  int64_t graphCount_ = 0, lineCount_ = 0;
};

}  // namespace kavu
