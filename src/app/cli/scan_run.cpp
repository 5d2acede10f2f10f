#include "app/cli/scan_run.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "app/cli/cli_command.h"
#include "app/cli/sim_wiring.h"
#include "platform/console_output.h"
#include "platform/event_loop.h"
#include "platform/number_text.h"
#include "scan/bridge_settings.h"
#include "scan/calibration.h"
#include "scan/impedance_computer.h"
#include "scan/scan_station.h"
#include "shell/error_box.h"
#include "shell/settings_store.h"
#include "sim/virtual_bench.h"

namespace kavu::cli {
namespace {

// Progress on standard error: a bar on a terminal, nothing otherwise (the log says it all).
class CliEvents : public IScanEvents {
 public:
  CliEvents(EventLoop& loop, ScanEngine*& engine) : loop_(loop), engine_(engine), tty_(IsTerminal(stderr)) {}
  void GroupEnded(int32_t points, int32_t groups) override {
    if (!tty_) return;
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(stderr, "\r[группа %d] точек %d, %.1f изм/с   ", groups, points, s > 0 ? points / s : 0.0);
    std::fflush(stderr);
  }
  void ScanEnded(const ScanEndReport& report) override {
    if (tty_) std::fprintf(stderr, "\n");
    report_ = report;
    ended_ = true;
    loop_.Quit();
  }
  bool ended_ = false;
  ScanEndReport report_;

 private:
  EventLoop& loop_;
  ScanEngine*& engine_;
  bool tty_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

void PrintPoints(ScanStation& st) {
  Calibration cal;
  cal.LoadFromSettings();
  const ImpedanceComputer imp(LoadBridgeSettings(), &cal);
  std::printf("MHz\tR\tX\tSWR\n");
  for (const ImpedanceRow& r : imp.Rows(st.Store().Set(0), -1)) {
    std::printf("%.6f\t%.3f\t%.3f\t%.4f\n", r.freq_hz / 1e6, r.z.real(), r.z.imag(), r.swr);
  }
  const ScanPlanView v = st.Engine().Plan().View();
  for (int i = 0; i < v.count; ++i) std::printf("%s\n", RangeSummaryLine(v.ranges[static_cast<size_t>(i)]).c_str());
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
  if (!out.simSets.empty() && !out.sim) {
    Fail(name, "--sim-set needs --sim (the virtual bench)");
    return false;
  }
  return true;
}

int RunScan(const char* name, const ScanRunArgs& args) {
  sim::VirtualBench bench;
  if (args.sim) {
    if (const int status = StartBenchFromArgs(name, *args.sim, args.simSets, sim::VirtualBenchOptions{}, bench))
      return status;
    if (!args.resultsFolder.empty()) Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", args.resultsFolder);
  }

  EventLoop loop;
  StderrNotice notice;
  ScanEngine* engine = nullptr;
  CliEvents events(loop, engine);
  int status = 0;
  {
    ScanStation station(loop, notice, events);
    engine = &station.Engine();
    std::string error;
    if (!station.Start(&error)) return Fail(name, error);
    if (args.rate && !station.SetRate(*args.rate, &error)) {
      station.Stop();
      return Fail(name, "--rate: " + error, 2);
    }
    station.Engine().SetRangeText(args.range);
    bool started = true;
    loop.Post([&] {
      if (!station.Engine().StartScan()) {
        started = false;
        loop.Quit();
      }
    });
    loop.Run();
    station.Stop();
    if (!started) return Fail(name, "the scan did not start (see the error above)");
    PrintPoints(station);
    const ScanEndReport& r = events.report_;
    if (r.saved) std::printf("saved: %s\n", r.save.path.c_str());
    if (r.saved && !args.out.empty()) {
      std::error_code ec;
      std::filesystem::copy_file(r.save.path, args.out, std::filesystem::copy_options::overwrite_existing, ec);
      if (ec) {
        Fail(name, "cannot write " + args.out + ": " + ec.message());
        status = 1;
      } else {
        std::printf("saved: %s\n", args.out.c_str());
      }
    }
    if (!r.ok) status = Fail(name, r.error);
  }
  bench.Stop();
  return status;
}

}  // namespace kavu::cli
