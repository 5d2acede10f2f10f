// Whole-scan benchmark on the virtual bench: "140-150 0.5" at the shipped defaults (2.4 MS/s).
//   scan_points_per_s   points measured per second of wall time
//   scan_overhead_pct   wall time beyond what the board's timelines and the settling delays
//                       take (the anchor: the hardware's own time), in % of that time; this is
//                       the software's own cost (planning, uploads, processing, hand-overs)
//   scan_peak_rss_mb    the process's peak resident memory after the scan, MB
#include <sys/resource.h>

#include <chrono>
#include <cstdio>

#include "bench_registry.h"
#include "platform/event_loop.h"
#include "scan/scan_station.h"
#include "shell/error_box.h"
#include "shell/settings_store.h"
#include "sim/board_peripherals.h"
#include "sim/virtual_bench.h"

namespace kavu::bench {
namespace {

class Ended : public IScanEvents {
 public:
  explicit Ended(EventLoop& loop) : loop_(loop) {}
  void ScanEnded(const ScanEndReport& r) override {
    report = r;
    done = true;
    loop_.Quit();
  }
  bool done = false;
  ScanEndReport report;

 private:
  EventLoop& loop_;
};

void ScanBench() {
  sim::VirtualBench bench;
  std::string error;
  sim::VirtualBenchOptions options;
  options.antenna = *sim::AntennaModel::Parse("series:R=50,L=100n,C=12.05p", &error);
  if (!bench.Start(options, &error)) {
    std::fprintf(stderr, "scan bench: %s\n", error.c_str());
    return;
  }
  Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", bench.Folder() + "/results");
  EventLoop loop;
  RecordingNotice notice;
  Ended events(loop);
  double wall = 0, hardware = 0;
  int32_t points = 0;
  {
    ScanStation station(loop, notice, events);
    if (!station.Start(&error)) {
      std::fprintf(stderr, "scan bench: %s\n", error.c_str());
      return;
    }
    station.Engine().SetRangeText("140-150 0.5");
    const size_t runsBefore = bench.Peripherals().Timelines().size();
    const auto t0 = std::chrono::steady_clock::now();
    loop.Post([&] { station.Engine().StartScan(); });
    loop.RunUntil([&] { return events.done; }, std::chrono::seconds(120));
    wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    station.Stop();
    if (!events.done || !events.report.ok) {
      std::fprintf(stderr, "scan bench: the scan failed: %s\n", events.report.error.c_str());
      return;
    }
    points = events.report.points;
    const auto plan = station.Keeper().Published();
    const std::vector<sim::BatchTimeline> runs = bench.Peripherals().Timelines();
    for (size_t i = runsBefore; i < runs.size(); ++i) {
      hardware += static_cast<double>(runs[i].duration_ticks) / runs[i].ticks_per_second;
    }
    const int groups = station.Engine().Stats().groups.load();
    hardware += groups * plan->SettleBlocks() * 1024.0 / plan->SampleRateUsed();
  }
  bench.Stop();
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  BenchPrint("scan_points_per_s", points / wall);
  BenchPrint("scan_overhead_pct", hardware > 0 ? (wall - hardware) / hardware * 100 : 0);
  BenchPrint("scan_peak_rss_mb", static_cast<double>(ru.ru_maxrss) / 1024.0);
}

const BenchRegistrar scan_registrar("scan", ScanBench);

}  // namespace
}  // namespace kavu::bench
