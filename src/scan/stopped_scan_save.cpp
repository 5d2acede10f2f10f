#include "scan/stopped_scan_save.h"

#include <csignal>
#include <string>

#include "platform/steady_clock.h"
#include "scan/scan_station.h"

namespace kavu {

ScanEndReport StopScanAndSave(ScanStation& station, const std::string& why, double seconds) {
  ScanEngine& engine = station.Engine();
  // An earlier scan's files still being written are finished first: no two writers at once.
  engine.FlushSaves();
  // A start still waiting for the generators has measured nothing: set 0 holds the scan before,
  // saved already.
  const bool began = engine.State() != ScanState::kIdle;
  engine.StopScan();
  ScanEndReport report;
  report.ok = false;
  report.error = why;
  if (!began) {
    report.started = false;
    report.save.ok = true;  // nothing to write, nothing lost
    return report;
  }
  // Read after the stop, which cut the plan to the part measured: the note names that range.
  const ScanPlanView view = engine.Plan().View();
  report.points = station.Store().Set(0).Count();
  const ScanSaveTexts t = engine.SaveTexts(view, seconds);
  report.save = station.Store().SaveScanResult(t.name, t.note);
  report.saved = report.save.written;
  if (!report.save.ok) report.error += "\ncannot save " + report.save.path + ": " + report.save.error;
  return report;
}

std::string StopSignalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "signal " + std::to_string(signal);
  }
}

std::string StopSignalText(int signal) { return "scan stopped by " + StopSignalName(signal); }

double ScanSecondsSoFar(const ScanEngine& engine) {
  const int64_t start = engine.Stats().startNs;
  return start > 0 ? static_cast<double>(SteadyNowNs() - start) * 1e-9 : 0.0;
}

}  // namespace kavu
