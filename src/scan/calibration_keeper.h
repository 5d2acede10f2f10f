#pragma once
// CalibrationKeeper: the calibration in force, swapped whole. A reload builds a new table from
// the settings and publishes it with one atomic store; whoever took the previous one (an
// impedance computer in the middle of a scan, a results window computing) keeps using it until
// it lets go, so a computation never sees a table half loaded.
//
// Reload*() on any one thread at a time (the window thread); Current() from any thread.
#include <atomic>
#include <cstdint>
#include <memory>

#include "results/ant_izms.h"
#include "scan/calibration.h"

namespace kavu {

class CalibrationKeeper {
 public:
  // Tables of `capacity` points each; the first table is empty (calibration not in use).
  explicit CalibrationKeeper(int32_t capacity = AntIzms::kCapacity);

  // Loads set-up `number` (Calibration::Load) into a new table and swaps it in; returns it.
  std::shared_ptr<const Calibration> Reload(int number, const CalibrationSetup& setup, bool is_cal);
  // The switch and current set-up from the settings (Calibration::LoadFromSettings).
  std::shared_ptr<const Calibration> ReloadFromSettings();
  // The table in force (never null).
  std::shared_ptr<const Calibration> Current() const { return current_.load(std::memory_order_acquire); }

 private:
  void Publish(std::unique_ptr<Calibration> table);

  int32_t capacity_;
  std::atomic<std::shared_ptr<const Calibration>> current_;
};

}  // namespace kavu
