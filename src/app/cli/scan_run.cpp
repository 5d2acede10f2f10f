#include "app/cli/scan_run.h"

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "app/cli/cli_command.h"
#include "app/cli/progress_line.h"
#include "app/cli/sim_wiring.h"
#include "platform/console_output.h"
#include "platform/atomic_file.h"
#include "platform/event_loop.h"
#include "platform/number_text.h"
#include "results/ant_izm_file.h"
#include "scan/range_text.h"
#include "scan/scan_saving.h"
#include "scan/scan_station.h"
#include "session/analyzer_session.h"
#include "shell/error_box.h"
#include "shell/settings_store.h"

namespace kavu::cli {
namespace {

constexpr int kSignalTimer = 9001;     // the command's own timer ids on its event loop
constexpr int kProgressTimer = 9002;

// The scan's end as the command sees it; on a terminal the progress line.
class CliEvents : public ISessionListener {
 public:
  CliEvents(EventLoop& loop, ProgressLine& progress) : loop_(loop), progress_(progress) {}
  void GroupEnded(int32_t points, int32_t /*groups*/) override {
    points_ = points;
    ShowProgress();
  }
  void ScanEnded(const ScanEndReport& report) override {
    report_ = report;
    ended_ = true;
    loop_.Quit();
  }
  void ShowProgress() { progress_.Show(ProgressText(points_, planned_, Elapsed())); }
  double Elapsed() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }

  bool ended_ = false;
  ScanEndReport report_;
  int planned_ = 0;
  int points_ = 0;

 private:
  EventLoop& loop_;
  ProgressLine& progress_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

void PrintPoints(ScanStation& st) {
  const ImpedanceComputer& imp = st.Engine().Measure().Current()->Impedance();
  std::printf("MHz\tR\tX\tSWR\n");
  for (const ImpedanceRow& r : imp.Rows(st.Store().Set(0), -1)) {
    std::printf("%.6f\t%.3f\t%.3f\t%.4f\n", r.freq_hz / 1e6, r.z.real(), r.z.imag(), r.swr);
  }
  const ScanPlanView v = st.Engine().Plan().View();
  for (int i = 0; i < v.count; ++i) std::printf("%s\n", RangeSummaryLine(v.ranges[static_cast<size_t>(i)]).c_str());
}

// The frequencies the plan's ranges hold, counted up to `limit` + 1.
int PlannedPoints(const ScanPlanView& v, int limit) {
  int n = 0;
  for (int i = 0; i < v.count && n <= limit; ++i) {
    const ScanRange& r = v.ranges[static_cast<size_t>(i)];
    double f = r.start;
    for (++n; n <= limit && r.Next(f, &f);) ++n;
  }
  return n;
}

// Said once the scan is planned: ranges left out, a plan larger than a result set.
void WarnAboutThePlan(const char* name, ScanStation& st, CliEvents& events) {
  for (const std::string& line : st.Engine().Plan().Refusals()) {
    if (line.rfind("Диапазонов больше", 0) == 0) {
      Fail(name, "warning: the range text has more than " + std::to_string(kMaxScanRanges) + " ranges; only the first " +
                     std::to_string(kMaxScanRanges) + " are scanned");
    }
  }
  const int capacity = st.Store().Set(0).Capacity();
  events.planned_ = PlannedPoints(st.Engine().Plan().View(), capacity);
  if (events.planned_ > capacity) {
    Fail(name, "warning: the ranges plan more than " + std::to_string(capacity) +
                   " points, all a result set holds: the scan stops when the set is full");
  }
}

// Writes the scan's points (and note) to `path` as well: from the set itself, so a results
// folder that cannot be written does not stop this copy.
int WriteCopy(const char* name, ScanStation& st, const ScanEndReport& r, const std::string& path) {
  const AntIzms& set = st.Store().Set(0);
  if (set.Count() == 0) return 0;
  std::string error;
  if (!WriteScanFile(path, set.Data(), set.Count(), r.save.note, &error)) return Fail(name, "cannot write " + path + ": " + error);
  std::printf("saved: %s\n", path.c_str());
  return 0;
}

}  // namespace

bool ParseScanArgs(const char* name, const std::vector<std::string>& args, ScanRunArgs& out, bool* listOnly) {
  *listOnly = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if ((a == "--range" || a == "--rate" || a == "--sim" || a == "--sim-set" || a == "-o") && !has_value) {
      Fail(name, a + " needs a value");
      return false;
    }
    if (a == "--range") {
      out.range = args[++i];
    } else if (a == "--rate") {
      const auto r = ParseInt(args[++i]);
      if (!r || std::to_string(*r) != args[i] || *r <= 0) {
        Fail(name, "--rate expects a sample rate in Hz, not \"" + args[i] + "\"");
        return false;
      }
      out.rate = *r;
    } else if (a == "--sim") {
      out.sim = args[++i];
    } else if (a == "--sim-set") {
      if (args[++i] == "list") {
        *listOnly = true;
        continue;
      }
      out.simSets.push_back(args[i]);
    } else if (a == "-o") {
      out.out = args[++i];
    } else {
      Fail(name, "unknown argument \"" + a + "\" (see --help)");
      return false;
    }
  }
  if (const std::string problem = out.out.empty() ? "" : OutputPathProblem(out.out); !problem.empty()) {
    Fail(name, "-o: refusing to write: " + problem);  // said before a scan, not after it
    return false;
  }
  if (!out.simSets.empty() && !out.sim) {
    Fail(name, "--sim-set needs --sim (the virtual bench)");
    return false;
  }
  return true;
}

int RunScan(const char* name, const ScanRunArgs& args) {
  // Stop signals are taken by the event loop (the threads started from here on inherit the mask).
  const sigset_t stop_signals = BlockStopSignals();
  EventLoop loop;
  StderrNotice notice;
  SessionOptions o;
  if (args.sim && !args.resultsFolder.empty()) {
    o.prepare = [&](SessionOptions&, sim::VirtualBench*) { Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", args.resultsFolder); };
  }
  std::unique_ptr<AnalyzerSession> session;
  if (const int status = CreateSession(name, args.sim ? &*args.sim : nullptr, args.simSets, o, loop, notice, session))
    return status;
  const int status = ScanOnSession(name, args, stop_signals, loop, *session);
  session->Stop();
  if (session->Bench()) WriteBenchEvidence(*session->Bench());
  return status;
}

int ScanOnSession(const char* name, const ScanRunArgs& args, const sigset_t& stop_signals, EventLoop& loop,
                  AnalyzerSession& session) {
  ProgressLine progress;
  CliEvents events(loop, progress);
  session.SetListener(&events);
  int signal = 0;
  int status = 0;
  ScanStation& station = session.Station();
  const StationStart start = session.StartUp().station;
  std::string error = !start.port_open ? start.port_error : start.receiver_error;
  if (!start.port_open || !start.receiver_open) {
    const char* bench = std::getenv("KAVU_SIM_BENCH");
    if (!args.sim && bench && *bench && error == station.Receivers().Status().text) {
      // The list then offers no receiver: say why rather than ask for another choice.
      error = "no receiver: the virtual bench at " + std::string(bench) +
              " serves one program at a time and may be busy with another; end that program and try again "
              "(the receiver list said: " + error + ")";
    }
    session.SetListener(nullptr);
    return Fail(name, error);
  }
  if (args.rate && !station.SetRate(*args.rate, &error)) {
    session.Stop();
    session.SetListener(nullptr);
    return Fail(name, "--rate: " + error, 2);
  }
  // As the program does at start: the last scan becomes "previous" when this one starts.
  station.Store().LoadAnts();
  station.Engine().SetRangeText(args.range);
  bool started = true;
  loop.StartTimer(kSignalTimer, 50, [&] {
    const timespec now{0, 0};
    const int s = sigtimedwait(&stop_signals, nullptr, &now);
    if (s <= 0) return;
    signal = s;
    // A stop signal ends the scan: it is kept as a failed scan is, saved under the name the
    // saving layer composes from the settings.
    if (const auto saved = session.StopAndSave(s)) events.report_ = *saved;
    loop.Quit();
  });
  if (progress.Active()) loop.StartTimer(kProgressTimer, 500, [&] { events.ShowProgress(); });
  loop.Post([&] {
    if (!session.StartScan(false)) {
      started = false;
      loop.Quit();
      return;
    }
    WarnAboutThePlan(name, station, events);
  });
  loop.Run();
  loop.StopTimer(kSignalTimer);
  loop.StopTimer(kProgressTimer);
  session.Stop();
  session.SetListener(nullptr);
  progress.Finish();
  if ((!started || !events.report_.started) && !signal) return Fail(name, "the scan did not start (see the error above)");
  PrintPoints(station);
  const ScanEndReport& r = events.report_;
  if (r.save.written) std::printf("saved: %s\n", r.save.path.c_str());
  if (!args.out.empty() && WriteCopy(name, station, r, args.out) != 0) status = 1;
  if (!r.ok) status = Fail(name, r.error);
  if (signal) status = 128 + signal;
  std::fflush(stdout);
  return status;
}

}  // namespace kavu::cli
