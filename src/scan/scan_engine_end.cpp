// ScanEngine: the end of a scan, its statistics and its saved copy.
#include <cmath>
#include <ctime>

#include "scan/scan_engine.h"
#include "scan/scan_saving.h"
#include "shell/log_console.h"

namespace kavu {

void ScanEngine::FinishScan(bool ok, const std::string& error) {
  p_.window.StopTimer(kWatchdogTimer);
  GoIdle();
  handover_.Forget();
  // Ended before the plan did: the note and the summaries name what was measured.
  plan_.CutToMeasured();
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
  if (ok && !AnyFinitePoint()) {
    // Settings that turn every measurement into NaN or infinity (a cable length or a bridge far
    // outside what can be built) give a scan nobody can use: measured, kept and saved, but failed.
    ok = report.ok = false;
    report.error = "Ни одна из " + std::to_string(report.points) +
                   " точек не дала конечного R + jX: проверьте настройки моста и кабеля";
  }
  if (!ok) p_.box.Show(report.error);
  const bool again = ok && cyclic_;
  if (wasSingle) p_.events.ShowSignal();
  // While the measured-signal view is open a scan is looked at, not kept: nothing is saved.
  const bool save = !wasSingle && !SignalViewOpen();
  // The points are copied for the save before anything else can touch the sets.
  if (save) SaveAntRes(report, again);
  // However the scan ended, the plan's view shows no scan in progress.
  plan_.StopPlan();
  // A one-group scan asked for with SetSingleNextScan is one scan, not every scan from now on.
  singleNext_ = false;
  ++scansEnded_;
  if (again && !wasSingle) plan_.CopyToPrevious();
  if (!save) ReportEnd(report, again);
}

bool ScanEngine::AnyFinitePoint() const {
  const AntIzms& set = p_.store.Set(0);
  const ImpedanceComputer* z = prep_.Impedance();
  if (set.Count() == 0 || !z) return true;
  for (int32_t i = 0; i < set.Count(); ++i) {
    const Complex v = z->ComputeZ(set, i, -1);
    if (std::isfinite(v.real()) && std::isfinite(v.imag())) return true;
  }
  return false;
}

void ScanEngine::ReportEnd(const ScanEndReport& report, bool again) {
  p_.events.ScanEnded(report);
  if (again) {
    PostToWindow([this] {
      if (state_ == ScanState::kIdle && cyclic_) StartScan();
    });
  }
}

ScanSaveTexts ScanEngine::SaveTexts(const ScanPlanView& view, double seconds) const {
  const std::shared_ptr<const SampleRatePlan> rate = p_.keeper.Published();
  const BridgeSettings bridge = prep_.Impedance() ? prep_.Impedance()->Bridge() : BridgeSettings{};
  ScanSaveInputs in;
  in.options = &prep_.Options();
  in.description = p_.description;
  in.plan = &view;
  in.ratePlan = rate.get();
  in.bridge = &bridge;
  in.points = p_.store.Set(0).Count();
  in.seconds = seconds;
  const std::time_t now = std::time(nullptr);
  localtime_r(&now, &in.local);
  return ComposeScanSave(in);
}

void ScanEngine::SaveAntRes(const ScanEndReport& report, bool again) {
  const ScanSaveTexts t = SaveTexts(plan_.View(), stats_.Seconds());
  // The files are written on the saver's thread; the scan's end is reported once they are.
  saver_.Save(p_.store.PrepareScanSave(t.name, t.note), [this, end = report, again](const SaveOutcome& save) mutable {
    p_.store.CommitScanSave(save);
    end.save = save;
    end.saved = save.written;  // a scan with no point writes nothing
    if (!save.ok) {
      const std::string text = "Не удалось сохранить результат сканирования в " + save.path + ": " + save.error;
      p_.box.Show(text);
      end.ok = false;
      end.error = end.error.empty() ? text : end.error + "\n" + text;
    }
    ReportEnd(end, again);
  });
}

void ScanEngine::FlushSaves() { saver_.Flush(); }

}  // namespace kavu
