#include "measure/measure_keeper.h"

namespace kavu {

MeasureSnapshot::MeasureSnapshot(const BridgeSettings& bridge, std::shared_ptr<const Calibration> calibration)
    : calibration_(calibration ? std::move(calibration) : std::make_shared<const Calibration>(2)),
      impedance_(bridge, calibration_) {}

std::shared_ptr<const MeasureSnapshot> MeasureSnapshot::Uncalibrated(const BridgeSettings& bridge) {
  return std::make_shared<const MeasureSnapshot>(bridge, nullptr);
}

MeasureKeeper::MeasureKeeper(int32_t capacity) : capacity_(capacity) {
  Publish(BridgeSettings{}, std::make_shared<const Calibration>(capacity_));
}

std::shared_ptr<const MeasureSnapshot> MeasureKeeper::Current() const {
  std::lock_guard lock(mutex_);
  return current_;
}

std::shared_ptr<const MeasureSnapshot> MeasureKeeper::ReloadFromSettings() {
  auto table = std::make_shared<Calibration>(capacity_);
  table->LoadFromSettings();
  return Publish(LoadBridgeSettings(), std::move(table));
}

std::shared_ptr<const MeasureSnapshot> MeasureKeeper::ReloadCalibration() {
  auto table = std::make_shared<Calibration>(capacity_);
  table->LoadFromSettings();
  return Publish(Current()->Bridge(), std::move(table));
}

std::shared_ptr<const MeasureSnapshot> MeasureKeeper::Reload(int number, const CalibrationSetup& setup, bool is_cal) {
  auto table = std::make_shared<Calibration>(capacity_);
  table->Load(number, setup, is_cal);
  return Publish(Current()->Bridge(), std::move(table));
}

std::shared_ptr<const MeasureSnapshot> MeasureKeeper::SetBridge(const BridgeSettings& bridge) {
  const std::shared_ptr<const MeasureSnapshot> now = Current();
  if (now->Bridge() == bridge) return now;
  return Publish(bridge, now->SharedCal());
}

std::shared_ptr<const MeasureSnapshot> MeasureKeeper::Publish(const BridgeSettings& bridge,
                                                              std::shared_ptr<const Calibration> calibration) {
  // Built outside the lock: a reader taking Current() waits only for the pointer's swap.
  auto next = std::make_shared<MeasureSnapshot>(bridge, std::move(calibration));
  std::lock_guard lock(mutex_);
  next->version_ = ++version_;
  current_ = std::move(next);
  return current_;
}

}  // namespace kavu
