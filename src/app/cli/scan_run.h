#pragma once
// The scan shared by `kavusdraa-cli scan` and `kavusdraa-cli demo`: optionally starts the
// virtual bench, wires the analyzer session (no web server) on the tool's own event loop, runs one scan,
// prints one line per point, the range summaries and where it was saved.
#include <signal.h>

#include <optional>
#include <string>
#include <vector>

namespace kavu {
class AnalyzerSession;
class EventLoop;
}  // namespace kavu

namespace kavu::cli {

struct ScanRunArgs {
  std::string range = "140-150 0.5";
  std::optional<int> rate;
  std::optional<std::string> sim;      // the bench's load text
  std::vector<std::string> simSets;    // NAME=VALUE
  std::string out;                     // also write the scan file here
  std::string resultsFolder;           // bench only: where the scan is saved (empty: the setting)
};

// Parses scan's arguments; prints the reason and returns false on nonsense.
bool ParseScanArgs(const char* name, const std::vector<std::string>& args, ScanRunArgs& out, bool* listOnly);
// Runs the scan; the exit status: 1 with the error text when the scan failed, 128 + the signal
// when SIGINT, SIGTERM or SIGHUP stopped it (its points are printed and saved all the same).
// A scan without a point saves nothing.
int RunScan(const char* name, const ScanRunArgs& args);
// The scan on `session` (made on `loop`, not started): starts it, scans, stops it; `stop_signals`
// are blocked and polled.
int ScanOnSession(const char* name, const ScanRunArgs& args, const sigset_t& stop_signals, EventLoop& loop,
                  AnalyzerSession& session);

}  // namespace kavu::cli
