// Scan files as calibration tables: validation texts, grids, smoothing and lookups.
#include "results/calibration_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <vector>

#include "results/ant_izm_file.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

using C = std::complex<double>;

// A point whose ratio A/O is `rho` and whose levels are given: |O| 1 dB above the whole band.
AntIzm Point(double f, C rho, double o_all = 0, double gain = 0) {
  AntIzm p = EmptyAntIzm();
  p.freqHz = f;
  p.o = o_all + 1;
  p.a = p.o + 20 * std::log10(std::abs(rho));
  p.phase = -std::arg(rho);
  p.oAll = o_all;
  p.oBpf = o_all - 3;
  p.gain = gain;
  p.oDuoAll = o_all - 10;
  p.gainDuo = gain + 1;
  return p;
}

std::string WriteScan(const test::TempDir& dir, const std::string& name, const std::vector<AntIzm>& pts) {
  const std::string path = dir.File(name);
  std::string error;
  EXPECT_TRUE(WriteScanFile(path, pts.data(), static_cast<int32_t>(pts.size()), std::nullopt, &error)) << error;
  return path;
}

std::vector<AntIzm> Linear(int n, double f0, double step, const std::function<C(int)>& rho) {
  std::vector<AntIzm> v;
  for (int i = 0; i < n; ++i) v.push_back(Point(f0 + i * step, rho(i), i, 0.5 * i));
  return v;
}

TEST(CalibrationTable, StatusTextsOfBadFiles) {
  test::TempDir dir;
  CalibrationTable t(1000);
  EXPECT_EQ(t.Status(), "empty");
  EXPECT_FALSE(t.LoadTable(""));
  EXPECT_EQ(t.Status(), "пустое имя файла");
  EXPECT_FALSE(t.LoadTable(dir.File("missing.kant")));
  EXPECT_EQ(t.Status(), "не удалось открыть файл на диске с измерениями");
  test::WriteFile(dir.File("junk.kant"), "not a scan file at all");
  EXPECT_FALSE(t.LoadTable(dir.File("junk.kant")));
  EXPECT_EQ(t.Status(), "мало точек, N=0");
  EXPECT_FALSE(t.LoadTable(WriteScan(dir, "one.kant", {Point(1e6, 1.0)})));
  EXPECT_EQ(t.Status(), "мало точек, N=1");
  EXPECT_FALSE(t.LoadTable(WriteScan(dir, "same.kant", {Point(1e6, 1.0), Point(2e6, 1.0), Point(1e6, 1.0)})));
  EXPECT_EQ(t.Status(), "нулевой шаг");
  EXPECT_FALSE(t.LoadTable(WriteScan(dir, "neg.kant", {Point(1e6, 1.0), Point(-5, 1.0), Point(3e6, 1.0)})));
  EXPECT_EQ(t.Status(), "1 частота некорректна -5.000000 Гц");
  EXPECT_FALSE(t.LoadTable(WriteScan(dir, "nan.kant", {Point(1e6, 1.0), Point(2e6, 1.0), Point(NAN, 1.0), Point(4e6, 1.0)})));
  EXPECT_EQ(t.Status(), "2 частота некорректна nan Гц");
  // 1, 1.1, 1.2, 10 MHz: neither linear nor logarithmic within one step.
  EXPECT_FALSE(t.LoadTable(WriteScan(dir, "odd.kant", {Point(1e6, 1.0), Point(1.1e6, 1.0), Point(1.2e6, 1.0), Point(10e6, 1.0)})));
  EXPECT_EQ(t.Status(), "неравномерный (и нелогарифмический) шаг по частоте");
  EXPECT_FALSE(t.IsValid());
  EXPECT_EQ(t.Count(), 0);
  EXPECT_EQ(t.StatusLine(), t.Status());
  // Every lookup on an invalid table is NaN, never an index.
  EXPECT_TRUE(std::isnan(t.Interpolate(t.RatioTable(), 1e6).real()));
  EXPECT_TRUE(std::isnan(t.LevelAt(1e6)));
  EXPECT_TRUE(std::isnan(t.LevelAtB(1e6)));
}

TEST(CalibrationTable, GridsAndStatusLine) {
  test::TempDir dir;
  CalibrationTable t(1000);
  const uint32_t before = t.ChangeCounter();
  ASSERT_TRUE(t.LoadTable(WriteScan(dir, "lin.kant", Linear(11, 1e6, 0.5e6, [](int) { return C(1); }))));
  EXPECT_GT(t.ChangeCounter(), before);
  EXPECT_EQ(t.Status(), "");
  EXPECT_FALSE(t.Logarithmic());
  EXPECT_EQ(t.StatusLine(), "Диа 1.000 - 6.000 МГц, шаг 0.500000 МГц, точек 11");
  std::vector<AntIzm> log_pts;
  for (int i = 0; i < 5; ++i) log_pts.push_back(Point(1e6 * std::pow(10.0, i * 0.5), 1.0));
  ASSERT_TRUE(t.LoadTable(WriteScan(dir, "log.kant", log_pts)));
  EXPECT_TRUE(t.Logarithmic());
  EXPECT_EQ(t.StatusLine(), "Диа 1.000 - 100.000 МГц, шаг 24.750000 МГц, точек 5, логарифм");
  // Two points on a logarithmic grid are also linear.
  ASSERT_TRUE(t.LoadTable(WriteScan(dir, "two.kant", {Point(1e6, 1.0), Point(100e6, 1.0)})));
  EXPECT_FALSE(t.Logarithmic());
  // A scan made downwards on a uniform grid is uniform too.
  ASSERT_TRUE(t.LoadTable(WriteScan(dir, "down.kant", Linear(5, 10e6, -1e6, [](int i) { return C(i, 0); }))));
  t.SmoothRatioTable(0);
  EXPECT_FALSE(t.Logarithmic());
  EXPECT_LT(t.StepHz(), 0);
  EXPECT_NEAR(t.Interpolate(t.RatioTable(), 7.5e6).real(), 2.5, 1e-12);  // 10, 9, 8, 7 … MHz
  EXPECT_NEAR(t.Interpolate(t.RatioTable(), 20e6).real(), 0.0, 1e-12);  // above: the first point
  t.ResetTable();
  EXPECT_EQ(t.Status(), "empty");
  EXPECT_FALSE(t.IsValid());
}

TEST(CalibrationTable, InterpolationAndEnds) {
  test::TempDir dir;
  CalibrationTable t(1000);
  ASSERT_TRUE(t.LoadTable(WriteScan(dir, "lin.kant", Linear(4, 10e6, 1e6, [](int i) { return C(1 + i, -i); }))));
  t.SmoothRatioTable(0);
  const auto& r = t.RatioTable();
  ASSERT_EQ(r.size(), 4u);
  EXPECT_LT(std::abs(t.Interpolate(r, 11.25e6) - C(2.25, -1.25)), 1e-12);
  EXPECT_LT(std::abs(t.Interpolate(r, 5e6) - r[0]), 1e-15);    // below the first point
  EXPECT_LT(std::abs(t.Interpolate(r, 99e6) - r[3]), 1e-15);   // above the last
  EXPECT_LT(std::abs(t.Interpolate(r, 13e6) - r[3]), 1e-15);   // exactly the last
  EXPECT_TRUE(std::isnan(t.Interpolate(r, NAN).real()));
  EXPECT_TRUE(std::isnan(t.Interpolate(r, INFINITY).real()));
  const std::vector<C> shorter(r.begin(), r.begin() + 2);
  EXPECT_TRUE(std::isnan(t.Interpolate(shorter, 11e6).real()));  // table shorter than the grid
  // Real tables interpolate the same way.
  const std::vector<double> lv = {0, 10, 20, 30};
  EXPECT_DOUBLE_EQ(t.Interpolate(lv, 12.5e6), 25.0);
  // A logarithmic grid interpolates along ln f.
  std::vector<AntIzm> log_pts;
  for (int i = 0; i < 5; ++i) log_pts.push_back(Point(1e6 * std::pow(10.0, i), 1.0));
  ASSERT_TRUE(t.LoadTable(WriteScan(dir, "log.kant", log_pts)));
  ASSERT_TRUE(t.Logarithmic());
  const std::vector<double> decades = {0, 1, 2, 3, 4};
  EXPECT_NEAR(t.Interpolate(decades, std::sqrt(10.0) * 1e7), 1.5, 1e-12);
  EXPECT_TRUE(std::isnan(t.Interpolate(decades, 0.0)));  // ln 0: no position
}

TEST(CalibrationTable, SmoothingWindows) {
  test::TempDir dir;
  CalibrationTable t(1000);
  const auto rho = [](int i) { return std::polar(1.0 + 0.1 * ((i * 7) % 5), 0.3 * ((i * 3) % 4)); };
  ASSERT_TRUE(t.LoadTable(WriteScan(dir, "lin.kant", Linear(20, 1e6, 1e6, rho))));
  std::vector<C> raw(20), out;
  for (int i = 0; i < 20; ++i) raw[static_cast<size_t>(i)] = t.Ratio(i);
  for (int i = 0; i < 20; ++i) EXPECT_LT(std::abs(raw[static_cast<size_t>(i)] - rho(i)), 1e-12);
  t.Smooth(out, 0);
  EXPECT_EQ(out, raw);  // half-width 0: the raw ratios exactly
  const auto mean = [&](int from, int to) {
    C s = 0;
    for (int i = from; i <= to; ++i) s += raw[static_cast<size_t>(i)];
    return s / static_cast<double>(to - from + 1);
  };
  t.Smooth(out, 2);
  ASSERT_EQ(out.size(), 20u);
  for (int k = 0; k <= 2; ++k) EXPECT_LT(std::abs(out[static_cast<size_t>(k)] - mean(0, 4)), 1e-12) << k;
  for (int k = 3; k < 17; ++k) EXPECT_LT(std::abs(out[static_cast<size_t>(k)] - mean(k - 2, k + 2)), 1e-12) << k;
  for (int k = 18; k < 20; ++k) EXPECT_LT(std::abs(out[static_cast<size_t>(k)] - mean(15, 19)), 1e-12) << k;
  EXPECT_LT(std::abs(out[17] - mean(15, 19)), 1e-12);
  t.Smooth(out, 10);  // window of 21 > 20 points: all the mean
  for (const C& v : out) EXPECT_LT(std::abs(v - mean(0, 19)), 1e-12);
  std::vector<double> lv;
  // The main level |O| − gain = (i + 1) − 0.5 i: linear, so the moving mean keeps it.
  t.SmoothLevel(lv, 1, CalibrationTable::kLevelMain);
  for (int k = 1; k < 19; ++k) EXPECT_NEAR(lv[static_cast<size_t>(k)], 0.5 * k + 1, 1e-12);
  EXPECT_NEAR(lv[0], 1.5, 1e-12);
  t.SmoothLevelTables(0);
  EXPECT_DOUBLE_EQ(t.LevelTable(CalibrationTable::kLevelBpf)[4], 4 - 3 - 2.0);
  EXPECT_DOUBLE_EQ(t.LevelTable(CalibrationTable::kLevelMain)[4], 4 + 1 - 2.0);  // o, not oAll
}

TEST(CalibrationTable, LevelLookupsTakeTheNearestPoint) {
  test::TempDir dir;
  CalibrationTable t(1000);
  // oAll = i, gain = 0.5 i: level i/2; input B: oDuoAll − gainDuo = i − 10 − 0.5 i − 1.
  ASSERT_TRUE(t.LoadTable(WriteScan(dir, "lin.kant", Linear(10, 100e6, 10e6, [](int) { return C(1); }))));
  EXPECT_DOUBLE_EQ(t.LevelAt(100e6), 0.0);
  EXPECT_DOUBLE_EQ(t.LevelAt(124e6), 1.0);   // nearest is point 2
  EXPECT_DOUBLE_EQ(t.LevelAt(126e6), 1.5);   // nearest is point 3
  EXPECT_DOUBLE_EQ(t.LevelAt(1e6), 0.0);     // below: the first
  EXPECT_DOUBLE_EQ(t.LevelAt(5e9), 4.5);     // above: the last
  EXPECT_DOUBLE_EQ(t.LevelAtB(130e6), 3 - 10 - 1.5 - 1);
  EXPECT_TRUE(std::isnan(t.LevelAt(NAN)));
}

}  // namespace
}  // namespace kavu
