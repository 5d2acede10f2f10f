// Corrections of single quantities from calibration table 1: the ratio in dB, the phase and
// the two input levels, each only while its switches are on, interpolated over frequency.
#include <gtest/gtest.h>

#include <cmath>

#include "measure/calibration.h"
#include "support/calibration_scan.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

using test::CalibrationScanPoint;
constexpr double kDeg = M_PI / 180;

// A matched load whose ratio reads A − O = 6 dB at φs = 30°, |O| −20 dB, |O|ПФ −23 dB, gain
// 10 dB: level tables −30 dB and −33 dB.
CalibrationScanPoint SixDbThirtyDeg() {
  CalibrationScanPoint c;
  c.ratio_db = 6, c.phase_deg = 30, c.o_db = -20, c.o_bpf_db = -23, c.gain_db = 10;
  return c;
}

struct Corrections {
  double ratio, phase, level0, level1;
};
Corrections At(const Calibration& cal, double f) {
  return {cal.RatioCorrectionDb(f), cal.PhaseCorrectionRad(f), cal.LevelCorrectionDb(0, f),
          cal.LevelCorrectionDb(1, f)};
}

// Every correction exactly 0.
void ExpectNone(const Calibration& cal, double f, const char* why) {
  const Corrections c = At(cal, f);
  EXPECT_EQ(c.ratio, 0.0) << why;
  EXPECT_EQ(c.phase, 0.0) << why;
  EXPECT_EQ(c.level0, 0.0) << why;
  EXPECT_EQ(c.level1, 0.0) << why;
}

TEST(CalibrationCorrections, ConstantRatioOnlyWhileItsSwitchesAreOn) {
  test::TempDir dir;
  const std::string file = dir.File("matched.kant");
  ASSERT_TRUE(test::WriteCalibrationScan(file, test::ConstantScan(40, 1e6, 0.5e6, SixDbThirtyDeg())));
  CalibrationSetup setup;  // kind 0, smoothing 11, "Исправлять A/O" on, "Исправлять |Вх|" off
  setup.names[0] = file;
  Calibration cal(100);
  cal.Load(0, setup, true);
  ASSERT_TRUE(cal.RatioCorrectionActive());
  EXPECT_FALSE(cal.LevelCorrectionActive());
  // On the grid, between points, below the first and above the last.
  for (double f : {1e6, 3.25e6, 10.1e6, 20.5e6, 0.2e6, 900e6}) {
    const Corrections c = At(cal, f);
    EXPECT_NEAR(c.ratio, 6.0, 1e-9) << f;
    EXPECT_NEAR(c.phase, 30 * kDeg, 1e-12) << f;
    EXPECT_EQ(c.level0, 0.0) << f;
    EXPECT_EQ(c.level1, 0.0) << f;
  }
  setup.is_korr_a = 1;
  cal.Load(0, setup, true);
  EXPECT_NEAR(cal.LevelCorrectionDb(0, 7e6), -30.0, 1e-9);
  EXPECT_NEAR(cal.LevelCorrectionDb(1, 7e6), -33.0, 1e-9);
  EXPECT_EQ(cal.LevelCorrectionDb(2, 7e6), 0.0);   // no such level table
  EXPECT_EQ(cal.LevelCorrectionDb(-1, 7e6), 0.0);
  // "Исправлять A/O" off: no ratio or phase correction; the levels stay.
  setup.is_korr_ao = 0;
  cal.Load(0, setup, true);
  EXPECT_FALSE(cal.RatioCorrectionActive());
  EXPECT_EQ(cal.RatioCorrectionDb(7e6), 0.0);
  EXPECT_EQ(cal.PhaseCorrectionRad(7e6), 0.0);
  EXPECT_NEAR(cal.LevelCorrectionDb(0, 7e6), -30.0, 1e-9);
  // Calibration switched off: nothing at all, whatever the set-up says.
  setup.is_korr_ao = 1;
  cal.Load(0, setup, false);
  ExpectNone(cal, 7e6, "switched off");
  // Switched on but the file is gone: nothing, not NaN.
  setup.names[0] = dir.File("gone.kant");
  cal.Load(0, setup, true);
  ExpectNone(cal, 7e6, "file gone");
}

TEST(CalibrationCorrections, InterpolateBetweenTwoCalibrationPoints) {
  test::TempDir dir;
  // 10 MHz: ratio 1 (0 dB, 0°), |O| −40, |O|ПФ −50; 20 MHz: ratio j (0 dB, φs = −90°),
  // |O| −30, |O|ПФ −42; no gain, no smoothing.
  CalibrationScanPoint p1, p2;
  p1.f_hz = 10e6, p1.ratio_db = 0, p1.phase_deg = 0, p1.o_db = -40, p1.o_bpf_db = -50, p1.gain_db = 0;
  p2.f_hz = 20e6, p2.ratio_db = 0, p2.phase_deg = -90, p2.o_db = -30, p2.o_bpf_db = -42, p2.gain_db = 0;
  CalibrationSetup setup;
  setup.names[0] = dir.File("two.kant");
  setup.aper2 = 0;
  setup.is_korr_a = 1;
  ASSERT_TRUE(test::WriteCalibrationScan(setup.names[0], {p1, p2}));
  Calibration cal(16);
  cal.Load(3, setup, true);
  ASSERT_TRUE(cal.InUse());
  // Halfway the complex ratio is (1 + j)/2: |c| = √½ (−3.0103 dB), arg 45°, so φs = −45°.
  Corrections c = At(cal, 15e6);
  EXPECT_NEAR(c.ratio, -3.0102999566, 1e-9);
  EXPECT_NEAR(c.phase, -45 * kDeg, 1e-12);
  EXPECT_NEAR(c.level0, -35.0, 1e-12);
  EXPECT_NEAR(c.level1, -46.0, 1e-12);
  // A quarter of the way: 0.75 + 0.25j, |c|² = 0.625 (−2.0412 dB), φs = −atan(1/3).
  c = At(cal, 12.5e6);
  EXPECT_NEAR(c.ratio, -2.0411998266, 1e-9);
  EXPECT_NEAR(c.phase, -std::atan(1.0 / 3), 1e-12);
  EXPECT_NEAR(c.level0, -37.5, 1e-12);
  EXPECT_NEAR(c.level1, -48.0, 1e-12);
  // Outside the table: its end points.
  c = At(cal, 3e6);
  EXPECT_NEAR(c.ratio, 0.0, 1e-12);
  EXPECT_NEAR(c.phase, 0.0, 1e-12);
  EXPECT_NEAR(c.level0, -40.0, 1e-12);
  c = At(cal, 50e6);
  EXPECT_NEAR(c.phase, -90 * kDeg, 1e-12);
  EXPECT_NEAR(c.level1, -42.0, 1e-12);
  // With smoothing over more points than the table has, every entry is the mean: the same
  // correction at both ends, (1 + j)/2.
  setup.aper2 = 1;
  cal.Load(3, setup, true);
  EXPECT_NEAR(cal.PhaseCorrectionRad(10e6), -45 * kDeg, 1e-12);
  EXPECT_NEAR(cal.LevelCorrectionDb(0, 20e6), -35.0, 1e-12);
}

TEST(CalibrationCorrections, ThreeLoadsTakeTheMatchedLoadsTable) {
  test::TempDir dir;
  CalibrationScanPoint shorted = SixDbThirtyDeg(), open = SixDbThirtyDeg();
  shorted.ratio_db = -25, shorted.phase_deg = 170, shorted.o_db = -5;
  open.ratio_db = 4, open.phase_deg = -12, open.o_db = -35;
  CalibrationSetup setup;
  setup.cal_type = 1;
  setup.is_korr_a = 1;
  setup.names = {dir.File("50.kant"), dir.File("short.kant"), dir.File("open.kant")};
  ASSERT_TRUE(test::WriteCalibrationScan(setup.names[0], test::ConstantScan(20, 1e6, 1e6, SixDbThirtyDeg())));
  ASSERT_TRUE(test::WriteCalibrationScan(setup.names[1], test::ConstantScan(20, 1e6, 1e6, shorted)));
  ASSERT_TRUE(test::WriteCalibrationScan(setup.names[2], test::ConstantScan(20, 1e6, 1e6, open)));
  Calibration cal(64);
  cal.Load(1, setup, true);
  ASSERT_TRUE(cal.InUse());
  Corrections c = At(cal, 8.5e6);
  EXPECT_NEAR(c.ratio, 6.0, 1e-9);
  EXPECT_NEAR(c.phase, 30 * kDeg, 1e-12);
  EXPECT_NEAR(c.level0, -30.0, 1e-9);
  EXPECT_NEAR(c.level1, -33.0, 1e-9);
  // The open's file missing: the three-load calibration is not valid, so no ratio or phase
  // correction; the level tables need only the matched load.
  setup.names[2] = dir.File("missing.kant");
  cal.Load(1, setup, true);
  EXPECT_FALSE(cal.IsCalibrationValid());
  c = At(cal, 8.5e6);
  EXPECT_EQ(c.ratio, 0.0);
  EXPECT_EQ(c.phase, 0.0);
  EXPECT_NEAR(c.level0, -30.0, 1e-9);
}

TEST(CalibrationCorrections, AZeroCalibrationRatioGivesNoValue) {
  // A matched-load scan that recorded no antenna signal: nothing to divide by. The corrected
  // |A/O| and phase are missing rather than some number.
  test::TempDir dir;
  CalibrationScanPoint dead = SixDbThirtyDeg();
  dead.ratio_db = -INFINITY;
  CalibrationSetup setup;
  setup.names[0] = dir.File("dead.kant");
  setup.is_korr_a = 1;
  ASSERT_TRUE(test::WriteCalibrationScan(setup.names[0], test::ConstantScan(10, 1e6, 1e6, dead)));
  Calibration cal(16);
  cal.Load(0, setup, true);
  ASSERT_TRUE(cal.RatioCorrectionActive());
  EXPECT_TRUE(std::isnan(cal.RatioCorrectionDb(4e6)));
  EXPECT_TRUE(std::isnan(cal.PhaseCorrectionRad(4e6)));
  EXPECT_NEAR(cal.LevelCorrectionDb(0, 4e6), -30.0, 1e-9);  // the levels are still there
}

}  // namespace
}  // namespace kavu
