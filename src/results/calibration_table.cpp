#include "results/calibration_table.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/num_convert.h"
#include "platform/number_text.h"
#include "results/ant_izm_file.h"
#include "results/point_ratio.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

// Moving mean of `raw` into `out` (same length); see CalibrationTable::Smooth.
template <class T>
void MovingMean(const std::vector<T>& raw, int half, std::vector<T>& out) {
  const size_t n = raw.size();
  out.assign(n, T{});
  if (n == 0) return;
  if (half <= 0) {
    out = raw;
    return;
  }
  const size_t h = static_cast<size_t>(half);
  const size_t w = 2 * h + 1;
  if (n < w) {
    T sum{};
    for (const T& v : raw) sum += v;
    const T mean = sum / static_cast<double>(n);
    for (T& v : out) v = mean;
    return;
  }
  T sum{};
  for (size_t i = 0; i < w; ++i) sum += raw[i];
  const double inv_w = 1.0 / static_cast<double>(w);
  for (size_t k = 0; k <= h; ++k) out[k] = sum * inv_w;
  for (size_t k = h + 1; k + h < n; ++k) {
    sum += raw[k + h] - raw[k - h - 1];
    out[k] = sum * inv_w;
  }
  T tail{};
  for (size_t i = n - w; i < n; ++i) tail += raw[i];
  for (size_t k = n - h; k < n; ++k) out[k] = tail * inv_w;
}

}  // namespace

CalibrationTable::CalibrationTable(int32_t capacity) : points_(std::make_unique<AntIzms>(capacity)) {}

void CalibrationTable::Invalidate(std::string status) {
  status_ = std::move(status);
  n_ = 0;
}

void CalibrationTable::ResetTable() {
  file_name_.clear();
  Invalidate("empty");
  points_->SetCount(0);
  ratio_.clear();
  level_main_.clear();
  level_bpf_.clear();
  ++change_counter_;
  change_time_ = LocalClockAsFileTime();
}

bool CalibrationTable::LoadTable(const std::string& file_name) {
  ResetTable();
  file_name_ = file_name;
  if (file_name.empty()) {
    Invalidate("пустое имя файла");
    return false;
  }
  std::FILE* f = std::fopen(file_name.c_str(), "rb");
  if (!f) {
    Log() << "CalibrationTable::LoadTable() - " << file_name << ": " << std::strerror(errno) << "\n";
    Invalidate("не удалось открыть файл на диске с измерениями");
    return false;
  }
  int32_t count = 0;
  ScanFileReport report;
  const bool read = ReadAntIzms(f, points_->Data(), count, points_->Capacity(), &report);
  std::fclose(f);
  if (!read || report.truncated) {
    Log() << "CalibrationTable::LoadTable() - " << file_name << ": " << report.Describe() << "\n";
  }
  points_->SetCount(count);
  if (count < 2) {
    Invalidate("мало точек, N=" + std::to_string(count));
    return false;
  }
  n_ = count;
  const AntIzm* p = points_->Data();
  f0_ = p[0].freqHz;
  f_last_ = p[n_ - 1].freqHz;
  if (f_last_ == f0_) {
    Invalidate("нулевой шаг");
    return false;
  }
  for (int32_t i = 0; i < n_; ++i) {
    const double fi = p[i].freqHz;
    if (!std::isfinite(fi) || fi <= 0) {
      Invalidate(std::to_string(i) + " частота некорректна " + FormatFixed(fi, 6) + " Гц");
      return false;
    }
  }
  return CheckGrid();
}

bool CalibrationTable::CheckGrid() {
  const AntIzm* p = points_->Data();
  const double last = static_cast<double>(n_ - 1);
  step_ = (f_last_ - f0_) / last;
  inv_step_ = 1.0 / step_;
  ln_f0_ = std::log(f0_);
  ln_f_last_ = std::log(f_last_);
  log_step_ = (ln_f_last_ - ln_f0_) / last;
  inv_log_step_ = 1.0 / log_step_;
  // One step of tolerance either way; the magnitude of the step, so that a scan made downwards
  // on a uniform grid counts as uniform too.
  bool linear = true, logarithmic = true;
  for (int32_t i = 0; i < n_ && (linear || logarithmic); ++i) {
    const double di = static_cast<double>(i);
    if (std::fabs(di * step_ + f0_ - p[i].freqHz) > std::fabs(step_)) linear = false;
    if (std::fabs(di * log_step_ + ln_f0_ - std::log(p[i].freqHz)) > std::fabs(log_step_)) logarithmic = false;
  }
  if (!linear && !logarithmic) {
    Invalidate("неравномерный (и нелогарифмический) шаг по частоте");
    return false;
  }
  logarithmic_ = !linear;
  status_.clear();
  return true;
}

std::string CalibrationTable::StatusLine() const {
  if (!IsValid()) return status_;
  std::string s = "Диа " + FormatFixed(f0_ * 1e-6, 3) + " - " + FormatFixed(f_last_ * 1e-6, 3) +
                  " МГц, шаг " + FormatFixed(step_ * 1e-6, 6) + " МГц, точек " + std::to_string(n_);
  if (logarithmic_) s += ", логарифм";
  return s;
}

std::complex<double> CalibrationTable::Ratio(int32_t i) const { return PointRatio(points_->At(i)); }

double CalibrationTable::Level(int32_t i, int kind) const {
  const AntIzm& p = points_->At(i);
  return (kind == kLevelBpf ? p.oBpf : p.o) - p.gain;
}

void CalibrationTable::Smooth(std::vector<std::complex<double>>& out, int half) const {
  std::vector<std::complex<double>> raw(static_cast<size_t>(n_));
  for (int32_t i = 0; i < n_; ++i) raw[static_cast<size_t>(i)] = Ratio(i);
  MovingMean(raw, half, out);
}

void CalibrationTable::SmoothLevel(std::vector<double>& out, int half, int kind) const {
  std::vector<double> raw(static_cast<size_t>(n_));
  for (int32_t i = 0; i < n_; ++i) raw[static_cast<size_t>(i)] = Level(i, kind);
  MovingMean(raw, half, out);
}

void CalibrationTable::SmoothLevelTables(int half) {
  SmoothLevel(level_main_, half, kLevelMain);
  SmoothLevel(level_bpf_, half, kLevelBpf);
}

double CalibrationTable::Position(double f) const {
  const double a = logarithmic_ ? (std::log(f) - ln_f0_) * inv_log_step_ : (f - f0_) * inv_step_;
  return std::isfinite(a) ? a : std::nan("");
}

template <class T>
T CalibrationTable::InterpolateAt(std::span<const T> table, double f) const {
  const T missing = T{} * std::nan("");
  if (n_ <= 1 || table.size() < static_cast<size_t>(n_)) return missing;
  const double a = Position(f);
  if (std::isnan(a)) return missing;
  if (a < 0) return table[0];
  const double last = static_cast<double>(n_ - 1);
  if (a >= last) return table[static_cast<size_t>(n_ - 1)];
  const double fl = std::floor(a);
  const auto i = ToInt32(fl);  // 0 ≤ fl < n − 1: always fits
  if (!i) return missing;
  const double t = a - fl;
  const auto k = static_cast<size_t>(*i);
  return (1.0 - t) * table[k] + t * table[k + 1];
}

std::complex<double> CalibrationTable::Interpolate(std::span<const std::complex<double>> table,
                                                   double f) const {
  return InterpolateAt(table, f);
}

double CalibrationTable::Interpolate(std::span<const double> table, double f) const {
  return InterpolateAt(table, f);
}

int32_t CalibrationTable::NearestIndex(double f) const {
  if (n_ <= 1) return -1;
  const double a = Position(f);
  if (std::isnan(a)) return -1;
  if (a <= 0) return 0;
  if (a >= static_cast<double>(n_ - 1)) return n_ - 1;
  // 0 < a < n − 1, so the rounded position is a valid index.
  return static_cast<int32_t>(RoundToInt64(a).value_or(0));
}

double CalibrationTable::LevelAt(double f) const {
  const int32_t i = NearestIndex(f);
  if (i < 0) return std::nan("");
  const AntIzm& p = points_->At(i);
  return p.oAll - p.gain;
}

double CalibrationTable::LevelAtB(double f) const {
  const int32_t i = NearestIndex(f);
  if (i < 0) return std::nan("");
  const AntIzm& p = points_->At(i);
  return p.oDuoAll - p.gainDuo;
}

}  // namespace kavu
