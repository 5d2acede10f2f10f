// The web page and the results window show the same scan of the virtual bench (25 − j30 ohm on a
// bridge whose resistors are 5 % off) and compute its R and X from the station's one measuring
// snapshot: they agree before a recalibration made in the calibration window, and after it, when
// both show the corrected impedances.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "e2e/bench_scan_fixture.h"
#include "scan/ui/calibration_window_fixture.h"
#include "support/temp_dir.h"
#include "web/data_command.h"
#include "web/station_web_analyzer.h"

namespace kavu::test {
namespace {

class MeasureReaders : public BenchScan {};

// The page reaches the bench scan's station through a session; this test gives no commands.
class StationOnly : public IAnalyzerSession {
 public:
  explicit StationOnly(ScanStation& station) : station_(station) {}
  ScanStation& Station() override { return station_; }
  void SetListener(ISessionListener*) override {}
  SessionStart StartUp() override { return {}; }
  void Stop() override {}
  void NewRange(bool, const std::string&) override { ADD_FAILURE() << "the page sent a range"; }
  bool StartScan(bool) override { return false; }
  void PauseOrContinue() override { ADD_FAILURE() << "the page paused"; }
  void PageStartScan() override { ADD_FAILURE() << "the page started a scan"; }
  std::optional<ScanEndReport> StopAndSave(int) override { return std::nullopt; }
  int WebPort() const override { return 0; }
  WebServerKeys WebOptions() const override { return {}; }
  WebServerKeys StoreWebOptions(const WebServerKeys& o) override { return o; }
  std::optional<std::string> WebStatusText() const override { return std::nullopt; }

 private:
  ScanStation& station_;
};

constexpr const char* kShownScan = "140-146 0.5";
constexpr const char* kCalibrationScans = "140-146 0.25";

struct Shown {
  std::vector<float> freq, r, x;
};

// The page's answer to "points of set 0 from the first": frequency, R and X per point.
Shown PageOfSet0(IWebAnalyzer& analyzer) {
  const std::string answer = DataCommandReply("1 0 0", analyzer, 393216, nullptr);
  std::vector<float> v(answer.size() / 4);
  if (!v.empty()) std::memcpy(v.data(), answer.data(), v.size() * 4);
  Shown s;
  for (size_t k = 0; k + 2 < v.size(); k += 3) {
    s.freq.push_back(v[k]), s.r.push_back(v[k + 1]), s.x.push_back(v[k + 2]);
  }
  return s;
}

// The results window's R and X of the same points, with the cable as the scan's choice decides
// (the page's), rounded as the page sends them.
Shown WindowOfSet0(const CShowDataWindow& window, const AntIzms& set) {
  const bool cable = window.Source().Snapshot().Bridge().trans_len != 0;
  Shown s;
  for (int32_t i = 0; i < set.Count(); ++i) {
    const Complex z = window.Source().Impedance(set, i, cable);
    s.freq.push_back(static_cast<float>(set.At(i).freqHz));
    s.r.push_back(static_cast<float>(z.real()));
    s.x.push_back(static_cast<float>(z.imag()));
  }
  return s;
}

void ExpectSame(const Shown& page, const Shown& window, const char* when) {
  ASSERT_EQ(page.r.size(), window.r.size()) << when;
  for (size_t i = 0; i < page.r.size(); ++i) {
    EXPECT_EQ(page.freq[i], window.freq[i]) << when << ", point " << i;
    EXPECT_EQ(page.r[i], window.r[i]) << when << ", point " << i;
    EXPECT_EQ(page.x[i], window.x[i]) << when << ", point " << i;
  }
}

// The largest distance of the shown points from `want`.
double Worst(const Shown& s, Complex want) {
  double worst = 0;
  for (size_t i = 0; i < s.r.size(); ++i) worst = std::max(worst, std::abs(Complex(s.r[i], s.x[i]) - want));
  return worst;
}

TEST_F(MeasureReaders, PageAndResultsWindowAgreeBeforeAndAfterARecalibration) {
  ScopedSettings scans_settings;
  TempDir keep;
  const auto files = ScanLoads({"50", "0", "999999"}, kOffBridgeSets, kCalibrationScans, keep.Path(), "cal");
  ASSERT_EQ(files.size(), 3u);

  CalibrationWindowFixture f(kShownScan);
  ASSERT_TRUE(Start("25-30j", kOffBridgeSets));
  ASSERT_TRUE(Scan(kShownScan));
  const AntIzms& set = station_->Store().Set(0);
  ASSERT_EQ(set.Count(), 13);
  MeasureKeeper& measure = station_->Engine().Measure();
  f.MakeWindow(station_->Store(), &measure);
  StationOnly session(*station_);
  StationWebAnalyzer page(session, loop_, kShownScan, false);
  // The page's start published a snapshot from the settings; the window follows it on its next
  // repaint, as during a scan.
  f.results->DataChanged();
  EXPECT_EQ(f.results->Source().Snapshot().Version(), measure.Current()->Version());
  EXPECT_FALSE(measure.Current()->CalibrationInUse());
  const Shown page_before = PageOfSet0(page);
  ExpectSame(page_before, WindowOfSet0(*f.results, set), "before the recalibration");
  const Complex want(25, -30);
  const double tol = 0.005 * std::abs(want) + 0.2;
  EXPECT_GT(Worst(page_before, want), 2 * tol) << "without the calibration the off bridge is plainly off";

  // The recalibration, as a user makes it: the three scans chosen in the calibration window.
  f.ClickSetupButton();
  ASSERT_NE(f.dialog, nullptr);
  f.dialog->KindList()->setCurrentIndex(1);
  for (int i = 0; i < 3; ++i) f.Choose(i, files[static_cast<size_t>(i)]);
  ASSERT_TRUE(f.dialog->Current().InUse()) << f.dialog->Current().WhyNotInUse();
  ASSERT_TRUE(measure.Current()->CalibrationInUse()) << "the recalibration did not reach the station";
  EXPECT_EQ(f.results->Source().Snapshot().Version(), measure.Current()->Version());
  const Shown page_after = PageOfSet0(page);
  ExpectSame(page_after, WindowOfSet0(*f.results, set), "after the recalibration");
  EXPECT_LT(Worst(page_after, want), tol);

  // Switched off in the panel: both show the raw values again.
  f.PanelCalibrationBox()->click();
  EXPECT_FALSE(measure.Current()->CalibrationInUse());
  const Shown page_off = PageOfSet0(page);
  ExpectSame(page_off, WindowOfSet0(*f.results, set), "with the calibration switched off");
  EXPECT_EQ(page_off.r, page_before.r);
  EXPECT_EQ(page_off.x, page_before.x);
}

}  // namespace
}  // namespace kavu::test
