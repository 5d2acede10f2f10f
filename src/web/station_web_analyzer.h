#pragma once
// StationWebAnalyzer: the web application's view of a ScanStation. Points are read from the
// results store (sets 0 and 1) with R and X computed as the results show them; actions are posted
// to the window thread, where the analyzer session runs them as every front end's commands
// (IAnalyzerSession): the desktop's window shows them as its own buttons' and controls'.
// The web server reads on its own thread while the window thread replaces sets (a scan's start
// moves set 0 into set 1) and the sample thread appends: State and Points copy through
// AntIzms::Snapshot, so an answer never mixes two versions of a set.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "scan/analyzer_session_interface.h"
#include "scan/scan_station.h"
#include "shell/liveness.h"
#include "web/web_analyzer.h"

namespace kavu {

class StationWebAnalyzer : public IWebAnalyzer {
 public:
  // Window thread. `range_text` and `cyclic` are what the page reads back until ShowRange.
  StationWebAnalyzer(IAnalyzerSession& session, IWindowThread& window, std::string range_text, bool cyclic);
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

  // The range and cyclic flag the page reads back from now on (the session's, whoever changed
  // them). Any thread.
  void ShowRange(bool cyclic, const std::string& text);

  static constexpr int kRefreshTimer = 130000;

 private:
  IAnalyzerSession& session_;
  ScanStation& station_;
  IWindowThread& window_;
  mutable std::mutex mutex_;
  mutable std::mutex copyMutex_;        // guards copy_
  mutable std::vector<AntIzm> copy_;    // the records Points() copied, kept to be reused
  std::string rangeText_;
  bool cyclic_ = false;
  std::atomic<int32_t> errors_{0};
  Liveness alive_;
};

}  // namespace kavu
