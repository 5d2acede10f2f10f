// The options window, offscreen, on a station made from a private settings file:
//   options_window_open_ms   median time to make and show the window (every option read
//                            through its owner, every control filled)
//   options_apply_ms         median time of Enter (what the window does on it) with a changed
//                            probing slot, a change that makes the station plan again
//   rate_plan_ms             the anchor: that plan's own re-computation at the station's rate
//                            from the stored options (median), which the station does when the
//                            window closes
#include <QLineEdit>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "bench_registry.h"
#include "board/board_protocol.h"
#include "platform/event_loop.h"
#include "qt_bench_app.h"
#include "scan/fft_start_up.h"
#include "scan/rate_plan_keeper.h"
#include "scan/ui/cdlg_options.h"
#include "session/analyzer_session.h"
#include "shell/error_box.h"
#include "shell/settings_store.h"

namespace kavu::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The probing slots the runs alternate between, ms (each Enter changes the plan).
const char* const kSlots[2] = {"3.5", "2"};

void OptionsBench() {
  EnsureOffscreenApp();
  char folder[] = "/tmp/kavu-options-bench-XXXXXX";
  if (!mkdtemp(folder)) {
    BenchFailed("options bench: no temporary folder");
    return;
  }
  UseSettingsFile(std::string(folder) + "/settings.ini");
  EventLoop loop;
  RecordingNotice notice;
  SessionOptions o;
  o.station.ring_capacity = 1 << 16;
  o.station.chain_capacity = 1 << 20;
  o.station.results_capacity = 64;
  std::string error;
  const std::unique_ptr<AnalyzerSession> session = AnalyzerSession::Create(loop, notice, o, &error);
  if (!session) {
    BenchFailed("options bench: " + error);
    return;
  }
  constexpr int kRuns = 15;
  std::vector<double> open, apply, plan;
  for (int i = 0; i < kRuns; ++i) {
    const Clock::time_point t0 = Clock::now();
    auto dlg = std::make_unique<CDlgOptions>(*session);
    dlg->show();
    QCoreApplication::processEvents();
    open.push_back(Ms(t0));
    auto* tzond = dlg->findChild<QLineEdit*>("c1217");
    if (!tzond) {
      BenchFailed("options bench: no probing slot field c1217");
      return;
    }
    tzond->setText(QString::fromLatin1(kSlots[i % 2]));
    const Clock::time_point t1 = Clock::now();
    dlg->Apply();
    apply.push_back(Ms(t1));
    if (ScanOptions::Load().m_TZond10 != (i % 2 == 0 ? 35 : 20)) {
      BenchFailed("options bench: Enter did not store the probing slot");
      return;
    }
    dlg->close();
    if (!session->Station().OptionsChanged()) {
      BenchFailed("options bench: the station made no plan from the options");
      return;
    }
  }
  // The anchor: the plan alone, from the same options, at the station's rate.
  const RatePlanInputs at_rate = session->Station().Keeper().Inputs();
  ORatePlanKeeper keeper(StartFft(65536), at_rate);
  for (int i = 0; i < kRuns; ++i) {
    ScanOptions s = ScanOptions::Load();
    s.m_TZond10 = i % 2 == 0 ? 35 : 20;  // the two plans the window's runs asked for
    const RatePlanInputs in =
        s.PlanInputs(at_rate.sampleRate, OBoardProtocol::kDefaultTimerClock, OBoardProtocol::kDefaultTimerDivider);
    const Clock::time_point t0 = Clock::now();
    const bool ok = keeper.SetInputs(in);
    plan.push_back(Ms(t0));
    if (!ok) {
      BenchFailed("options bench: no plan at the station's rate");
      return;
    }
  }
  BenchPrint("options_window_open_ms", Median(open));
  BenchPrint("options_apply_ms", Median(apply));
  BenchPrint("rate_plan_ms", Median(plan));
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

const BenchRegistrar options_registrar("options_window", OptionsBench);

}  // namespace
}  // namespace kavu::bench
