// Bench scans with clock errors and a small board buffer: the generator's frequency error is
// measured, the board's clock error is tolerated or corrected by m_MultyPPS, and a batch cut to
// the board's buffer still gives one point per frequency.
#include <gtest/gtest.h>

#include <cmath>

#include "e2e/bench_scan_fixture.h"
#include "measure/bridge_model.h"
#include "measure/bridge_settings.h"
#include "measure/impedance_computer.h"

namespace kavu::test {
namespace {

class ScanClocks : public BenchScan {
 protected:
  // Every point at its planned frequency and within 0.5 % of |Z| + 0.2 ohm of 25 − j30.
  int BadPoints(const std::string& ranges) {
    const std::vector<double> planned = Planned(ranges);
    const AntIzms& set = station_->Store().Set(0);
    EXPECT_EQ(set.Count(), static_cast<int32_t>(planned.size()));
    const ImpedanceComputer imp(LoadBridgeSettings(), nullptr);
    int bad = 0;
    for (int32_t i = 0; i < set.Count() && i < static_cast<int32_t>(planned.size()); ++i) {
      EXPECT_EQ(set.At(i).freqHz, planned[static_cast<size_t>(i)]);
      const Complex z = imp.ComputeZ(set, i, -1);
      const double tol = 0.005 * std::hypot(25.0, 30.0) + 0.2;
      if (std::abs(z.real() - 25) > tol || std::abs(z.imag() + 30) > tol) ++bad;
    }
    return bad;
  }
};

constexpr const char* kRanges = "140-142 0.25";

TEST_F(ScanClocks, GeneratorFrequencyErrorIsMeasured) {
  if (!Start("25-30j", {"gen_ppm=2"})) return;
  const auto end = Scan(kRanges);
  ASSERT_TRUE(end);
  EXPECT_TRUE(end->ok) << end->error;
  EXPECT_EQ(BadPoints(kRanges), 0);
  const AntIzms& set = station_->Store().Set(0);
  for (int32_t i = 0; i < set.Count(); ++i) EXPECT_NEAR(set.At(i).ppm, 2.0, 0.2) << i;
}

TEST_F(ScanClocks, BoardClockErrorOf1000PpmIsTolerated) {
  if (!Start("25-30j", {"board_ppm=1000"})) return;
  const auto end = Scan(kRanges);
  ASSERT_TRUE(end);
  EXPECT_TRUE(end->ok) << end->error;
  EXPECT_EQ(BadPoints(kRanges), 0);
}

TEST_F(ScanClocks, FastBoardClockIsCorrectedByMultyPps) {
  if (!Start("25-30j", {"board_ppm=20000"}, 0, {{"m_MultyPPS", "20000"}})) return;
  // The plan is made when the receiver opens; the option must be in force before that.
  const auto end = Scan(kRanges);
  ASSERT_TRUE(end);
  EXPECT_TRUE(end->ok) << end->error;
  EXPECT_EQ(BadPoints(kRanges), 0);
}

TEST_F(ScanClocks, FastBoardClockIsNotCorrectedByTheWrongSign) {
  if (!Start("25-30j", {"board_ppm=20000"}, 0, {{"m_MultyPPS", "-20000"}})) return;
  const auto end = Scan(kRanges);
  ASSERT_TRUE(end);
  const AntIzms& set = station_->Store().Set(0);
  // Either points are missing (groups without their pause) or they are off.
  EXPECT_TRUE(!end->ok || set.Count() < 9 || BadPoints(kRanges) > 0);
}

TEST_F(ScanClocks, SmallBoardBufferCutsGroups) {
  boardBuffer_ = 256;
  if (!Start("25-30j")) return;
  std::vector<int> sizes;
  int before = 0;
  events_.onGroup = [&](int) {
    const int n = station_->Store().Set(0).Count();
    sizes.push_back(n - before);
    before = n;
  };
  const std::string ranges = "140-141 0.05";
  const auto end = Scan(ranges);
  ASSERT_TRUE(end);
  EXPECT_TRUE(end->ok) << end->error;
  EXPECT_EQ(BadPoints(ranges), 0);
  EXPECT_EQ(sizes, (std::vector<int>{12, 9})) << ::testing::PrintToString(sizes);
}

}  // namespace
}  // namespace kavu::test
