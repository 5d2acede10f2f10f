// Three calibration scans made on the virtual bench (50 ohm, a short and an open, on a bridge
// whose resistors are 5 % off), chosen in the calibration window, correct a later scan of
// 25 − j30 ohm exactly as the calibration built directly from the same files does, and the
// results window's text export shows the corrected impedances.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "e2e/bench_scan_fixture.h"
#include "measure/bridge_model.h"
#include "measure/bridge_settings.h"
#include "measure/calibration.h"
#include "measure/impedance_computer.h"
#include "platform/number_text.h"
#include "scan/ui/calibration_window_fixture.h"
#include "support/temp_dir.h"

namespace kavu::test {
namespace {

class CalibrationWindowOnBench : public BenchScan {};

constexpr const char* kRanges = "140-146 0.25";
constexpr const char* kCalRanges = "140-146 0.1";

// R and X (the second and third columns) of every line of a text export.
std::vector<Complex> ExportedImpedances(const std::string& path) {
  std::vector<Complex> out;
  std::istringstream in(ReadFile(path));
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> cols;
    std::istringstream cells(line);
    std::string c;
    while (std::getline(cells, c, '\t')) cols.push_back(c);
    if (cols.size() < 3) continue;
    const auto r = ParseRealWhole(cols[1]), x = ParseRealWhole(cols[2]);
    EXPECT_TRUE(r && x) << line;
    if (r && x) out.emplace_back(*r, *x);
  }
  return out;
}

TEST_F(CalibrationWindowOnBench, ThreeScansChosenInTheWindowCorrectLikeTheCore) {
  ScopedSettings scans_settings;
  TempDir keep;
  const auto scans = ScanLoads({"50", "0", "999999"}, kOffBridgeSets, kCalRanges, keep.Path(), "cal");
  ASSERT_EQ(scans.size(), 3u);
  const std::array<std::string, 3> files = {scans[0], scans[1], scans[2]};
  const auto measured_scan = ScanLoads({"25-30j"}, kOffBridgeSets, kRanges, keep.Path(), "measured");
  ASSERT_EQ(measured_scan.size(), 1u);
  const std::string& measured = measured_scan[0];

  CalibrationWindowFixture f(kRanges);
  f.results->LoadAnts(measured);
  f.ClickSetupButton();
  ASSERT_NE(f.dialog, nullptr);
  f.dialog->KindList()->setCurrentIndex(1);
  for (int i = 0; i < 3; ++i) f.Choose(i, files[static_cast<size_t>(i)]);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(f.dialog->Row(i).StatusLabel()->text(), "Диа 140.000 - 146.000 МГц, шаг 0.100000 МГц, точек 61");
    EXPECT_EQ(f.dialog->Row(i).CoverageLabel()->text(), "план сканирования 140 - 146 МГц внутри файла");
  }
  EXPECT_TRUE(f.dialog->WarningsLabel()->isHidden()) << f.dialog->WarningsLabel()->text().toStdString();
  ASSERT_TRUE(f.dialog->Current().InUse()) << f.dialog->Current().WhyNotInUse();

  // The core's calibration from the same files and loads.
  CalibrationSetup setup;
  setup.cal_type = 1;
  setup.names = files;
  setup.loads_ohm = {50, 0, CalibrationSetup::kOpenOhm};
  Calibration core;
  core.Load(0, setup, true);
  ASSERT_TRUE(core.InUse());
  const ImpedanceComputer by_window(LoadBridgeSettings(), &f.dialog->Current());
  const ImpedanceComputer by_core(LoadBridgeSettings(), &core);
  const ImpedanceComputer raw(LoadBridgeSettings(), nullptr);
  const AntIzms& set = f.store->Set(0);
  ASSERT_EQ(set.Count(), 25);
  const Complex want(25, -30);
  const double tol = 0.005 * std::abs(want) + 0.2;
  double raw_worst = 0;
  for (int32_t i = 0; i < set.Count(); ++i) {
    const Complex z = by_window.ComputeZ(set, i, -1);
    EXPECT_EQ(z, by_core.ComputeZ(set, i, -1)) << i;
    EXPECT_NEAR(z.real(), want.real(), tol) << i;
    EXPECT_NEAR(z.imag(), want.imag(), tol) << i;
    raw_worst = std::max(raw_worst, std::abs(raw.ComputeZ(set, i, -1) - want));
  }
  EXPECT_GT(raw_worst, 2 * tol);  // without the calibration the off bridge is plainly off

  // The results window reloaded the same calibration: its export shows the corrected values.
  f.results->Command(2000);
  const std::vector<Complex> exported = ExportedImpedances(measured + ".txt");
  ASSERT_EQ(exported.size(), 25u);
  for (size_t i = 0; i < exported.size(); ++i) {
    const Complex z = by_core.ComputeZ(set, static_cast<int64_t>(i), -1);
    EXPECT_NEAR(exported[i].real(), z.real(), 2e-6) << i;
    EXPECT_NEAR(exported[i].imag(), z.imag(), 2e-6) << i;
  }
  EXPECT_EQ(f.PanelCalibrationBox()->text(), "Калибр 1");
  EXPECT_TRUE(f.PanelCalibrationBox()->isChecked());
}

}  // namespace
}  // namespace kavu::test
