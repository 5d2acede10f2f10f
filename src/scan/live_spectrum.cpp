#include "scan/live_spectrum.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kavu {
namespace {
double Db(double p) { return p > 0 ? 10 * std::log10(p) : -300.0; }
}  // namespace

LiveSpectrum::LiveSpectrum()
    : fft_(kSize), buf_(kSize), graphA_(kSize), graphB_(kSize), wfA_(kSize), wfB_(kSize) {
  for (int i = 0; i < kSize; ++i) w_[static_cast<size_t>(i)] = Window(i);
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

SpectrumFrame LiveSpectrum::Average(const std::vector<double>& a, const std::vector<double>& b, int count,
                                    int64_t number) const {
  SpectrumFrame f;
  f.number = number;
  f.a.resize(kSize);
  if (hasB_) f.b.resize(kSize);
  double maxDb = -300, minDb = 300;
  for (int k = 0; k < kSize; ++k) {
    const double pa = a[static_cast<size_t>(k)] / count;
    f.a[static_cast<size_t>(k)] = static_cast<float>(pa);
    if (hasB_) f.b[static_cast<size_t>(k)] = static_cast<float>(b[static_cast<size_t>(k)] / count);
    const double db = Db(pa);
    maxDb = std::max(maxDb, db);
    if (k <= kSize / 4 || k >= kSize - kSize / 4) minDb = std::min(minDb, db);
  }
  f.maxDb = maxDb;
  f.minCentreDb = minDb;
  return f;
}

void LiveSpectrum::Feed(const float* prevA, const float* curA, const float* prevB, const float* curB) {
  hasB_ = prevB && curB;
  Transform(prevA, curA, graphA_, wfA_);
  if (hasB_) Transform(prevB, curB, graphB_, wfB_);
  ++graphN_;
  ++wfN_;
  if (graphN_ >= graphBlocks_) {
    SpectrumFrame f = Average(graphA_, graphB_, graphN_, ++graphCount_);
    std::fill(graphA_.begin(), graphA_.end(), 0.0);
    std::fill(graphB_.begin(), graphB_.end(), 0.0);
    graphN_ = 0;
    std::lock_guard lock(mutex_);
    graph_ = std::move(f);
  }
  if (wfN_ >= wfBlocks_) {
    SpectrumFrame f = Average(wfA_, wfB_, wfN_, ++lineCount_);
    std::fill(wfA_.begin(), wfA_.end(), 0.0);
    std::fill(wfB_.begin(), wfB_.end(), 0.0);
    wfN_ = 0;
    std::lock_guard lock(mutex_);
    lines_.push_back(std::move(f));
    while (lines_.size() > kMaxLines) lines_.pop_front();
  }
}

SpectrumFrame LiveSpectrum::Graph() const {
  std::lock_guard lock(mutex_);
  return graph_;
}

std::vector<SpectrumFrame> LiveSpectrum::TakeLines() {
  std::lock_guard lock(mutex_);
  std::vector<SpectrumFrame> out(std::make_move_iterator(lines_.begin()), std::make_move_iterator(lines_.end()));
  lines_.clear();
  return out;
}

}  // namespace kavu
