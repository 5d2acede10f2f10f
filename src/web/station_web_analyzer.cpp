#include "web/station_web_analyzer.h"

#include <cmath>

#include "scan/bridge_settings.h"

namespace kavu {

StationWebAnalyzer::StationWebAnalyzer(ScanStation& station, IWindowThread& window, std::string range_text,
                                       bool cyclic)
    : station_(station), window_(window), rangeText_(std::move(range_text)), cyclic_(cyclic) {
  calibration_.LoadFromSettings();
  impedance_ = std::make_unique<ImpedanceComputer>(LoadBridgeSettings(), &calibration_);
  station_.Engine().SetRangeText(rangeText_);
  station_.Engine().SetCyclic(cyclic_);
  // The error count lives on the window thread; the web thread reads this copy.
  window_.StartTimer(kRefreshTimer, 250, [this] { errors_.store(station_.Box().Count()); });
}

StationWebAnalyzer::~StationWebAnalyzer() { window_.StopTimer(kRefreshTimer); }

int32_t StationWebAnalyzer::Generation(int set) const { return station_.Store().Set(set & 1).generation.load(); }

int32_t StationWebAnalyzer::Count(int set) const { return station_.Store().Set(set & 1).Count(); }

void StationWebAnalyzer::Point(int set, int32_t index, float* freq_hz, float* r, float* x) const {
  const AntIzms& s = station_.Store().Set(set & 1);
  const Complex z = impedance_->ComputeZ(s, index, -1);
  *freq_hz = static_cast<float>(s.At(index).freqHz);
  *r = static_cast<float>(z.real());
  *x = static_cast<float>(z.imag());
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
  std::weak_ptr<int> alive = alive_;
  window_.Post([this, alive] {
    if (alive.expired()) return;
    if (hooks_.start_scan) return hooks_.start_scan();
    station_.Engine().SetRangeText(RangeText());
    station_.Engine().StartScan();
  });
}

void StationWebAnalyzer::PostPauseOrContinue() {
  std::weak_ptr<int> alive = alive_;
  window_.Post([this, alive] {
    if (alive.expired()) return;
    if (hooks_.pause_or_continue) return hooks_.pause_or_continue();
    station_.Engine().PauseOrContinue();
  });
}

void StationWebAnalyzer::PostRange(bool cyclic, const std::string& text) {
  {
    std::lock_guard lock(mutex_);
    cyclic_ = cyclic;
    rangeText_ = text;
  }
  std::weak_ptr<int> alive = alive_;
  window_.Post([this, alive, cyclic, text] {
    if (alive.expired()) return;
    if (hooks_.range_changed) return hooks_.range_changed(cyclic, text);
    station_.Engine().SetCyclic(cyclic);
    station_.Engine().SetRangeText(text);
  });
}

}  // namespace kavu
