// Whole scans on the virtual bench through the simulated ExtIO plug-in, one per sample type it
// streams, within the accuracy bounds of the other receivers; and a plug-in that reports no
// sample rate refusing the scan.
#include <gtest/gtest.h>

#include "e2e/bench_scan_fixture.h"
#include "platform/dyn_library.h"
#include "receivers/receiver_set.h"

namespace kavu::test {
namespace {

struct ExtIOCase {
  const char* load;
  double rel, abs;
};

class ScanExtIO : public BenchScan, public ::testing::WithParamInterface<const char*> {};

TEST_P(ScanExtIO, LoadsWithinTheBounds) {
  const std::string rx = std::string("rx=") + GetParam();
  // The loads and bounds of the RTL-SDR's accuracy scans.
  const ExtIOCase loads[] = {{"50", 0.005, 0.2},  {"25-30j", 0.005, 0.2}, {"150+75j", 0.005, 0.2},
                             {"5", 0.005, 0.2},   {"500", 0.01, 0.5},
                             {"series:R=30,L=100n,C=12.05p", 0.005, 0.2}};
  std::string error;
  for (const ExtIOCase& c : loads) {
    SCOPED_TRACE(c.load);
    if (!Start(c.load, {"seed=7", rx})) return;
    EXPECT_EQ(station_->Receivers().ExtIO().State(), 3);
    const std::string ranges = "143-147 1";
    const auto end = Scan(ranges);
    ASSERT_TRUE(end);
    EXPECT_TRUE(end->ok) << end->error;
    EXPECT_TRUE(end->saved) << end->save.error;
    EXPECT_NE(end->save.path.find("/ExtIO_KavuSim"), std::string::npos) << end->save.path;
    CheckScanPoints(*station_, Planned(ranges), *sim::AntennaModel::Parse(c.load, &error), c.rel, c.abs, 0);
    if (HasFailure()) return;
    TearDown();
  }
}

INSTANTIATE_TEST_SUITE_P(Types, ScanExtIO, ::testing::Values("extio-int16", "extio-float", "extio-uchar"),
                         [](const ::testing::TestParamInfo<const char*>& i) {
                           std::string n = i.param;
                           return n.substr(n.find('-') + 1);
                         });

class ScanExtIONoRate : public BenchScan {};

TEST_F(ScanExtIONoRate, APluginWithoutARateRefusesTheScan) {
  sim::VirtualBenchOptions o;
  o.rx = "extio-int16";
  std::string error;
  ASSERT_TRUE(bench_.Start(o, &error)) << error;
  DynLibrary plugin;
  ASSERT_EQ(plugin.Open(bench_.SimLibFolder() + "/ExtIO_KavuSim.so"), DynLibrary::Result::kLoaded);
  const auto set = reinterpret_cast<int (*)(const char*, double)>(plugin.Symbol("kavu_simextio_set"));
  ASSERT_TRUE(set);
  ASSERT_EQ(set("rate", 0), 0);
  station_ = std::make_unique<ScanStation>(loop_, notice_, events_, stationOptions_);
  EXPECT_FALSE(station_->Start(&error));
  EXPECT_NE(error.find(ReceiverSet::kExtIONoRateText), std::string::npos) << error;
  EXPECT_EQ(station_->Receivers().ExtIO().State(), 3) << "the plug-in streams; only scans are refused";
  station_->Engine().SetRangeText("143-147 1");
  bool started = true;
  loop_.Post([&] { started = station_->Engine().StartScan(); });
  loop_.RunUntil([&] { return !notice_.Texts().empty(); }, std::chrono::seconds(20));
  EXPECT_FALSE(started);
  ASSERT_FALSE(notice_.Texts().empty());
  EXPECT_EQ(notice_.Texts().back(), ReceiverSet::kExtIONoRateText);
}

}  // namespace
}  // namespace kavu::test
