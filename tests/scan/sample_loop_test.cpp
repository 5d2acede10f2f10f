// The sample loop: dropping blocks while told to, resynchronising, handing blocks to the scan,
// reporting an overrun while scanning, feeding the live spectrum while idle, and stopping.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "dsp/fft_test_util.h"
#include "dsp/ombpf2.h"
#include "scan/sample_loop.h"

namespace kavu {
namespace {

class RecordingSink : public IScanBlockSink {
 public:
  void ScanBlock(const float* a, const float*, float peakA, float) override {
    if (holdFirst && Count() == 0) {
      held = true;
      release.wait();  // until the test lets the scan go on
    }
    std::lock_guard lock(mutex_);
    firstI_.push_back(a[0]);
    peaks_.push_back(peakA);
  }
  size_t Count() const {
    std::lock_guard lock(mutex_);
    return firstI_.size();
  }
  std::vector<float> FirstI() const {
    std::lock_guard lock(mutex_);
    return firstI_;
  }
  float LastPeak() const {
    std::lock_guard lock(mutex_);
    return peaks_.empty() ? -1.0f : peaks_.back();
  }
  void ScanOverrun() override { ++overruns; }
  mutable std::mutex mutex_;
  std::vector<float> firstI_, peaks_;
  std::atomic<int> overruns{0};
  // The first block's scan holds the loop until `release` is set; `held` tells that it does.
  bool holdFirst = false;
  std::atomic<bool> held{false};
  std::shared_future<void> release;
};

// Delivers `blocks` blocks of 1024 unsigned 8-bit pairs; block k carries I = 128 + (k % 100).
void Deliver(SampleRings& rings, int first, int blocks) {
  std::vector<uint8_t> buf(2048);
  for (int k = first; k < first + blocks; ++k) {
    for (size_t j = 0; j < buf.size(); j += 2) {
      buf[j] = static_cast<uint8_t>(128 + k % 100);
      buf[j + 1] = 128;
    }
    rings.DeliverU8(buf.data(), static_cast<uint32_t>(buf.size()));
  }
}

bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 400 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return done();
}

TEST(SampleLoop, SkipsThenScansEveryBlockInOrder) {
  SampleRings rings(1 << 16);
  LoopCounters c;
  RecordingSink sink;
  SampleLoop loop(rings, c, sink, nullptr);
  c.SdrLoopSkipN = 3;
  loop.Start();
  Deliver(rings, 0, 8);
  ASSERT_TRUE(WaitFor([&] { return sink.Count() == 5; }));
  EXPECT_EQ(c.SdrLoopSkipN.load(), 0);
  // Blocks 0..2 dropped, 3..7 scanned in order, with their peaks.
  EXPECT_EQ(sink.FirstI(), (std::vector<float>{3, 4, 5, 6, 7}));
  EXPECT_EQ(sink.LastPeak(), 7.0f);
  EXPECT_EQ(loop.TakePeakA(), 7.0f);
  EXPECT_EQ(loop.TakePeakA(), 0.0f);
  loop.Stop();
}

TEST(SampleLoop, ResyncDropsWhatIsBufferedAndSkipAllHoldsEverything) {
  SampleRings rings(1 << 16);
  LoopCounters c;
  RecordingSink sink;
  SampleLoop loop(rings, c, sink, nullptr);
  c.SdrLoopSkipN = LoopCounters::kSkipAll;
  loop.Start();
  Deliver(rings, 0, 4);
  ASSERT_TRUE(WaitFor([&] { return loop.BlocksSeen() == 4; }));
  EXPECT_EQ(sink.Count(), 0u);
  EXPECT_EQ(c.SdrLoopSkipN.load(), LoopCounters::kSkipAll - 4);
  loop.Stop();
  // A resynchronisation drops whatever is buffered when the loop sees it (here two blocks that
  // arrive in one delivery), then scanning goes on with the next blocks.
  c.m_RingResync = 1;
  c.SdrLoopSkipN = 0;
  loop.Start();
  std::vector<uint8_t> two(4096, 128);
  rings.DeliverU8(two.data(), static_cast<uint32_t>(two.size()));
  ASSERT_TRUE(WaitFor([&] { return c.m_RingResync.load() == 0; }));
  Deliver(rings, 20, 2);
  ASSERT_TRUE(WaitFor([&] { return sink.Count() == 2; }));
  EXPECT_EQ(sink.FirstI(), (std::vector<float>{20, 21}));
  loop.Stop();
}

TEST(SampleLoop, OverrunWhileScanningIsReported) {
  SampleRings rings(4096);
  LoopCounters c;
  RecordingSink sink;
  SampleLoop loop(rings, c, sink, nullptr);
  // The scan holds the loop while the writer laps the 4-block ring (the promise, gone before
  // the loop, lets a held scan go on should a check fail first).
  std::promise<void> release;
  sink.holdFirst = true;
  sink.release = release.get_future().share();
  c.SdrLoopSkipN = 0;
  loop.Start();
  Deliver(rings, 0, 1);
  ASSERT_TRUE(WaitFor([&] { return sink.held.load(); }));
  Deliver(rings, 1, 9);
  release.set_value();
  // The held block, then one overrun for the nine lapped ones.
  ASSERT_TRUE(WaitFor([&] { return loop.BlocksSeen() == 2; }));
  EXPECT_EQ(sink.overruns.load(), 1);
  // After the overrun the loop goes on with fresh blocks.
  Deliver(rings, 40, 1);
  ASSERT_TRUE(WaitFor([&] { return sink.Count() > 0 && sink.FirstI().back() == 40; }));
  loop.Stop();
}

TEST(SampleLoop, IdleBlocksFeedTheLiveSpectrum) {
  SampleRings rings(1 << 16);
  LoopCounters c;
  RecordingSink sink;
  LiveSpectrum spectrum(test::HostFft());
  spectrum.SetPeriods(2, 1);
  SampleLoop loop(rings, c, sink, &spectrum);
  loop.Start();
  Deliver(rings, 0, 4);
  ASSERT_TRUE(WaitFor([&] { return spectrum.Graph().number >= 2; }));
  EXPECT_EQ(sink.Count(), 0u);
  const SpectrumFrame f = spectrum.Graph();
  ASSERT_EQ(f.a.size(), 2048u);
  // A constant I offset lands in bin 0.
  EXPECT_GT(f.a[0], 100 * f.a[5]);
  // Each block's waterfall line is in before its graph frame is shown: a frame seen means
  // every line up to it can be taken.
  EXPECT_EQ(spectrum.TakeLines().size(), 4u);
  loop.Stop();
}

}  // namespace
}  // namespace kavu
