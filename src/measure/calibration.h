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

#include "measure/bridge_model.h"
#include "measure/calibration_setup.h"
#include "results/calibration_table.h"

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

  // Raw lookups in table 1: its smoothed ratio A/O c₁ and its smoothed level of the given
  // CalibrationTable::LevelKind (dB), interpolated at f; NaN while table 1 is invalid. They apply
  // whatever the switches say; the corrections below decide when to apply.
  Complex Ratio1At(double f_hz) const;
  double Level1At(int kind, double f_hz) const;

  // Corrections of single quantities (graph lines, the text export), evaluated at f (Hz) and
  // subtracted by the caller. Both kinds take them from table 1, the scan of the matched load:
  // it is the only table with level tables, and the short and the open of kind 1 are no
  // reference for a level ratio.
  //
  // The amplitude/phase correction applies while calibration is switched on, "Исправлять A/O"
  // (m_IsKorrAO) is set and the tables the kind needs are valid; the level correction while
  // calibration is switched on, "Исправлять |Вх|" (m_IsKorrA) is set and table 1 is valid.
  bool RatioCorrectionActive() const;
  bool LevelCorrectionActive() const;
  // 20·log10|c₁(f)| dB, and the stored phase c₁ was made from, −arg c₁(f) rad (−π … π): the
  // ratio of a point is 10^((|A| − |O|)/20)·(cos φs − j sin φs). 0 while not active; NaN where
  // c₁ is zero or not finite (a value corrected by nothing is missing, not wrong).
  double RatioCorrectionDb(double f_hz) const;
  double PhaseCorrectionRad(double f_hz) const;
  // Level correction `which` (CalibrationTable::LevelKind: 0 |O| − gain, 1 |O|ПФ − gain) in dB at
  // f; 0 while not active or for any other `which`.
  double LevelCorrectionDb(int which, double f_hz) const;

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
