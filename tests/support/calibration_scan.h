#pragma once
// Scan files for calibration tests: each point with a chosen ratio A/O (level difference in dB
// and stored phase), reference levels and receiver gain, written with the scan-file writer.
#include <cmath>
#include <string>
#include <vector>

#include "results/ant_izm.h"
#include "results/ant_izm_file.h"

namespace kavu::test {

struct CalibrationScanPoint {
  double f_hz = 0;
  double ratio_db = 0;      // |A| − |O|
  double phase_deg = 0;     // the stored phase φs, degrees
  double o_db = -20;        // |O|
  double o_bpf_db = -23;    // |O| ПФ
  double gain_db = 10;      // receiver gain
};

inline AntIzm CalibrationPoint(const CalibrationScanPoint& c) {
  AntIzm p = EmptyAntIzm();
  p.freqHz = c.f_hz;
  p.o = c.o_db;
  p.a = c.o_db + c.ratio_db;
  p.phase = c.phase_deg * M_PI / 180;
  p.oBpf = c.o_bpf_db;
  p.aBpf = c.o_bpf_db + c.ratio_db;
  p.oAll = c.o_db + 2;  // the whole band differs from both, so a mix-up shows
  p.gain = c.gain_db;
  return p;
}

// Writes the points to `path`; false when the writer failed.
inline bool WriteCalibrationScan(const std::string& path, const std::vector<CalibrationScanPoint>& points) {
  std::vector<AntIzm> p;
  for (const auto& c : points) p.push_back(CalibrationPoint(c));
  return WriteScanFile(path, p.data(), static_cast<int32_t>(p.size()), std::nullopt);
}

// `n` points from f0 in steps of `step` (Hz), all with the same ratio and levels as `like`.
inline std::vector<CalibrationScanPoint> ConstantScan(int n, double f0, double step, CalibrationScanPoint like) {
  std::vector<CalibrationScanPoint> v;
  for (int i = 0; i < n; ++i) {
    like.f_hz = f0 + i * step;
    v.push_back(like);
  }
  return v;
}

}  // namespace kavu::test
