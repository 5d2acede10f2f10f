// ScanEngine: the end of a scan, its statistics and its saved copy.
#include <ctime>

#include "scan/scan_engine.h"
#include "scan/scan_saving.h"
#include "shell/log_console.h"

namespace kavu {

void ScanEngine::FinishScan(bool ok, const std::string& error) {
  p_.window.StopTimer(kWatchdogTimer);
  GoIdle();
  handover_.Forget();
  const bool wasSingle = single_;
  state_ = ScanState::kIdle;
  pauseRequested_ = false;
  single_ = false;
  ScanEndReport report;
  report.ok = ok;
  report.error = error;
  report.single = wasSingle;
  {
    auto lock = group_.Lock();
    stats_.endNs = SteadyNowNs();
    Log() << stats_.TotalLine();
    Log() << stats_.WaitLine();
    Log() << stats_.CostLine(meas_->ProcessingSeconds(), meas_->StageSeconds());
  }
  report.points = p_.store.Set(0).Count();
  if (!ok) p_.box.Show(error);
  if (wasSingle) {
    p_.events.ShowSignal();
  } else if (!SignalViewOpen()) {
    SaveAntRes(report);
  }
  // However the scan ended, the plan's view shows no scan in progress (the save above still
  // described the ranges as scanned).
  plan_.StopPlan();
  // A one-group scan asked for with SetSingleNextScan is one scan, not every scan from now on.
  singleNext_ = false;
  ++scansEnded_;
  p_.events.ScanEnded(report);
  if (ok && cyclic_) {
    if (!wasSingle) plan_.CopyToPrevious();
    PostToWindow([this] {
      if (state_ == ScanState::kIdle && cyclic_) StartScan();
    });
  }
}

void ScanEngine::SaveAntRes(ScanEndReport& report) {
  const ScanPlanView view = plan_.View();
  const std::shared_ptr<const SampleRatePlan> rate = p_.keeper.Published();
  const BridgeSettings bridge = prep_.Impedance() ? prep_.Impedance()->Bridge() : BridgeSettings{};
  ScanSaveInputs in;
  in.options = &prep_.Options();
  in.description = p_.description;
  in.plan = &view;
  in.ratePlan = rate.get();
  in.bridge = &bridge;
  in.points = p_.store.Set(0).Count();
  in.seconds = stats_.Seconds();
  const std::time_t now = std::time(nullptr);
  localtime_r(&now, &in.local);
  const ScanSaveTexts t = ComposeScanSave(in);
  report.save = p_.store.SaveScanResult(t.name, t.note);
  report.saved = report.save.written;  // a scan with no point writes nothing
  if (!report.save.ok) {
    const std::string text = "Не удалось сохранить результат сканирования в " + report.save.path + ": " +
                             report.save.error;
    p_.box.Show(text);
    report.ok = false;
    report.error = report.error.empty() ? text : report.error + "\n" + text;
  }
}

}  // namespace kavu
