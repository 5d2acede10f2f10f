// How long the window thread is held during a bench scan whose every run reply comes 1.5 s late
// (board fault late-reply on the run command): "140-150 0.5" at the shipped defaults.
//   window_thread_max_stall_ms   the longest a task posted to the window thread waited to run
//                                (a probe posts one every 5 ms from another thread)
//   window_thread_max_stall_groups_ms   the same for tasks posted after StartScan returned: the
//                                generators' initialisation (on the board's thread), the groups,
//                                their runs and the scan's end with its save (on the saver's thread)
//   scan_start_ms                how long StartScan held the window thread
//   scan_run_reply_wait_ms       the anchor: the longest wait for one run's reply (the board's
//                                timeline plus the 1.5 s delay), all of which a window thread
//                                that waits for the reply spends blocked
//   window_thread_longest_task_ms  the longest single task or timer of the analyzer on the
//                                window thread after StartScan returned (each group's
//                                preparation among them)
//   gen_setting_blocking_ms      its anchor: the longest of 20 blocking generator settings at
//                                group frequencies, run on the window thread after the scan, as
//                                each group's preparation would hold it if it waited for them
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "bench_registry.h"
#include "board/gen_setup.h"
#include "platform/event_loop.h"
#include "scan/scan_station.h"
#include "shell/error_box.h"
#include "shell/settings_store.h"
#include "sim/board_peripherals.h"
#include "sim/virtual_bench.h"

namespace kavu::bench {
namespace {

using Clock = std::chrono::steady_clock;

class EndOfScan : public IScanEvents {
 public:
  void ScanEnded(const ScanEndReport& r) override {
    report = r;
    done = true;
  }
  bool done = false;
  ScanEndReport report;
};

// Posts a task every 5 ms and keeps the longest wait between posting and running.
class StallProbe {
 public:
  explicit StallProbe(IWindowThread& window) : window_(window) {
    thread_ = std::thread([this] {
      while (!stop_) {
        const Clock::time_point posted = Clock::now();
        const bool afterStart = started.load();
        window_.Post([this, posted, afterStart] {
          const double ms = std::chrono::duration<double, std::milli>(Clock::now() - posted).count();
          if (ms > longest_ms) longest_ms = ms;
          if (afterStart && ms > longest_after_start_ms) longest_after_start_ms = ms;
          --inFlight_;
        });
        ++inFlight_;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    });
  }
  // Stops posting; the caller then runs the loop until Drained().
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  bool Drained() const { return inFlight_.load() == 0; }
  double longest_ms = 0;  // window thread
  double longest_after_start_ms = 0;
  std::atomic<bool> started{false};

 private:
  IWindowThread& window_;
  std::atomic<bool> stop_{false};
  std::atomic<int> inFlight_{0};
  std::thread thread_;
};

// The window thread as the analyzer sees it, timing every task and timer it runs.
class TimedWindow : public IWindowThread {
 public:
  explicit TimedWindow(EventLoop& loop) : loop_(loop) {}
  void Post(std::function<void()> task) override { loop_.Post(Timed(std::move(task))); }
  void StartTimer(int id, int period_ms, std::function<void()> fn) override {
    loop_.StartTimer(id, period_ms, Timed(std::move(fn)));
  }
  void StopTimer(int id) override { loop_.StopTimer(id); }
  bool measuring = false;  // window thread
  double longest_ms = 0;

 private:
  std::function<void()> Timed(std::function<void()> fn) {
    return [this, fn = std::move(fn)] {
      const Clock::time_point t0 = Clock::now();
      fn();
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
      if (measuring && ms > longest_ms) longest_ms = ms;
    };
  }
  EventLoop& loop_;
};

// The longest of 20 blocking settings of the generator, alternating between two group
// frequencies of the scan, ms.
double BlockingSettingMs(GenSetup& gen) {
  double longest = 0;
  for (int i = 0; i < 20; ++i) {
    const Clock::time_point t0 = Clock::now();
    gen.SetGenFManual(i % 2 == 0 ? 141.25e6 : 145.5e6);
    longest = std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  return longest;
}

void WindowStallBench() {
  sim::VirtualBench bench;
  std::string error;
  sim::VirtualBenchOptions options;
  options.antenna = *sim::AntennaModel::Parse("series:R=50,L=100n,C=12.05p", &error);
  if (!bench.Start(options, &error) || !bench.Set(sim::VirtualBench::kBoardFaultName, "late-reply:5B:-1", &error)) {
    BenchFailed("window stall bench: " + error);
    return;
  }
  Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", bench.Folder() + "/results");
  EventLoop loop;
  RecordingNotice notice;
  EndOfScan events;
  double stall = 0, stallGroups = 0, startMs = 0, replyWait = 0, longestTask = 0, blockingSetting = 0;
  TimedWindow window(loop);
  {
    ScanStation station(window, notice, events);
    if (!station.Start(&error)) {
      BenchFailed("window stall bench: " + error);
      return;
    }
    station.Engine().SetRangeText("140-150 0.5");
    const size_t runsBefore = bench.Peripherals().Timelines().size();
    StallProbe probe(loop);
    loop.Post([&] {
      const Clock::time_point t0 = Clock::now();
      station.Engine().StartScan();
      startMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
      probe.started = true;
      window.measuring = true;
    });
    loop.RunUntil([&] { return events.done; }, std::chrono::seconds(180));
    window.measuring = false;
    probe.Stop();
    loop.RunUntil([&] { return probe.Drained() && !station.Board().Busy(); }, std::chrono::seconds(5));
    longestTask = window.longest_ms;
    blockingSetting = BlockingSettingMs(station.Gen());
    station.Stop();
    if (!events.done || !events.report.ok) {
      BenchFailed("window stall bench: the scan failed: " + events.report.error);
      return;
    }
    stall = probe.longest_ms;
    stallGroups = probe.longest_after_start_ms;
    const std::vector<sim::BatchTimeline> runs = bench.Peripherals().Timelines();
    for (size_t i = runsBefore; i < runs.size(); ++i) {
      const double ms = static_cast<double>(runs[i].duration_ticks) / runs[i].ticks_per_second * 1000.0 + 1500.0;
      if (ms > replyWait) replyWait = ms;
    }
  }
  bench.Stop();
  BenchPrint("window_thread_max_stall_ms", stall);
  BenchPrint("window_thread_max_stall_groups_ms", stallGroups);
  BenchPrint("scan_start_ms", startMs);
  BenchPrint("scan_run_reply_wait_ms", replyWait);
  BenchPrint("window_thread_longest_task_ms", longestTask);
  BenchPrint("gen_setting_blocking_ms", blockingSetting);
}

const BenchRegistrar window_stall_registrar("window_stall", WindowStallBench);

}  // namespace
}  // namespace kavu::bench
