// The live spectrum: its averaging periods follow the rate plan, the sample thread allocates
// nothing per frame, and windows are told about new frames at a bounded rate.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

#include "dsp/fft_setup.h"
#include "dsp/fft_test_util.h"
#include "dsp/ombpf2.h"
#include "platform/event_loop.h"
#include "scan/live_spectrum.h"
#include "scan/rate_plan_keeper.h"

// A sanitizer's run-time library owns operator new (clang links it whole, so a second one does not
// link): there the count comes from its allocation hook instead of a replaced operator new.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KAVU_SANITIZER_RUNTIME 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KAVU_SANITIZER_RUNTIME 1
#endif
#endif
#ifdef KAVU_SANITIZER_RUNTIME
#include <sanitizer/allocator_interface.h>
#endif

namespace {
// Allocations made by this thread while counting is on (the replaced global operator new, or
// the sanitizer's hook).
thread_local bool t_counting = false;
thread_local int t_allocations = 0;

#ifdef KAVU_SANITIZER_RUNTIME
void CountAllocation(const volatile void*, std::size_t) {
  if (t_counting) ++t_allocations;
}
const int g_hook_installed = __sanitizer_install_malloc_and_free_hooks(CountAllocation, nullptr);
}  // namespace
#else
// Out of line, so the compiler does not pair a new-expression with free() and warn about it.
[[gnu::noinline]] void* Obtain(std::size_t size) {
  if (t_counting) ++t_allocations;
  return std::malloc(size == 0 ? 1 : size);
}
[[gnu::noinline]] void Release(void* p) noexcept { std::free(p); }
}  // namespace

void* operator new(std::size_t size) {
  if (void* p = Obtain(size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
#endif

namespace kavu {
namespace {

// `n` blocks of 1024 I/Q pairs: a constant offset (lands in bin 0).
struct Blocks {
  std::vector<float> a = std::vector<float>(2048, 0.25f);
  void Feed(LiveSpectrum& s, int n, bool withB = false) {
    for (int i = 0; i < n; ++i) s.Feed(a.data(), a.data(), withB ? a.data() : nullptr, withB ? a.data() : nullptr);
  }
};

RatePlanInputs Inputs(double rate) {
  RatePlanInputs in;
  in.sampleRate = rate;
  return in;
}

TEST(LiveSpectrumPlan, PeriodsComeFromThePublishedPlan) {
  ORatePlanKeeper keeper(test::HostFft(), Inputs(2'400'000));
  LiveSpectrum s(test::HostFft());
  s.SetPlanSource(&keeper);
  Blocks blocks;
  // 2.4 MS/s: 50 ms of graph = ⌊50 × 2400 / 1024⌋ = 117 blocks, 20 ms of waterfall = 46.
  blocks.Feed(s, 1);
  EXPECT_EQ(s.GraphBlocks(), keeper.Published()->GraphBlocks());
  EXPECT_EQ(s.GraphBlocks(), 117);
  EXPECT_EQ(s.WaterfallBlocks(), 46);
  blocks.Feed(s, 233);
  EXPECT_EQ(s.Graph().number, 2);  // 234 blocks: two whole graph periods
  EXPECT_EQ(s.TakeLines().size(), 5u);
  // A new receiver rate publishes a new plan; the spectrum follows it at the next block.
  ASSERT_TRUE(keeper.RecomputePlan(240'000));
  blocks.Feed(s, 1);
  EXPECT_EQ(s.GraphBlocks(), 11);
  EXPECT_EQ(s.WaterfallBlocks(), 4);
  // Without a source, the periods set by hand hold.
  s.SetPlanSource(nullptr);
  s.SetPeriods(3, 7);
  blocks.Feed(s, 1);
  EXPECT_EQ(s.GraphBlocks(), 3);
}

TEST(LiveSpectrumPlan, FramesAreMadeWithoutAllocating) {
  LiveSpectrum s(test::HostFft());
  s.SetPeriods(2, 1);
  Blocks blocks;
  blocks.Feed(s, 4, true);  // first use of every path
#ifdef KAVU_SANITIZER_RUNTIME
  // ThreadSanitizer's run-time takes no hook here; the build without sanitizers counts.
  if (g_hook_installed == 0) GTEST_SKIP() << "no allocation hook in this sanitizer's run-time";
#endif
  t_allocations = 0;
  t_counting = true;
  blocks.Feed(s, 40, true);
  t_counting = false;
  EXPECT_EQ(t_allocations, 0);
  // The frames are whole: both inputs, numbered, the offset in bin 0.
  const SpectrumFrame f = s.Graph();
  EXPECT_EQ(f.number, 22);
  ASSERT_EQ(f.a.size(), 2048u);
  ASSERT_EQ(f.b.size(), 2048u);
  EXPECT_GT(f.a[0], 1000 * f.a[5] + 1e-12f);
  EXPECT_FLOAT_EQ(f.a[0], f.b[0]);
  // The ring keeps the newest kMaxLines lines, oldest first.
  blocks.Feed(s, static_cast<int>(LiveSpectrum::kMaxLines));
  const std::vector<SpectrumFrame> lines = s.TakeLines();
  ASSERT_EQ(lines.size(), LiveSpectrum::kMaxLines);
  EXPECT_EQ(lines.back().number, lines.front().number + static_cast<int64_t>(LiveSpectrum::kMaxLines) - 1);
  EXPECT_TRUE(lines.back().b.empty()) << "the last blocks had no second input";
  EXPECT_TRUE(s.TakeLines().empty());
}

class CountingListener : public ISpectrumListener {
 public:
  void SpectrumFrameReady(int64_t number) override {
    ++notices;
    last = number;
  }
  int notices = 0;
  int64_t last = 0;
};

TEST(LiveSpectrumPlan, WindowsAreToldOfNewFramesAtMostAboutSixtyTimesASecond) {
  EventLoop loop;
  CountingListener listener;
  LiveSpectrum s(test::HostFft());
  s.SetPeriods(1, 1);  // a frame per block: far more than 60 per second
  s.SetListener(&loop, &listener);
  Blocks blocks;
  const auto t0 = std::chrono::steady_clock::now();
  bool fed = false;  // window thread
  std::thread sampleThread([&] {
    for (int i = 0; i < 300; ++i) {
      blocks.Feed(s, 1);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    loop.Post([&fed] { fed = true; });
  });
  // The window thread runs for as long as the blocks come, however slowly that is.
  loop.RunUntil([&] { return fed; }, std::chrono::seconds(60));
  sampleThread.join();
  loop.RunPending();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_GE(listener.notices, 2);
  EXPECT_LE(listener.notices, static_cast<int>(seconds * 1000 / LiveSpectrum::kMinNoticeMs) + 1);
  EXPECT_LE(listener.last, s.Graph().number);
  EXPECT_GT(listener.last, 0);
  // Gone before its notice ran: the notice is dropped.
  auto gone = std::make_unique<LiveSpectrum>(test::HostFft());
  gone->SetPeriods(1, 1);
  gone->SetListener(&loop, &listener);
  const int before = listener.notices;
  blocks.Feed(*gone, 1);
  gone.reset();
  loop.RunPending();
  EXPECT_EQ(listener.notices, before);
}

// Each spectrum transforms with the setup it was given: the portable kernel's frames equal the
// fastest kernel's to the bit; tables smaller than the transform are refused.
TEST(LiveSpectrumPlan, EachSpectrumUsesItsOwnSetup) {
  LiveSpectrum slow(FftSetup::Portable(65536)), quick(test::HostFft());
  for (LiveSpectrum* s : {&slow, &quick}) s->SetPeriods(2, 1);
  std::vector<float> noise(4 * 2048);
  unsigned seed = 12345;
  for (float& v : noise) v = static_cast<float>((seed = seed * 1103515245u + 12345u) >> 16) / 65536.0f - 0.5f;
  for (int i = 0; i < 3; ++i) {
    const float* prev = noise.data() + 2048 * i;
    for (LiveSpectrum* s : {&slow, &quick}) s->Feed(prev, prev + 2048, prev, prev + 2048);
  }
  const SpectrumFrame a = slow.Graph(), b = quick.Graph();
  ASSERT_EQ(a.number, 1);
  ASSERT_EQ(b.number, 1);
  EXPECT_EQ(a.a, b.a);
  EXPECT_EQ(a.b, b.b);
  test::UseThreadsafeDeathTests();
  EXPECT_FATAL(LiveSpectrum{FftSetup::Portable(1024)}, "BPF_GetSinTablePointer() - параметр NN > BaseNN !!!");
}

}  // namespace
}  // namespace kavu
