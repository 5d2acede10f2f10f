// A three-point calibration made from bench scans of 50 ohm, a short and an open, with the
// bench's bridge resistors 5 % off their nominal values, brings the impedances back within the
// instrument's bounds.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "e2e/bench_scan_fixture.h"
#include "measure/bridge_model.h"
#include "measure/bridge_settings.h"
#include "measure/calibration.h"
#include "measure/calibration_setup.h"
#include "measure/impedance_computer.h"
#include "support/temp_dir.h"

namespace kavu::test {
namespace {

class ScanCalibration : public BenchScan {};

constexpr const char* kRanges = "140-146 0.25";
// The calibration scans are finer, so their smoothing averages over more points.
constexpr const char* kCalRanges = "140-146 0.1";

TEST_F(ScanCalibration, ThreeLoadsBringAnOffBridgeBack) {
  TempDir keep;
  const auto scans = ScanLoads({"50", "0", "999999"}, kOffBridgeSets, kCalRanges, keep.Path(), "cal");
  ASSERT_EQ(scans.size(), 3u);
  const std::array<std::string, 3> files = {scans[0], scans[1], scans[2]};
  if (!Start("25-30j", kOffBridgeSets)) return;
  CalibrationSetup setup;
  setup.cal_type = 1;
  setup.names = files;
  setup.loads_ohm = {50, 0, CalibrationSetup::kOpenOhm};
  ASSERT_TRUE(SaveCalibrationSetup(0, setup));
  ASSERT_TRUE(SaveCalibrationSwitch(CalibrationSwitch{true, 0}));
  const auto end = Scan(kRanges);
  ASSERT_TRUE(end);
  EXPECT_TRUE(end->ok) << end->error;

  Calibration cal;
  cal.LoadFromSettings();
  ASSERT_TRUE(cal.InUse()) << cal.WhyNotInUse();
  const ImpedanceComputer calibrated(LoadBridgeSettings(), &cal);
  const ImpedanceComputer raw(LoadBridgeSettings(), nullptr);
  const AntIzms& set = station_->Store().Set(0);
  ASSERT_EQ(set.Count(), 25);
  const Complex want(25, -30);
  const double tol = 0.005 * std::abs(want) + 0.2;
  double rawWorst = 0;
  for (int32_t i = 0; i < set.Count(); ++i) {
    const Complex z = calibrated.ComputeZ(set, i, -1);
    EXPECT_NEAR(z.real(), want.real(), tol) << i;
    EXPECT_NEAR(z.imag(), want.imag(), tol) << i;
    EXPECT_LE(std::abs(std::abs(Gamma(z, 50)) - std::abs(Gamma(want, 50))), 0.002) << i;
    rawWorst = std::max(rawWorst, std::abs(raw.ComputeZ(set, i, -1) - want));
  }
  // Without the calibration the off bridge is plainly off.
  EXPECT_GT(rawWorst, 2 * tol);
}

}  // namespace
}  // namespace kavu::test
