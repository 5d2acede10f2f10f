#pragma once
// Calibration: corrects a measured ratio A/O with scans of known loads (the calibration tables).
//
// Kind 0 (one well-matched load, balancing the bridge): ρ′ = ρ / c₁ · e₁.
// Kind 1 (three loads, e.g. 50 Ω, short, open): the bilinear map ρ′ = (ρ + x₀) / (x₁·ρ + x₂) that
// takes each calibration measurement cᵢ to its expected ratio eᵢ.
// cᵢ is the smoothed ratio of table i interpolated at f; eᵢ is the ratio the bridge model shows
// for the load of file i (ExpectedRatio, the same model the impedance is solved with), so
// calibrating on ideal loads and then measuring any load returns that load.
//
// The object is filled on the window thread (Load) and then only read: the sample thread may
// call CorrectRatio concurrently with other readers, never with Load.
#include <array>
#include <memory>
#include <string>

#include "results/calibration_table.h"
#include "scan/bridge_model.h"
#include "scan/calibration_setup.h"

namespace kavu {

class Calibration {
 public:
  // Each of the three tables holds up to `capacity` points.
  explicit Calibration(int32_t capacity = AntIzms::kCapacity);
  Calibration(const Calibration&) = delete;
  Calibration& operator=(const Calibration&) = delete;

  // Loads set-up `number` with its tables: table 1 (ratio and both level tables smoothed) for
  // both kinds, tables 2 and 3 (ratio smoothed) for kind 1; unused tables are reset. Then logs
  // one line when calibration is not applied, saying why (switched off, or which table is
  // invalid and its status).
  void Load(int number, const CalibrationSetup& setup, bool is_cal);
  // The switch and the current set-up from the settings, then Load.
  void LoadFromSettings();

  // The tables the kind needs are valid: kind 0 table 1; kind 1 tables 1, 2 and 3.
  bool IsCalibrationValid() const;
  // Calibration is switched on and valid: only then does the impedance use CorrectRatio.
  bool InUse() const { return is_cal_ && IsCalibrationValid(); }
  // Why the calibration is not in use (empty when it is).
  std::string WhyNotInUse() const;

  // The corrected ratio at f (Hz) for the given bridge. NaN when the tables are not valid or the
  // three-point system is singular or degenerate (two calibration scans with the same ratio).
  Complex CorrectRatio(Complex rho, double f_hz, const BridgeSettings& bridge) const;

  // Lookups for displays that correct individual quantities: the smoothed ratio A/O of file 1
  // and its smoothed level of the given CalibrationTable::LevelKind (dB), interpolated at f;
  // NaN while table 1 is invalid. Whether to apply them is the caller's choice, by IsCal(),
  // IsCalibrationValid() and the set-up's is_korr_ao / is_korr_a.
  Complex Ratio1At(double f_hz) const;
  double Level1At(int kind, double f_hz) const;

  bool IsCal() const { return is_cal_; }
  int Number() const { return number_; }
  const CalibrationSetup& Setup() const { return setup_; }
  // Table 0 … 2 (files 1 … 3).
  const CalibrationTable& Table(int i) const { return *tables_[static_cast<size_t>(i)]; }

 private:
  std::array<std::unique_ptr<CalibrationTable>, 3> tables_;
  CalibrationSetup setup_;
  bool is_cal_ = false;
  int number_ = 0;
};

}  // namespace kavu
