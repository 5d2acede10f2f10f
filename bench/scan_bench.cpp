// Whole-scan benchmark on the virtual bench: "140-150 0.5" at the shipped defaults (2.4 MS/s).
// Wall time runs from StartScan to the scan's end being reported (generator set-up, the groups
// and the saved scan). The anchors, measured in the same run:
//   timeline  the board's runs as it played them (their timelines' durations, summed)
//   settling  the settling blocks the sample loop skips after each group is sent
//   line      the serial line's time at the emulated board's baud rate (115200): every byte of
//             every command and reply, 10 bits each, counted by the board
// Figures:
//   scan_points_per_s            points measured per second of wall time
//   scan_overhead_pct            wall time beyond timeline + settling, in % of that (the line
//                                counts here as overhead: kept as it was, for comparison)
//   scan_line_pct                line time in % of the timeline
//   scan_software_overhead_pct   wall time beyond timeline + settling + line, in % of those
//                                three: the software's own cost (planning, processing,
//                                hand-overs between threads and the board, the save). The
//                                batch upload crosses the line during the settling, so the
//                                figure is a lower bound
//   scan_wall_ms, scan_timeline_ms, scan_settle_ms, scan_line_ms   the terms themselves
//   scan_overhead_pct_dual       scan_overhead_pct with the bench as an RSPduo running both
//                                tuners (2 MS/s, input B read and recorded)
//   scan_peak_rss_mb             this process's peak resident memory (the runner gives each
//                                benchmark a process of its own), MB
#include <chrono>

#include "bench_registry.h"
#include "platform/event_loop.h"
#include "scan/scan_station.h"
#include "shell/error_box.h"
#include "shell/settings_store.h"
#include "sim/board_peripherals.h"
#include "sim/emulated_board.h"
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

// The run's times, s.
struct ScanTimes {
  double wall = 0, timeline = 0, settle = 0, line = 0;
  int32_t points = 0;
};

// Scans "140-150 0.5" on `bench`; false with the reason in *error.
bool MeasureScan(sim::VirtualBench& bench, ScanTimes* t, std::string* error) {
  EventLoop loop;
  RecordingNotice notice;
  Ended events(loop);
  ScanStation station(loop, notice, events);
  if (!station.Start(error)) return false;
  station.Engine().SetRangeText("140-150 0.5");
  const size_t runsBefore = bench.Peripherals().Timelines().size();
  const int64_t lineBefore = bench.Board().LineTimeNs();
  const auto t0 = std::chrono::steady_clock::now();
  loop.Post([&] { station.Engine().StartScan(); });
  loop.RunUntil([&] { return events.done; }, std::chrono::seconds(120));
  t->wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  t->line = static_cast<double>(bench.Board().LineTimeNs() - lineBefore) * 1e-9;
  station.Stop();
  if (!events.done || !events.report.ok) {
    *error = "the scan failed: " + (events.done ? events.report.error : std::string("no end in 120 s"));
    return false;
  }
  t->points = events.report.points;
  const std::vector<sim::BatchTimeline> runs = bench.Peripherals().Timelines();
  for (size_t i = runsBefore; i < runs.size(); ++i) {
    t->timeline += static_cast<double>(runs[i].duration_ticks) / runs[i].ticks_per_second;
  }
  const auto plan = station.Keeper().Published();
  const int groups = station.Engine().Stats().groups.load();
  t->settle = groups * plan->SettleBlocks() * 1024.0 / plan->SampleRateUsed();
  return true;
}

void ScanBench() {
  sim::VirtualBench bench;
  std::string error;
  sim::VirtualBenchOptions options;
  options.antenna = *sim::AntennaModel::Parse("series:R=50,L=100n,C=12.05p", &error);
  if (!bench.Start(options, &error)) {
    BenchFailed("scan bench: " + error);
    return;
  }
  Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", bench.Folder() + "/results");
  ScanTimes t;
  const bool ok = MeasureScan(bench, &t, &error);
  bench.Stop();
  if (!ok) {
    BenchFailed("scan bench: " + error);
    return;
  }
  const double hardware = t.timeline + t.settle;
  const double hardwareAndLine = hardware + t.line;
  BenchPrint("scan_points_per_s", t.points / t.wall);
  BenchPrint("scan_overhead_pct", hardware > 0 ? (t.wall - hardware) / hardware * 100 : 0);
  BenchPrint("scan_line_pct", t.timeline > 0 ? t.line / t.timeline * 100 : 0);
  BenchPrint("scan_software_overhead_pct",
             hardwareAndLine > 0 ? (t.wall - hardwareAndLine) / hardwareAndLine * 100 : 0);
  BenchPrint("scan_wall_ms", t.wall * 1000);
  BenchPrint("scan_timeline_ms", t.timeline * 1000);
  BenchPrint("scan_settle_ms", t.settle * 1000);
  BenchPrint("scan_line_ms", t.line * 1000);
  BenchPrint("scan_peak_rss_mb", PeakResidentMb());
}

void ScanBenchDual() {
  sim::VirtualBench bench;
  std::string error;
  sim::VirtualBenchOptions options;
  options.antenna = *sim::AntennaModel::Parse("series:R=50,L=100n,C=12.05p", &error);
  options.rx = "rspduo-dual";
  if (!bench.Start(options, &error)) {
    BenchFailed("scan dual bench: " + error);
    return;
  }
  Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", bench.Folder() + "/results");
  ScanTimes t;
  const bool ok = MeasureScan(bench, &t, &error);
  bench.Stop();
  if (!ok) {
    BenchFailed("scan dual bench: " + error);
    return;
  }
  const double hardware = t.timeline + t.settle;
  BenchPrint("scan_overhead_pct_dual", hardware > 0 ? (t.wall - hardware) / hardware * 100 : 0);
}

const BenchRegistrar scan_registrar("scan", ScanBench);
const BenchRegistrar scan_dual_registrar("scan_dual", ScanBenchDual);

}  // namespace
}  // namespace kavu::bench
