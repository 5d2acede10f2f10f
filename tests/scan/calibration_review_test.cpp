// What the calibration window says about its files: loads read from text, the scan plan's
// extent, coverage of the plan, and the pairs of files a three-point calibration cannot use.
#include "scan/calibration_review.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <complex>
#include <filesystem>
#include <vector>

#include "measure/calibration.h"
#include "results/ant_izm_file.h"
#include "scan/calibration_load_text.h"
#include "support/point_with_ratio.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

TEST(CalibrationLoadText, BadTextGivesTheDefaultAndValuesAreClamped) {
  // Whatever the C library's locale, a comma is no decimal point here.
  const char* before = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = before ? before : "C";
  std::setlocale(LC_NUMERIC, "ru_RU.UTF-8");
  for (const char* bad : {"abc", "nan", "1e999", "2,5", "", "  ", "-inf", "50 Омм", "5 0"}) {
    EXPECT_EQ(ParseCalibrationLoad(0, bad), 50) << bad;
    EXPECT_EQ(ParseCalibrationLoad(1, bad), 0) << bad;
    EXPECT_EQ(ParseCalibrationLoad(2, bad), 999999) << bad;
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(ParseCalibrationLoad(0, "75 Ом"), 75);
  EXPECT_EQ(ParseCalibrationLoad(0, " 51Ом "), 51);
  EXPECT_DOUBLE_EQ(ParseCalibrationLoad(0, "2.5"), 2.5);
  EXPECT_EQ(ParseCalibrationLoad(1, "КЗ"), 0);
  EXPECT_EQ(ParseCalibrationLoad(2, "ХХ"), 999999);
  EXPECT_EQ(ParseCalibrationLoad(2, "200 Ом"), 200);
  // Clamped to the file's range: file 1 1 … 1000, files 2 and 3 0 … 999999.
  EXPECT_EQ(ParseCalibrationLoad(0, "КЗ"), 1);
  EXPECT_EQ(ParseCalibrationLoad(0, "5000"), 1000);
  EXPECT_EQ(ParseCalibrationLoad(1, "-10"), 0);
  EXPECT_EQ(ParseCalibrationLoad(2, "1e7"), 999999);
  // Every list entry reads back as itself.
  for (int file = 0; file < 3; ++file) {
    for (const std::string& c : CalibrationLoadChoices(file)) {
      EXPECT_EQ(FormatCalibrationLoad(ParseCalibrationLoad(file, c)), c);
    }
  }
  EXPECT_EQ(FormatCalibrationLoad(33.3), "33.3 Ом");
}

TEST(CalibrationReview, PlanSpansFollowTheRangeText) {
  auto spans = PlanSpans("140-150 0.5; 425-440 1");
  ASSERT_EQ(spans.size(), 2u);
  EXPECT_DOUBLE_EQ(spans[0].first, 140e6);
  EXPECT_NEAR(spans[0].last, 150e6, 1);
  EXPECT_DOUBLE_EQ(spans[1].first, 425e6);
  EXPECT_NEAR(spans[1].last, 440e6, 1);
  // A step that does not reach the end stops at the last frequency measured.
  spans = PlanSpans("10-10.9 0.25");
  ASSERT_EQ(spans.size(), 1u);
  EXPECT_NEAR(spans[0].last, 10.75e6, 1);
  spans = PlanSpans("1,8-2 N11 1-30 L5");
  ASSERT_EQ(spans.size(), 2u);
  EXPECT_NEAR(spans[0].first, 1.8e6, 1e-3);
  EXPECT_NEAR(spans[0].last, 2e6, 1);
  EXPECT_NEAR(spans[1].last, 30e6, 1);
  EXPECT_TRUE(PlanSpans("нет диапазона").empty());
  EXPECT_TRUE(PlanSpans("nan-5 1").empty());
}

using test::PointWithRatio;

// A scan of 61 points from 140 to 146 MHz whose ratio A/O is `rho` everywhere.
std::string ScanWithRatio(const test::TempDir& dir, const std::string& name, std::complex<double> rho,
                          double f0 = 140e6, double step = 0.1e6) {
  std::vector<AntIzm> pts;
  for (int i = 0; i <= 60; ++i) pts.push_back(PointWithRatio(f0 + i * step, rho));
  const std::string path = dir.File(name);
  EXPECT_TRUE(WriteScanFile(path, pts.data(), static_cast<int32_t>(pts.size()), std::nullopt));
  return path;
}

TEST(CalibrationReview, CoverageOfThePlan) {
  test::TempDir dir;
  CalibrationTable t(1024);
  ASSERT_TRUE(t.LoadTable(ScanWithRatio(dir, "a.kant", 1.0)));
  EXPECT_EQ(CoverageText(t, PlanSpans("140-146 0.25")), "план сканирования 140 - 146 МГц внутри файла");
  EXPECT_TRUE(UncoveredSpans(t, PlanSpans("140.01-146.04 0.5")).empty());  // within half a step
  const auto out = UncoveredSpans(t, PlanSpans("139-150 0.5; 425-440 1"));
  ASSERT_EQ(out.size(), 3u);
  EXPECT_DOUBLE_EQ(out[0].first, 139e6);
  EXPECT_DOUBLE_EQ(out[0].last, 140e6);
  EXPECT_DOUBLE_EQ(out[1].first, 146e6);
  EXPECT_NEAR(out[1].last, 150e6, 1);
  EXPECT_EQ(CoverageText(t, PlanSpans("140-150 0.5; 425-440 1")),
            "вне файла: 146 - 150; 425 - 440 МГц (там действуют крайние точки файла)");
  EXPECT_EQ(CoverageText(t, {}), "план сканирования не задан");
  CalibrationTable bad(1024);
  EXPECT_FALSE(bad.LoadTable(dir.File("missing.kant")));
  EXPECT_EQ(CoverageText(bad, PlanSpans("140-146 0.25")), "");
  EXPECT_TRUE(UncoveredSpans(bad, PlanSpans("140-146 0.25")).empty());
}

struct ThreeFiles {
  test::TempDir dir;
  CalibrationSetup setup;
  ThreeFiles() {
    setup.cal_type = 1;
    setup.aper2 = 0;
    setup.names = {ScanWithRatio(dir, "load.kant", {1.0, 0.02}), ScanWithRatio(dir, "short.kant", {0.01, 0}),
                   ScanWithRatio(dir, "open.kant", {1.7, -0.05})};
  }
  // The calibration's answer for one ratio.
  std::complex<double> Corrected() {
    Calibration cal(1024);
    cal.Load(0, setup, true);
    return cal.CorrectRatio({0.5, 0.1}, 143e6, BridgeSettings{});
  }
  std::vector<std::string> Warnings() {
    Calibration cal(1024);
    cal.Load(0, setup, true);
    return CalibrationWarnings(cal);
  }
};

bool AnyContains(const std::vector<std::string>& lines, const std::string& part) {
  for (const auto& l : lines) {
    if (l.find(part) != std::string::npos) return true;
  }
  return false;
}

TEST(CalibrationReview, WarnsAboutFilesThatMakeTheThreePointCalibrationSingular) {
  ThreeFiles f;
  EXPECT_TRUE(f.Warnings().empty());
  EXPECT_TRUE(std::isfinite(f.Corrected().real()));

  // The same scan under another name: the calibration's answer is not a number.
  std::filesystem::copy_file(f.setup.names[0], f.dir.File("copy.kant"));
  f.setup.names[2] = f.dir.File("copy.kant");
  auto w = f.Warnings();
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0], "Файлы 1 и 3 — одно и то же сканирование: калибровка по трём точкам из них невозможна, "
                  "сопротивления не будут вычислены");
  EXPECT_TRUE(std::isnan(f.Corrected().real()));

  // Nearly the same impedance: 0.5 % apart.
  f.setup.names[2] = ScanWithRatio(f.dir, "near.kant", {1.005, 0.02});
  w = f.Warnings();
  ASSERT_EQ(w.size(), 1u);
  EXPECT_TRUE(AnyContains(w, "Файлы 1 и 3 измеряют почти одно и то же сопротивление")) << w[0];
  EXPECT_TRUE(AnyContains(w, "почти вырождена")) << w[0];
  // 5 % apart is a different load.
  f.setup.names[2] = ScanWithRatio(f.dir, "far.kant", {1.05, 0.02});
  EXPECT_TRUE(f.Warnings().empty());

  // The same load given twice: impossible too.
  f.setup.loads_ohm = {50, 50, CalibrationSetup::kOpenOhm};
  w = f.Warnings();
  ASSERT_EQ(w.size(), 1u);
  EXPECT_TRUE(AnyContains(w, "Файлам 1 и 2 задана одна и та же нагрузка 50 Ом: калибровка по трём точкам из них невозможна"))
      << w[0];
  EXPECT_TRUE(std::isnan(f.Corrected().real()));
  // And two files without a common frequency.
  f.setup.names[2] = ScanWithRatio(f.dir, "high.kant", {1.7, 0}, 200e6);
  w = f.Warnings();
  EXPECT_TRUE(AnyContains(w, "Файлам 1 и 2 задана одна и та же нагрузка 50 Ом")) << ::testing::PrintToString(w);
  EXPECT_TRUE(AnyContains(w, "У файлов 1 и 3 нет общих частот")) << ::testing::PrintToString(w);
  EXPECT_TRUE(AnyContains(w, "У файлов 2 и 3 нет общих частот")) << ::testing::PrintToString(w);

  // The one-point calibration uses file 1 only: nothing to compare.
  f.setup.cal_type = 0;
  EXPECT_TRUE(f.Warnings().empty());
}

}  // namespace
}  // namespace kavu
