#pragma once
// CalibrationTable: a scan-result file read as a table over frequency. The impedance calibration
// keeps three of them (the scans of its known loads); the receiver back ends keep one each as a
// gain-calibration table and look up the reference level in it.
//
// A table is valid when it holds more than one point on a uniform grid: either linear in
// frequency (every point within one step of f₀ + i·step) or logarithmic (the same with ln f).
// Loading never throws and never stops the program: whatever is wrong with the file ends up in
// Status() and leaves the table invalid (Count() 0).
//
// Lookups are safe on any table: an invalid table (n ≤ 1), a table shorter than the points, or a
// frequency whose grid position is not finite gives NaN; they never index outside the table.
// Window thread: ResetTable, LoadTable and the Smooth…Table calls replace the content and must
// not run while another thread looks values up.
#include <complex>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "results/ant_izms.h"

namespace kavu {

class CalibrationTable {
 public:
  // Which level a level table holds, per point, in dB. They pair with the input levels they
  // correct: "Вх |O|" (o − gain) and "ВхОп ПФ" (oBpf − gain).
  enum LevelKind : int {
    kLevelMain = 0,  // |O| of the main measurement (o) − receiver gain
    kLevelBpf = 1,   // |O| after the band-pass filter (oBpf) − receiver gain
  };

  // The points store (up to `capacity` points) is allocated once, untouched until loaded.
  explicit CalibrationTable(int32_t capacity = AntIzms::kCapacity);
  CalibrationTable(const CalibrationTable&) = delete;
  CalibrationTable& operator=(const CalibrationTable&) = delete;

  // Empties the table: count 0, status "empty", smoothed tables emptied, change counted.
  void ResetTable();
  // Reads and validates a scan file; true when the table is valid. The status is empty on
  // success, else one of: "пустое имя файла", "не удалось открыть файл на диске с измерениями",
  // "мало точек, N=%d", "нулевой шаг", "%d частота некорректна %0.6f Гц",
  // "неравномерный (и нелогарифмический) шаг по частоте". The smoothed tables are emptied.
  bool LoadTable(const std::string& file_name);

  bool IsValid() const { return n_ > 1; }
  const std::string& Status() const { return status_; }
  const std::string& FileName() const { return file_name_; }
  // Number of points; 0 while invalid.
  int32_t Count() const { return n_; }
  double FirstHz() const { return f0_; }
  double LastHz() const { return f_last_; }
  // (f_last − f₀)/(n − 1), Hz (negative for a descending scan).
  double StepHz() const { return step_; }
  // True when the points lie on the logarithmic grid and not on the linear one.
  bool Logarithmic() const { return logarithmic_; }
  // Incremented, and the time (FILETIME, local clock) set, on every reset and load.
  uint32_t ChangeCounter() const { return change_counter_; }
  uint64_t ChangeTime() const { return change_time_; }

  // The window's status line: "Диа %0.3f - %0.3f МГц, шаг %0.6f МГц, точек %d" (MHz), followed
  // by ", логарифм" on a logarithmic grid; the status text while the table is invalid.
  std::string StatusLine() const;

  // Raw values of point i (0 ≤ i < Count()): the ratio A/O of the main channel, and the level
  // of the given kind in dB.
  std::complex<double> Ratio(int32_t i) const;
  double Level(int32_t i, int kind) const;

  // Moving means over 2·half + 1 neighbouring points (half ≥ 0); near the ends the first and
  // last full windows are used; with fewer points than one window every entry is the mean of
  // all. half = 0 copies the raw values exactly. `out` gets Count() entries.
  void Smooth(std::vector<std::complex<double>>& out, int half) const;
  void SmoothLevel(std::vector<double>& out, int half, int kind) const;

  // The table's own smoothed tables, filled by these two calls (empty until then).
  void SmoothRatioTable(int half) { Smooth(ratio_, half); }
  void SmoothLevelTables(int half);
  const std::vector<std::complex<double>>& RatioTable() const { return ratio_; }
  const std::vector<double>& LevelTable(int kind) const { return kind == kLevelBpf ? level_bpf_ : level_main_; }

  // Linear interpolation of a per-point table at frequency f (Hz) along the table's grid; below
  // the first point the first entry, above the last the last entry.
  std::complex<double> Interpolate(std::span<const std::complex<double>> table, double f) const;
  double Interpolate(std::span<const double> table, double f) const;

  // Gain-calibration lookups, in dB, from the raw points: |O| over the whole band (oAll) minus
  // the receiver gain at the point nearest to f; LevelAtB the same for the second input.
  double LevelAt(double f) const;
  double LevelAtB(double f) const;

 private:
  void Invalidate(std::string status);
  bool CheckGrid();
  // The grid position of f (0 at the first point, n − 1 at the last); NaN when not finite.
  double Position(double f) const;
  template <class T>
  T InterpolateAt(std::span<const T> table, double f) const;
  int32_t NearestIndex(double f) const;  // −1 when there is none

  std::unique_ptr<AntIzms> points_;
  std::string file_name_;
  std::string status_ = "empty";
  int32_t n_ = 0;
  double f0_ = 0, f_last_ = 0, step_ = 0, inv_step_ = 0;
  double ln_f0_ = 0, ln_f_last_ = 0, log_step_ = 0, inv_log_step_ = 0;
  bool logarithmic_ = false;
  uint32_t change_counter_ = 0;
  uint64_t change_time_ = 0;
  std::vector<std::complex<double>> ratio_;
  std::vector<double> level_main_, level_bpf_;
};

}  // namespace kavu
