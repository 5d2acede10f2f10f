#include "web/station_web_analyzer.h"

#include <cmath>

namespace kavu {

StationWebAnalyzer::StationWebAnalyzer(IAnalyzerSession& session, IWindowThread& window, std::string range_text,
                                       bool cyclic)
    : session_(session), station_(session.Station()), window_(window), rangeText_(std::move(range_text)),
      cyclic_(cyclic) {
  // The page computes with the station's measuring snapshot, the one scans and the results
  // window use; the settings as they are now start it.
  station_.Engine().Measure().ReloadFromSettings();
  // The error count lives on the window thread; the web thread reads this copy.
  window_.StartTimer(kRefreshTimer, 250, [this] { errors_.store(station_.Box().Count()); });
}

StationWebAnalyzer::~StationWebAnalyzer() { window_.StopTimer(kRefreshTimer); }

int32_t StationWebAnalyzer::Generation(int set) const { return State(set).generation; }

int32_t StationWebAnalyzer::Count(int set) const { return State(set).count; }

WebSetState StationWebAnalyzer::State(int set) const {
  std::vector<AntIzm> none;
  const AntIzms::View v = station_.Store().Set(set & 1).Snapshot(0, 0, none);
  return {v.generation, v.count};
}

std::pair<WebSetState, WebSetState> StationWebAnalyzer::States() const {
  const auto [current, previous] = AntIzms::Views(station_.Store().Set(0), station_.Store().Set(1));
  return {{current.generation, current.count}, {previous.generation, previous.count}};
}

void StationWebAnalyzer::Point(int set, int32_t index, float* freq_hz, float* r, float* x) const {
  std::vector<WebPoint> one;
  Points(set, index, 1, one);
  const WebPoint p = one.empty() ? WebPoint{} : one.front();
  *freq_hz = p.freq_hz;
  *r = p.r;
  *x = p.x;
}

void StationWebAnalyzer::Points(int set, int32_t first, int32_t max, std::vector<WebPoint>& out) const {
  const std::shared_ptr<const MeasureSnapshot> measure = station_.Engine().Measure().Current();
  std::lock_guard lock(copyMutex_);
  const AntIzms::View v = station_.Store().Set(set & 1).Snapshot(first, max, copy_);
  out.clear();
  out.reserve(copy_.size());
  for (const AntIzm& p : copy_) {
    const Complex z = measure->Impedance().ComputeZ(p, v.hasDuo, -1);
    out.push_back({static_cast<float>(p.freqHz), static_cast<float>(z.real()), static_cast<float>(z.imag())});
  }
}

bool StationWebAnalyzer::Cyclic() const {
  std::lock_guard lock(mutex_);
  return cyclic_;
}

std::string StationWebAnalyzer::RangeText() const {
  std::lock_guard lock(mutex_);
  return rangeText_;
}

void StationWebAnalyzer::PostStartScan() {
  const LivenessWatch alive = alive_.Watch();
  window_.Post([this, alive] {
    if (alive.Expired()) return;
    session_.PageStartScan();
  });
}

void StationWebAnalyzer::PostPauseOrContinue() {
  const LivenessWatch alive = alive_.Watch();
  window_.Post([this, alive] {
    if (alive.Expired()) return;
    session_.PauseOrContinue();
  });
}

void StationWebAnalyzer::PostRange(bool cyclic, const std::string& text) {
  ShowRange(cyclic, text);  // read back at once; the session hands it on on the window thread
  const LivenessWatch alive = alive_.Watch();
  window_.Post([this, alive, cyclic, text] {
    if (alive.Expired()) return;
    session_.NewRange(cyclic, text);
  });
}

void StationWebAnalyzer::ShowRange(bool cyclic, const std::string& text) {
  std::lock_guard lock(mutex_);
  cyclic_ = cyclic;
  rangeText_ = text;
}

}  // namespace kavu
