#pragma once
// LiveSpectrum: the live picture's numbers while no scan runs. Each block is transformed with
// the block before it (2048 samples in time order, Hann window tapering both ends), |bin|² is
// averaged over the graph period (graph spectrum) and over the waterfall period (one waterfall
// line); the window thread takes both as plain data and draws them. Bins in transform order
// (0 … 1023 positive offsets, 1024 … 2047 negative), power in squared sample units.
//
// The periods, in blocks, are the rate plan's graph and waterfall block counts when a plan
// source is given (followed whenever a new plan is published), else those of SetPeriods.
//
// Feed() runs on the sample thread and allocates nothing: the sums, the last graph average and
// a ring of kMaxLines waterfall lines are allocated when the object is made. Graph()/TakeLines()
// on any thread (a mutex guards the hand-over, never the transforms). A listener is told on the
// window thread that a graph frame is ready, at most once per kMinNoticeMs.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "dsp/ombpf2.h"
#include "platform/event_loop.h"
#include "scan/rate_plan_keeper.h"
#include "shell/liveness.h"

namespace kavu {

struct SpectrumFrame {
  std::vector<float> a, b;  // 2048 bins each; b empty without a second input
  int64_t number = 0;       // frames completed so far (0: none yet)
  double maxDb = 0;         // highest bin level of the frame
  double minCentreDb = 0;   // lowest level within ±r/4 of the centre
};

// Told on the window thread that Graph() holds a new frame (and lines may be waiting).
class ISpectrumListener {
 public:
  virtual ~ISpectrumListener() = default;
  virtual void SpectrumFrameReady(int64_t number) = 0;
};

class LiveSpectrum {
 public:
  static constexpr int kSize = 2048;
  static constexpr size_t kMaxLines = 512;
  static constexpr int kMinNoticeMs = 16;  // about 60 notices per second at most

  // Transforms with `fft` (NNMax at least kSize, else FatalError "BPF_GetSinTablePointer() - ...").
  explicit LiveSpectrum(FftSetupPtr fft);
  // Averaging periods in blocks (at least 1 each); used while no plan source is set.
  void SetPeriods(int graph_blocks, int waterfall_blocks);
  // Takes the periods from the plans `keeper` publishes (null: SetPeriods again). The keeper
  // must outlive the spectrum or be replaced first. Call before the sample loop starts.
  void SetPlanSource(const ORatePlanKeeper* keeper) { keeper_ = keeper; }
  int GraphBlocks() const { return graphBlocks_.load(); }
  int WaterfallBlocks() const { return wfBlocks_.load(); }
  // Whom to tell, on `window`, that a frame is ready (null, null: nobody). Both must outlive the
  // spectrum or be replaced first; a notice already posted is dropped once the spectrum is gone.
  void SetListener(IWindowThread* window, ISpectrumListener* listener);

  // One block: `prev`, `cur` are 1024 interleaved I/Q pairs each (b: null without input B).
  void Feed(const float* prevA, const float* curA, const float* prevB, const float* curB);
  // The window function value at sample i (0 … 2047), time order.
  static double Window(int i);

  SpectrumFrame Graph() const;
  // Waterfall lines completed since the last call (oldest first, at most kMaxLines kept).
  std::vector<SpectrumFrame> TakeLines();

 private:
  struct Average {
    std::vector<float> a, b;
    bool hasB = false;
    int64_t number = 0;
    double maxDb = 0, minCentreDb = 0;
  };
  void FollowPlan();
  void Transform(const float* prev, const float* cur, std::vector<double>& sumsTo, std::vector<double>& wfTo);
  // Divides the sums by `count` into `out` and clears them.
  void TakeAverage(std::vector<double>& a, std::vector<double>& b, int count, int64_t number, Average& out) const;
  static void CopyOut(const Average& from, SpectrumFrame& to);
  void Notify(int64_t number);

  OMBPF2 fft_;
  FftVector buf_;
  std::array<double, kSize> w_{};
  std::vector<double> graphA_, graphB_, wfA_, wfB_;
  int graphN_ = 0, wfN_ = 0;
  std::atomic<int> graphBlocks_{2}, wfBlocks_{2};
  bool hasB_ = false;
  const ORatePlanKeeper* keeper_ = nullptr;
  const SampleRatePlan* followed_ = nullptr;  // the plan the periods were taken from
  Average scratch_;                            // sample thread: an average being made

  mutable std::mutex mutex_;
  Average graph_;
  std::vector<Average> lines_;  // ring of kMaxLines
  size_t lineFirst_ = 0, lineCount_ = 0;
  int64_t graphCount_ = 0, lineNumber_ = 0;

  IWindowThread* window_ = nullptr;
  ISpectrumListener* listener_ = nullptr;
  std::atomic<bool> noticePending_{false};
  int64_t lastNoticeNs_ = 0;
  Liveness alive_;
};

}  // namespace kavu
