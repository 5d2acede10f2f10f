// Whole scans on the bench's SDRplay receivers: every model within the accuracy bounds of the
// other receivers, the RSPduo with both tuners (points carrying input B, the phase taken from
// it), and a device removed in the middle of a scan.
#include <gtest/gtest.h>

#include "e2e/bench_scan_fixture.h"
#include "measure/bridge_settings.h"
#include "shell/settings_store.h"

namespace kavu::test {
namespace {

struct Load {
  const char* load;
  double rel, abs;
};
const Load kLoads[] = {{"50", 0.005, 0.2}, {"25-30j", 0.005, 0.2}, {"150+75j", 0.005, 0.2},
                       {"5", 0.005, 0.2},  {"500", 0.01, 0.5},     {"series:R=30,L=100n,C=12.05p", 0.005, 0.2}};

class SdrPlayScanAccuracy : public BenchScan, public ::testing::WithParamInterface<const char*> {};

TEST_P(SdrPlayScanAccuracy, LoadsAndSeriesAntenna) {
  const std::string rx = GetParam();
  const bool dual = rx == "rspduo-dual";
  std::string error;
  for (const Load& c : kLoads) {
    SCOPED_TRACE(c.load);
    if (!Start(c.load, {"seed=7", "rx=" + rx})) return;
    ReceiverSet& set = station_->Receivers();
    ASSERT_TRUE(set.IsActive(ReceiverKind::kSdrPlay)) << set.Status().text;
    EXPECT_EQ(set.SdrPlay().Status(), 100);
    EXPECT_EQ(set.SdrPlay().IsDual(), dual);
    EXPECT_EQ(set.ActiveSampleRate(), 2'000'000.0);
    EXPECT_EQ(station_->Engine().HasB(), dual);
    if (dual) {
      EXPECT_EQ(set.Status().text, "ОТКРЫТ SdrPlay_RSPduo_1003RSPDUO dual 2 МГц");
      Settings().WriteProfileInt(BridgeSettings::kSection, "m_UseDuoFaza", 1);
    }
    const std::string ranges = "143-147 1";
    const auto end = Scan(ranges);
    ASSERT_TRUE(end);
    EXPECT_TRUE(end->ok) << end->error;
    EXPECT_TRUE(end->saved) << end->save.error;
    EXPECT_EQ(station_->Store().Set(0).hasDuo.load() != 0, dual);
    const auto model = sim::AntennaModel::Parse(c.load, &error);
    CheckScanPoints(*station_, Planned(ranges), *model, c.rel, c.abs, 0);
    if (HasFailure()) return;
    TearDown();
  }
}

INSTANTIATE_TEST_SUITE_P(Models, SdrPlayScanAccuracy,
                         ::testing::Values("rsp1", "rsp1a", "rsp2", "rspduo", "rspdx", "rspduo-dual"),
                         [](const ::testing::TestParamInfo<const char*>& i) {
                           std::string n = i.param;
                           for (char& ch : n) ch = ch == '-' ? '_' : ch;
                           return n;
                         });

class SdrPlayScan : public BenchScan {};

TEST_F(SdrPlayScan, ARateOfTheOpenKindAndOneItRefuses) {
  if (!Start("50", {"seed=7", "rx=rsp1"}, 4'000'000)) return;
  EXPECT_EQ(station_->Receivers().ActiveSampleRate(), 4'000'000.0);
  std::string error;
  EXPECT_FALSE(station_->SetRate(2'400'000, &error));
  EXPECT_NE(error.find("SDRplay"), std::string::npos) << error;
  EXPECT_EQ(station_->Receivers().ActiveSampleRate(), 4'000'000.0);
}

TEST_F(SdrPlayScan, DeviceRemovedMidScanEndsItKeepingThePoints) {
  if (!Start("50", {"seed=7", "rx=rsp1a"})) return;
  int first = 0;
  events_.onGroup = [&](int n) {
    if (n == 1) {
      first = station_->Store().Set(0).Count();
      std::string error;
      EXPECT_TRUE(bench_.Set("rx_fault", "1", &error)) << error;
    }
  };
  const std::string ranges = "140-146 0.25";  // 25 points, several groups
  const auto end = Scan(ranges);
  ASSERT_TRUE(end);
  EXPECT_FALSE(end->ok);
  // The next tuning is refused (the device is gone), or the stream stops: either names the receiver.
  EXPECT_NE(end->error.find("риёмник"), std::string::npos) << end->error;
  EXPECT_TRUE(end->saved) << end->save.error;
  EXPECT_GT(first, 0);
  EXPECT_GE(station_->Store().Set(0).Count(), first) << "the points measured before are kept";
}

}  // namespace
}  // namespace kavu::test
