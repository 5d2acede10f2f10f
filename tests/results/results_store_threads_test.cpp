// A set read from another thread (as the web server reads) while the sample thread appends and
// the window thread empties, rotates and takes points back: every copy is of one version of the
// set, whole. Run under ThreadSanitizer in CI, where any unsynchronised access fails the test.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "results/results_store.h"

namespace kavu {
namespace {

// Point `index` of the set whose generation is `generation`: every field carries both, so a
// record copied while it was written, or from another version of the set, shows.
AntIzm Marked(int32_t generation, int32_t index) {
  AntIzm p{};
  p.freqHz = generation * 100000.0 + index;
  p.a = -generation;
  p.o = index;
  p.phase = generation + index * 1e-3;
  p.oAll = p.freqHz;
  return p;
}

bool IsMarked(const AntIzm& p, int32_t generation, int32_t index) {
  const AntIzm m = Marked(generation, index);
  return p.freqHz == m.freqHz && p.a == m.a && p.o == m.o && p.phase == m.phase && p.oAll == m.oAll;
}

// What a reader found wrong, kept as text for the failure message.
struct ReaderFindings {
  int64_t copies = 0;
  int64_t points = 0;
  std::string first_problem;
  void Problem(const std::string& what) {
    if (first_problem.empty()) first_problem = what;
  }
};

// Copies sets 0 and 1 in slices until `stop`, checking each copy against its header.
void ReadUntil(ResultsStore& store, const std::atomic<bool>& stop, ReaderFindings& f) {
  std::vector<AntIzm> points;
  int32_t first = 0;
  while (!stop.load(std::memory_order_acquire)) {
    for (int set : {0, 1}) {
      const AntIzms::View v = store.Set(set).Snapshot(first, 64, points);
      ++f.copies;
      if (static_cast<int64_t>(points.size()) != std::max<int64_t>(0, std::min<int64_t>(64, v.count - first))) {
        f.Problem("set " + std::to_string(set) + ": " + std::to_string(points.size()) + " points from " +
                  std::to_string(first) + " of a count of " + std::to_string(v.count));
      }
      for (size_t k = 0; k < points.size(); ++k) {
        ++f.points;
        if (!IsMarked(points[k], v.generation, first + static_cast<int32_t>(k))) {
          f.Problem("set " + std::to_string(set) + " generation " + std::to_string(v.generation) + ": point " +
                    std::to_string(first + static_cast<int32_t>(k)) + " holds f=" +
                    std::to_string(points[k].freqHz));
        }
      }
    }
    first = (first + 37) % 200;
  }
}

TEST(ResultsStoreThreads, ReadersSeeWholeSetsThroughAppendsRotationsAndTakeBacks) {
  ResultsStore store(512);
  std::atomic<bool> stop{false};
  ReaderFindings found;
  std::thread reader([&] { ReadUntil(store, stop, found); });

  // The scan: the window thread hands each new set to the sample thread, which appends; the
  // hand-over is an atomic, as the engine's start is.
  std::atomic<int32_t> scan_generation{-1};  // the set the sample thread is to fill; 0: stop
  std::atomic<int32_t> appended_for{-1};     // the set it has filled
  std::atomic<int> append_failures{0};
  std::thread sampler([&] {
    int32_t done = -1;
    for (;;) {
      int32_t g = scan_generation.load(std::memory_order_acquire);
      while (g == done) {
        std::this_thread::yield();
        g = scan_generation.load(std::memory_order_acquire);
      }
      if (g == 0) return;
      AntIzms& set = store.Set(0);
      for (int32_t i = 0; i < 300; ++i) {
        if (!set.Append(Marked(g, i))) ++append_failures;
      }
      done = g;
      appended_for.store(g, std::memory_order_release);
    }
  });
  // Bounded only against a hang: the sample thread answers each hand-over at once.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  bool hung = false;

  constexpr int kScans = 150;
  for (int scan = 0; scan < kScans; ++scan) {
    store.StartNewScanSets(scan % 2 == 1);
    const int32_t g = store.Set(0).generation.load();
    scan_generation.store(g, std::memory_order_release);
    while (appended_for.load(std::memory_order_acquire) != g && !hung) {
      std::this_thread::yield();
      hung = std::chrono::steady_clock::now() > deadline;
    }
    if (hung) break;
    // A group the board did not confirm: its points are taken back, then measured again.
    if (scan % 3 == 0) {
      store.Set(0).SetCount(100);
      for (int32_t i = 100; i < 300; ++i) {
        if (!store.Set(0).Append(Marked(g, i))) ++append_failures;
      }
    }
    // Now and then a reset set (as a comparison slot emptied) instead of a rotation.
    if (scan % 10 == 5) store.ResetAntIzms(store.Set(1));
  }
  scan_generation.store(0, std::memory_order_release);
  sampler.join();
  stop.store(true, std::memory_order_release);
  reader.join();

  ASSERT_FALSE(hung) << "the sample thread stopped answering";
  EXPECT_EQ(append_failures.load(), 0);
  EXPECT_EQ(found.first_problem, "");
  EXPECT_GT(found.copies, 0);
  // The last rotation left the previous scan in set 1, whole.
  std::vector<AntIzm> points;
  const AntIzms::View last = store.Set(1).Snapshot(0, 1000, points);
  ASSERT_EQ(last.count, 300);
  for (int32_t i = 0; i < 300; ++i) EXPECT_TRUE(IsMarked(points[static_cast<size_t>(i)], last.generation, i)) << i;
}

TEST(ResultsStoreThreads, SnapshotKeepsToTheCountAndTheHeader) {
  ResultsStore store(8);
  AntIzms& set = store.Set(0);
  store.StartNewScanSets(true);
  const int32_t g = set.generation.load();
  for (int32_t i = 0; i < 5; ++i) ASSERT_TRUE(set.Append(Marked(g, i)));
  std::vector<AntIzm> points(3);
  AntIzms::View v = set.Snapshot(3, 10, points);
  EXPECT_EQ(v.generation, g);
  EXPECT_EQ(v.count, 5);
  EXPECT_TRUE(v.hasDuo);
  ASSERT_EQ(points.size(), 2u);  // points 3 and 4, nothing beyond the count
  EXPECT_TRUE(IsMarked(points[0], g, 3));
  EXPECT_TRUE(IsMarked(points[1], g, 4));
  EXPECT_TRUE(set.Snapshot(-1, 10, points).count == 5 && points.empty());  // negative start: none
  EXPECT_TRUE(set.Snapshot(5, 10, points).count == 5 && points.empty());
  EXPECT_TRUE(set.Snapshot(0, 0, points).count == 5 && points.empty());
  set.SetCount(2);  // taken back
  v = set.Snapshot(0, 10, points);
  EXPECT_EQ(v.count, 2);
  EXPECT_EQ(points.size(), 2u);
  // A rotation moves the set into set 1 whole, with its generation; set 0 starts empty anew.
  store.StartNewScanSets(false);
  v = store.Set(1).Snapshot(0, 10, points);
  EXPECT_EQ(v.generation, g);
  EXPECT_EQ(v.count, 2);
  EXPECT_TRUE(v.hasDuo);
  const AntIzms::View fresh = set.Snapshot(0, 10, points);
  EXPECT_GT(fresh.generation, g);
  EXPECT_EQ(fresh.count, 0);
  EXPECT_FALSE(fresh.hasDuo);
  const auto [current, previous] = AntIzms::Views(store.Set(0), store.Set(1));
  EXPECT_EQ(current.generation, fresh.generation);
  EXPECT_EQ(previous.generation, g);
  EXPECT_EQ(previous.count, 2);
}

}  // namespace
}  // namespace kavu
