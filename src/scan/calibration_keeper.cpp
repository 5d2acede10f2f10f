#include "scan/calibration_keeper.h"

namespace kavu {

CalibrationKeeper::CalibrationKeeper(int32_t capacity) : capacity_(capacity) {
  Publish(std::make_unique<Calibration>(capacity_));
}

std::shared_ptr<const Calibration> CalibrationKeeper::Reload(int number, const CalibrationSetup& setup,
                                                             bool is_cal) {
  auto table = std::make_unique<Calibration>(capacity_);
  table->Load(number, setup, is_cal);
  Publish(std::move(table));
  return Current();
}

std::shared_ptr<const Calibration> CalibrationKeeper::ReloadFromSettings() {
  auto table = std::make_unique<Calibration>(capacity_);
  table->LoadFromSettings();
  Publish(std::move(table));
  return Current();
}

void CalibrationKeeper::Publish(std::unique_ptr<Calibration> table) {
  current_.store(std::shared_ptr<const Calibration>(std::move(table)), std::memory_order_release);
}

}  // namespace kavu
