#include "scan/live_spectrum.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

namespace kavu {
namespace {
double Db(double p) { return p > 0 ? 10 * std::log10(p) : -300.0; }

int64_t NowNs() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

void Allocate(std::vector<float>& a, std::vector<float>& b) {
  a.assign(LiveSpectrum::kSize, 0.0f);
  b.assign(LiveSpectrum::kSize, 0.0f);
}
}  // namespace

LiveSpectrum::LiveSpectrum(FftSetupPtr fft)
    : fft_(std::move(fft), kSize), buf_(kSize), graphA_(kSize), graphB_(kSize), wfA_(kSize), wfB_(kSize), lines_(kMaxLines) {
  for (int i = 0; i < kSize; ++i) w_[static_cast<size_t>(i)] = Window(i);
  Allocate(scratch_.a, scratch_.b);
  Allocate(graph_.a, graph_.b);
  for (Average& line : lines_) Allocate(line.a, line.b);
}

double LiveSpectrum::Window(int i) {
  // Hann over the time-ordered record: 0 at both ends, 1 in the middle.
  const double s = std::sin(std::numbers::pi * i / kSize);
  return s * s;
}

void LiveSpectrum::SetPeriods(int graph_blocks, int waterfall_blocks) {
  graphBlocks_ = std::max(1, graph_blocks);
  wfBlocks_ = std::max(1, waterfall_blocks);
}

void LiveSpectrum::SetListener(IWindowThread* window, ISpectrumListener* listener) {
  window_ = window;
  listener_ = listener;
}

void LiveSpectrum::FollowPlan() {
  if (!keeper_) return;
  const std::shared_ptr<const SampleRatePlan> plan = keeper_->Adopt();
  if (!plan || plan.get() == followed_) return;
  followed_ = plan.get();
  SetPeriods(plan->GraphBlocks(), plan->WaterfallBlocks());
}

void LiveSpectrum::Transform(const float* prev, const float* cur, std::vector<double>& sumsTo,
                             std::vector<double>& wfTo) {
  const int half = kSize / 2;
  for (int i = 0; i < half; ++i) {
    buf_[static_cast<size_t>(i)] = FftComplex(prev[2 * i], prev[2 * i + 1]) * w_[static_cast<size_t>(i)];
    buf_[static_cast<size_t>(i + half)] =
        FftComplex(cur[2 * i], cur[2 * i + 1]) * w_[static_cast<size_t>(i + half)];
  }
  fft_.BPF2(buf_.data(), kSize);
  for (int k = 0; k < kSize; ++k) {
    const double p = std::norm(buf_[static_cast<size_t>(k)]);
    sumsTo[static_cast<size_t>(k)] += p;
    wfTo[static_cast<size_t>(k)] += p;
  }
}

void LiveSpectrum::TakeAverage(std::vector<double>& a, std::vector<double>& b, int count, int64_t number,
                               Average& out) const {
  out.number = number;
  out.hasB = hasB_;
  double maxDb = -300, minDb = 300;
  for (size_t k = 0; k < static_cast<size_t>(kSize); ++k) {
    const double pa = a[k] / count;
    out.a[k] = static_cast<float>(pa);
    out.b[k] = hasB_ ? static_cast<float>(b[k] / count) : 0.0f;
    const double db = Db(pa);
    maxDb = std::max(maxDb, db);
    if (k <= kSize / 4 || k >= kSize - kSize / 4) minDb = std::min(minDb, db);
  }
  out.maxDb = maxDb;
  out.minCentreDb = minDb;
  std::fill(a.begin(), a.end(), 0.0);
  std::fill(b.begin(), b.end(), 0.0);
}

void LiveSpectrum::Feed(const float* prevA, const float* curA, const float* prevB, const float* curB) {
  FollowPlan();
  hasB_ = prevB && curB;
  Transform(prevA, curA, graphA_, wfA_);
  if (hasB_) Transform(prevB, curB, graphB_, wfB_);
  ++graphN_;
  ++wfN_;
  // The waterfall line goes in before the graph frame of the same block, so whoever sees a
  // frame (or its notice) finds every line up to it already waiting.
  if (wfN_ >= wfBlocks_.load()) {
    TakeAverage(wfA_, wfB_, wfN_, lineNumber_ + 1, scratch_);
    wfN_ = 0;
    std::lock_guard lock(mutex_);
    ++lineNumber_;
    if (lineCount_ == kMaxLines) {
      lineFirst_ = (lineFirst_ + 1) % kMaxLines;  // the oldest line gives way
      --lineCount_;
    }
    std::swap(lines_[(lineFirst_ + lineCount_) % kMaxLines], scratch_);
    ++lineCount_;
  }
  if (graphN_ >= graphBlocks_.load()) {
    TakeAverage(graphA_, graphB_, graphN_, graphCount_ + 1, scratch_);
    graphN_ = 0;
    {
      std::lock_guard lock(mutex_);
      std::swap(graph_, scratch_);  // buffers trade places: nothing is allocated
      ++graphCount_;
    }
    Notify(graphCount_);
  }
}

void LiveSpectrum::Notify(int64_t number) {
  if (!window_ || !listener_) return;
  const int64_t now = NowNs();
  if (noticePending_.load() || now - lastNoticeNs_ < int64_t{kMinNoticeMs} * 1'000'000) return;
  lastNoticeNs_ = now;
  noticePending_ = true;
  window_->Post([this, number, alive = alive_.Watch()] {
    if (alive.Expired()) return;
    noticePending_ = false;
    if (listener_) listener_->SpectrumFrameReady(number);
  });
}

void LiveSpectrum::CopyOut(const Average& from, SpectrumFrame& to) {
  to.number = from.number;
  to.a = from.a;
  if (from.hasB) to.b = from.b;
  to.maxDb = from.maxDb;
  to.minCentreDb = from.minCentreDb;
}

SpectrumFrame LiveSpectrum::Graph() const {
  SpectrumFrame f;
  std::lock_guard lock(mutex_);
  if (graphCount_ > 0) CopyOut(graph_, f);
  return f;
}

std::vector<SpectrumFrame> LiveSpectrum::TakeLines() {
  std::lock_guard lock(mutex_);
  std::vector<SpectrumFrame> out(lineCount_);
  for (size_t i = 0; i < lineCount_; ++i) CopyOut(lines_[(lineFirst_ + i) % kMaxLines], out[i]);
  lineFirst_ = (lineFirst_ + lineCount_) % kMaxLines;
  lineCount_ = 0;
  return out;
}

}  // namespace kavu
