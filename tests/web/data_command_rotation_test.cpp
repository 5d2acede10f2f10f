// The page's data commands answered from a real station's results store on another thread (the
// web server's) while the window thread starts scan after scan (set 0 moved into set 1, set 0
// emptied) and the sample thread appends: an answer never holds a half-copied or reset set.
// CI runs this under ThreadSanitizer, where any unsynchronised access fails it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/event_loop.h"
#include "platform/port_change_monitor.h"
#include "scan/scan_station.h"
#include "session/analyzer_session.h"
#include "shell/error_box.h"
#include "support/temp_dir.h"
#include "web/data_command.h"
#include "web/station_web_analyzer.h"

namespace kavu::test {
namespace {

class NoPortChanges : public IPortChangeSource {
 public:
  bool Start(std::function<void()>) override { return true; }
  void Stop() override {}
};

constexpr int32_t kPointsPerScan = 300;

// Point `index` of the set with generation `generation`: its frequency carries both (exact in
// the answer's float32 while generation * 1000 + index stays below 2^24), its levels only the
// index, so R and X of an index are the same in every scan.
AntIzm Marked(int32_t generation, int32_t index) {
  AntIzm p{};
  p.freqHz = generation * 1000.0 + index;
  p.a = -10.0 - 0.01 * index;
  p.o = 0.0;
  p.phase = 1e-3 * index;
  return p;
}

std::vector<float> AnswerFloats(const std::string& s) {
  std::vector<float> v(s.size() / 4);
  if (!v.empty()) std::memcpy(v.data(), s.data(), v.size() * 4);
  return v;
}

std::vector<int32_t> AnswerInts(const std::string& s) {
  std::vector<int32_t> v(s.size() / 4);
  if (!v.empty()) std::memcpy(v.data(), s.data(), v.size() * 4);
  return v;
}

struct ReaderFindings {
  std::atomic<int64_t> answers{0};
  int64_t points = 0;
  std::string first_problem;
  void Problem(const std::string& what) {
    if (first_problem.empty()) first_problem = what;
  }
};

// Sends the page's commands until `stop` and checks every answer on its own.
void Hammer(IWebAnalyzer& analyzer, const std::atomic<bool>& stop, ReaderFindings& f) {
  std::map<int32_t, std::pair<float, float>> rx_of_index;
  const std::pair<const char*, int32_t> commands[] = {{"1 0 0", 0}, {"1 1 0", 0}, {"1 1 120", 120}, {"1 0 40", 40}};
  while (!stop.load(std::memory_order_acquire)) {
    const std::vector<int32_t> stats = AnswerInts(DataCommandReply("0", analyzer, 393216, nullptr));
    ++f.answers;
    if (stats.size() != 5) {
      f.Problem("statistics of " + std::to_string(stats.size()) + " numbers");
    } else {
      // Set 1 is always a whole earlier scan (or nothing before the first), older than set 0.
      if (stats[1] < 0 || stats[1] > kPointsPerScan || (stats[3] != 0 && stats[3] != kPointsPerScan) ||
          stats[2] >= stats[0]) {
        f.Problem("statistics " + std::to_string(stats[0]) + " " + std::to_string(stats[1]) + " " +
                  std::to_string(stats[2]) + " " + std::to_string(stats[3]));
      }
    }
    for (const auto& [body, first] : commands) {
      const std::string answer = DataCommandReply(body, analyzer, 393216, nullptr);
      ++f.answers;
      if (answer.size() % 12 != 0) f.Problem(std::string(body) + ": " + std::to_string(answer.size()) + " bytes");
      const std::vector<float> v = AnswerFloats(answer);
      int32_t generation = -1;
      for (size_t k = 0; k + 2 < v.size(); k += 3) {
        ++f.points;
        const auto marked = static_cast<int64_t>(v[k]);
        const auto index = static_cast<int32_t>(first + static_cast<int32_t>(k / 3));
        const auto g = static_cast<int32_t>(marked / 1000);
        if (generation < 0) generation = g;
        if (static_cast<float>(marked) != v[k] || g != generation || marked % 1000 != index) {
          f.Problem(std::string(body) + ": point " + std::to_string(index) + " is point " +
                    std::to_string(marked % 1000) + " of generation " + std::to_string(g) + " among generation " +
                    std::to_string(generation));
        }
        const auto [it, fresh] = rx_of_index.emplace(index, std::make_pair(v[k + 1], v[k + 2]));
        if (!fresh && (it->second.first != v[k + 1] || it->second.second != v[k + 2])) {
          f.Problem(std::string(body) + ": point " + std::to_string(index) + " R, X differ between answers");
        }
        if (!std::isfinite(v[k + 1]) || !std::isfinite(v[k + 2])) f.Problem("R or X not finite");
      }
    }
  }
}

TEST(DataCommandRotation, AnswersHoldOneWholeSetThroughManyScanStarts) {
  ScopedSettings settings;
  EventLoop loop;
  RecordingNotice notice;
  NoPortChanges ports;
  SessionOptions so;
  so.station.ring_capacity = 1 << 16;
  so.station.chain_capacity = 1 << 20;
  so.station.results_capacity = 1024;
  so.station.port_changes = &ports;
  std::string error;
  const std::unique_ptr<AnalyzerSession> session = AnalyzerSession::Create(loop, notice, so, &error);
  ASSERT_NE(session, nullptr) << error;
  ScanStation& station = session->Station();
  StationWebAnalyzer analyzer(*session, loop, "140-141 0.5", false);
  ResultsStore& store = station.Store();

  store.StartNewScanSets(false);  // as at every scan: set 1 older than set 0 from here on
  std::atomic<bool> stop{false};
  ReaderFindings found;
  std::thread web([&] { Hammer(analyzer, stop, found); });

  // The sample thread fills each new set 0 it is handed (through an atomic, as the engine's
  // start hands a scan over).
  std::atomic<int32_t> handed{-1};  // generation of the set to fill; 0: stop
  std::atomic<int32_t> filled{-1};
  std::atomic<int> append_failures{0};
  std::thread sampler([&] {
    int32_t done = -1;
    for (;;) {
      int32_t g = handed.load(std::memory_order_acquire);
      while (g == done) {
        std::this_thread::yield();
        g = handed.load(std::memory_order_acquire);
      }
      if (g == 0) return;
      for (int32_t i = 0; i < kPointsPerScan; ++i) {
        if (!store.Set(0).Append(Marked(g, i))) ++append_failures;
      }
      done = g;
      filled.store(g, std::memory_order_release);
    }
  });

  // Bounded only against a hang: the sample thread answers each hand-over at once.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  bool hung = false;
  constexpr int kScans = 200;
  for (int scan = 0; scan < kScans && !hung; ++scan) {
    store.StartNewScanSets(false);
    const int32_t g = store.Set(0).generation.load();
    handed.store(g, std::memory_order_release);
    // Each scan is read a few times while it fills and after.
    const int64_t answered = found.answers.load();
    while ((filled.load(std::memory_order_acquire) != g || found.answers.load() < answered + 6) && !hung) {
      loop.RunPending();  // the analyzer's own timer runs on this (window) thread meanwhile
      std::this_thread::yield();
      hung = std::chrono::steady_clock::now() > deadline;
    }
  }
  handed.store(0, std::memory_order_release);
  sampler.join();
  stop.store(true, std::memory_order_release);
  web.join();

  ASSERT_FALSE(hung) << "the sample thread stopped answering";
  EXPECT_EQ(append_failures.load(), 0);
  EXPECT_EQ(found.first_problem, "");
  EXPECT_GE(found.answers.load(), 6 * kScans);
  // After the last start: set 1 holds scan kScans - 1 whole, set 0 the last one.
  const std::vector<int32_t> stats = AnswerInts(DataCommandReply("0", analyzer, 393216, nullptr));
  ASSERT_EQ(stats.size(), 5u);
  EXPECT_EQ(stats[1], kPointsPerScan);
  EXPECT_EQ(stats[3], kPointsPerScan);
  const std::vector<float> previous = AnswerFloats(DataCommandReply("1 1 0", analyzer, 393216, nullptr));
  ASSERT_EQ(previous.size(), 3u * kPointsPerScan);
  for (int32_t i = 0; i < kPointsPerScan; ++i) {
    EXPECT_EQ(previous[3 * static_cast<size_t>(i)], static_cast<float>(stats[2] * 1000 + i)) << i;
  }
}

}  // namespace
}  // namespace kavu::test
