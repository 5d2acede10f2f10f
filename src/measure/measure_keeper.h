#pragma once
// What every impedance is computed with, as one immutable snapshot: the bridge, cable and
// second-channel choices, the calibration, and the impedance computer made of the two. The
// keeper publishes a new snapshot whole on a recalibration or an options change; scans, the
// results windows, the web page and the command-line tool take the current one and compute
// through its Impedance(), so two readers that took the same snapshot give the same R and X, and
// a reader that keeps an old one keeps computing with it unchanged while newer ones are published.
//
// Reload*/SetBridge on the window thread (the settings store is read there); Current() from any
// thread.
#include <cstdint>
#include <memory>
#include <mutex>

#include "measure/bridge_settings.h"
#include "measure/calibration.h"
#include "measure/impedance_computer.h"
#include "results/ant_izms.h"

namespace kavu {

class MeasureSnapshot {
 public:
  // `calibration` may be null: an empty one (calibration not in use) is made.
  MeasureSnapshot(const BridgeSettings& bridge, std::shared_ptr<const Calibration> calibration);
  // The bridge alone, no calibration (a picture drawn from a file, the tests).
  static std::shared_ptr<const MeasureSnapshot> Uncalibrated(const BridgeSettings& bridge);

  const BridgeSettings& Bridge() const { return impedance_.Bridge(); }
  // Never null; whether it applies is CalibrationInUse() (switched on and valid).
  const Calibration& Cal() const { return *calibration_; }
  const std::shared_ptr<const Calibration>& SharedCal() const { return calibration_; }
  bool CalibrationInUse() const { return impedance_.CalibrationInUse(); }
  // The one computation of R + jX from a stored point.
  const ImpedanceComputer& Impedance() const { return impedance_; }
  // Counts the keeper's publications: a reader compares it to notice a newer snapshot.
  uint64_t Version() const { return version_; }

 private:
  friend class MeasureKeeper;
  std::shared_ptr<const Calibration> calibration_;
  ImpedanceComputer impedance_;
  uint64_t version_ = 0;
};

class MeasureKeeper {
 public:
  // Calibration tables of `capacity` points each. The first snapshot has the default bridge and
  // no calibration; the owner loads the settings with ReloadFromSettings.
  explicit MeasureKeeper(int32_t capacity = AntIzms::kCapacity);
  MeasureKeeper(const MeasureKeeper&) = delete;
  MeasureKeeper& operator=(const MeasureKeeper&) = delete;

  // The snapshot in force (never null).
  std::shared_ptr<const MeasureSnapshot> Current() const;

  // The bridge settings and the calibration (its switch and current set-up) from the settings.
  std::shared_ptr<const MeasureSnapshot> ReloadFromSettings();
  // A recalibration: the calibration from the settings, the bridge kept.
  std::shared_ptr<const MeasureSnapshot> ReloadCalibration();
  // A recalibration with set-up `number` as given (Calibration::Load), the bridge kept.
  std::shared_ptr<const MeasureSnapshot> Reload(int number, const CalibrationSetup& setup, bool is_cal);
  // An options change: the new bridge with the calibration kept. Publishes nothing when `bridge`
  // equals the current one.
  std::shared_ptr<const MeasureSnapshot> SetBridge(const BridgeSettings& bridge);

 private:
  std::shared_ptr<const MeasureSnapshot> Publish(const BridgeSettings& bridge,
                                                 std::shared_ptr<const Calibration> calibration);

  int32_t capacity_;
  mutable std::mutex mutex_;  // guards current_ and version_: held only to copy or swap the pointer
  std::shared_ptr<const MeasureSnapshot> current_;
  uint64_t version_ = 0;
};

}  // namespace kavu
