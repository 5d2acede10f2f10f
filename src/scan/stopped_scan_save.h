#pragma once
// Stopping a scan because the program must end now (Ctrl-C, SIGTERM, SIGHUP, a session that
// logs out): the points measured so far are kept as a scan that ended by a failure keeps them,
// saved under the name and with the note the saving layer composes from the settings.
#include <string>

#include "scan/scan_engine.h"

namespace kavu {

class ScanStation;

// Window thread. Finishes the saves of earlier scans, stops the station's scan (starting,
// running or paused) and writes set 0 (and set 1, as every save does) before it returns, named
// and noted as the engine names every save; the note summarises the range measured. The report:
// ok false with `why` as its error, the points, and the save's outcome (a scan without a point
// saves nothing, and earlier files stay). A scan still starting (the generators' initialisation
// pending) has measured nothing: nothing is saved, points 0 and started false.
// `seconds`: the scan's time so far, for the note.
ScanEndReport StopScanAndSave(ScanStation& station, const std::string& why, double seconds);

// "SIGINT", "SIGTERM", "SIGHUP"; other numbers: "signal N".
std::string StopSignalName(int signal);
// "scan stopped by " + StopSignalName(signal).
std::string StopSignalText(int signal);

// Seconds since the engine's last scan began (its statistics' start); 0 before the first scan.
double ScanSecondsSoFar(const ScanEngine& engine);

// True while a scan is starting, running or paused: what a stop signal has to save.
inline bool ScanInProgress(const ScanEngine& engine) {
  return engine.State() != ScanState::kIdle || engine.Starting();
}

}  // namespace kavu
