#pragma once
// StationWebAnalyzer: the web application's view of a ScanStation. Points are read from the
// results store (sets 0 and 1) with R and X computed as the results show them; actions are posted
// to the window thread, where the engine runs them as its buttons would.
// The web server reads on its own thread while the window thread replaces sets (a scan's start
// moves set 0 into set 1) and the sample thread appends: State and Points copy through
// AntIzms::Snapshot, so an answer never mixes two versions of a set.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "scan/scan_station.h"
#include "shell/liveness.h"
#include "web/web_analyzer.h"

namespace kavu {

class StationWebAnalyzer : public IWebAnalyzer {
 public:
  // Window thread. The engine gets `range_text` and `cyclic` at once.
  StationWebAnalyzer(ScanStation& station, IWindowThread& window, std::string range_text, bool cyclic);
  ~StationWebAnalyzer() override;

  int32_t Generation(int set) const override;
  int32_t Count(int set) const override;
  void Point(int set, int32_t index, float* freq_hz, float* r, float* x) const override;
  WebSetState State(int set) const override;
  std::pair<WebSetState, WebSetState> States() const override;
  void Points(int set, int32_t first, int32_t max, std::vector<WebPoint>& out) const override;
  int32_t ErrorCount() const override { return errors_.load(); }
  bool Cyclic() const override;
  std::string RangeText() const override;
  void PostStartScan() override;
  void PostPauseOrContinue() override;
  void PostRange(bool cyclic, const std::string& text) override;

  static constexpr int kRefreshTimer = 130000;

  // How the page's actions reach a front end with windows: each hook that is set runs on the
  // window thread in place of the engine call, so the main window does what its own button does
  // and shows it (the range edit and the cyclic box follow the page). Unset: the engine is driven
  // directly (the headless server). Window thread, before the server starts.
  struct Hooks {
    std::function<void()> start_scan;
    std::function<void()> pause_or_continue;
    std::function<void(bool cyclic, const std::string& text)> range_changed;
  };
  void SetHooks(Hooks hooks) { hooks_ = std::move(hooks); }

 private:
  ScanStation& station_;
  IWindowThread& window_;
  mutable std::mutex mutex_;
  mutable std::mutex copyMutex_;        // guards copy_
  mutable std::vector<AntIzm> copy_;    // the records Points() copied, kept to be reused
  std::string rangeText_;
  bool cyclic_ = false;
  std::atomic<int32_t> errors_{0};
  Hooks hooks_;
  Liveness alive_;
};

}  // namespace kavu
