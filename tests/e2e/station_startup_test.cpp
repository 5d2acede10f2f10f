// The station's start-up and controls on the virtual bench, through the real serial and
// library-loading paths: the order of its effects, the remembered receiver, the live spectrum
// without a board, hot-plugged ports, and one reading of the options for the whole chain.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "board/port_list.h"
#include "e2e/bench_scan_fixture.h"
#include "platform/event_loop.h"
#include "scan/scan_station.h"
#include "shell/settings_store.h"
#include "sim/board_command_log.h"
#include "sim/board_peripherals.h"
#include "sim/emulated_board.h"
#include "sim/virtual_bench.h"

namespace kavu::test {
namespace {

using namespace std::chrono_literals;

// A hot-plug source the test fires by hand.
class ManualPortChanges : public IPortChangeSource {
 public:
  bool Start(std::function<void()> on_change) override {
    on_change_ = std::move(on_change);
    return true;
  }
  void Stop() override { on_change_ = nullptr; }
  void Fire() {
    if (on_change_) on_change_();
  }

 private:
  std::function<void()> on_change_;
};

// Records what the station told, with what could be seen at that moment.
class StartUpWitness : public IStationEvents {
 public:
  void PortsChanged() override { ++ports_changed; }
  void ReceiversListed() override {
    port_open_at_discovery = station && station->Port().IsOpen();
    commands_before_discovery = bench ? static_cast<int>(bench->Board().CommandLog().Size()) : -1;
  }
  void ReceiverRateChanged(double) override {
    if (!key_while_opening) {
      key_while_opening = Settings().GetProfileString("ODlgSpektr", "m_SelectSdrKey", "(absent)");
    }
  }
  ScanStation* station = nullptr;
  sim::VirtualBench* bench = nullptr;
  int ports_changed = 0;
  std::optional<bool> port_open_at_discovery;
  int commands_before_discovery = -1;
  std::optional<std::string> key_while_opening;
};

class StationStartUp : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::VirtualBenchOptions o;
    std::string error;
    const auto model = sim::AntennaModel::Parse("50", &error);
    ASSERT_TRUE(model) << error;
    o.antenna = *model;
    ASSERT_TRUE(bench_.Start(o, &error)) << error;
    witness_.bench = &bench_;
  }
  void TearDown() override {
    if (HasFailure()) {
      std::fprintf(stderr, "--- emulated board ---\n%s", bench_.Board().CommandLog().Text().c_str());
    }
    station_.reset();
    SetTtyScannerForTests(nullptr);
    bench_.Stop();
  }
  ScanStation& MakeStation() {
    ScanStationOptions o;
    o.ring_capacity = 1 << 22;
    o.chain_capacity = 1 << 21;
    o.port_changes = &changes_;
    o.station_events = &witness_;
    station_ = std::make_unique<ScanStation>(loop_, notice_, events_, o);
    witness_.station = station_.get();
    return *station_;
  }

  sim::VirtualBench bench_;
  EventLoop loop_;
  RecordingNotice notice_;
  RecordingEvents events_{loop_};
  ManualPortChanges changes_;
  StartUpWitness witness_;
  std::unique_ptr<ScanStation> station_;
};

TEST_F(StationStartUp, PortBeforeDiscoveryKeyEmptiedWhileOpeningAndNoGeneratorCommand) {
  Settings().WriteProfileDouble("ODlgSpektr", "m_FM_Gen", 14.2e6);
  ScanStation& st = MakeStation();
  const StationStart s = st.StartUp();
  ASSERT_TRUE(s.port_open) << s.port_error;
  ASSERT_TRUE(s.receiver_open) << s.receiver_error;
  ASSERT_TRUE(witness_.port_open_at_discovery.has_value());
  EXPECT_TRUE(*witness_.port_open_at_discovery);
  EXPECT_EQ(witness_.commands_before_discovery, 0);
  ASSERT_TRUE(witness_.key_while_opening.has_value());
  EXPECT_EQ(*witness_.key_while_opening, "");
  EXPECT_EQ(Settings().GetProfileString("ODlgSpektr", "m_SelectSdrKey", ""),
            sim::VirtualBench::kReceiverKey);
  EXPECT_GE(witness_.ports_changed, 1);

  const StationView v = st.View();
  EXPECT_EQ(v.open_port, sim::VirtualBench::kBenchPort);
  ASSERT_GE(v.port_item, 0);
  EXPECT_EQ(v.ports[static_cast<size_t>(v.port_item)].number, sim::VirtualBench::kBenchPort);
  EXPECT_TRUE(v.generators_switchable);
  EXPECT_TRUE(v.receiver_open);
  ASSERT_GE(v.receiver, 0);
  EXPECT_NE(v.receivers[static_cast<size_t>(v.receiver)].find("Virtual bench"), std::string::npos);
  ASSERT_FALSE(v.generators.empty());

  // Opening the port sent nothing to the board; the generators start only when asked.
  loop_.RunUntil([] { return false; }, 300ms);
  EXPECT_EQ(bench_.Board().CommandLog().Size(), 0u) << bench_.Board().CommandLog().Text();
  EXPECT_FALSE(bench_.Peripherals().Si5351Out(0).on);
  ASSERT_TRUE(st.SwitchOnGenerators()) << (notice_.Texts().empty() ? "" : notice_.Texts().back());
  EXPECT_GT(bench_.Board().CommandLog().Size(), 0u);
  EXPECT_TRUE(bench_.Peripherals().Si5351Out(0).on);
  EXPECT_EQ(st.Spektr().m_FM_Gen, 14.2e6);
  EXPECT_NEAR(bench_.Peripherals().Si5351Out(0).hz, 14.2e6, 14.2e6 * 1e-4);  // within the bench crystal's error
}

TEST_F(StationStartUp, AReceiverWithoutABoardRunsTheLiveSpectrum) {
  Settings().WriteProfileInt("OSerialPortSelector", "m_PortSelect_0", 0);
  ScanStation& st = MakeStation();
  const StationStart s = st.StartUp();
  EXPECT_FALSE(s.port_open);
  EXPECT_NE(s.port_error.find("Com-порт не выбран"), std::string::npos) << s.port_error;
  ASSERT_TRUE(s.receiver_open) << s.receiver_error;
  EXPECT_FALSE(st.View().generators_switchable);
  std::string error;
  EXPECT_FALSE(st.Start(&error));  // what a scan needs is missing: the strict start says so
  EXPECT_EQ(error, s.port_error);
  const bool live = loop_.RunUntil([&] { return st.Spectrum().Graph().number >= 3; }, 10s);
  EXPECT_TRUE(live) << "frames: " << st.Spectrum().Graph().number;
  EXPECT_FALSE(st.SwitchOnGenerators());  // "Включить" without a port: the error box
  ASSERT_FALSE(notice_.Texts().empty());
  EXPECT_NE(notice_.Texts().back().find("ком-порт не открыт"), std::string::npos);
}

TEST_F(StationStartUp, APortPluggedInAfterStartIsListedAndOpens) {
  SetTtyScannerForTests([] { return std::vector<TtyDeviceInfo>{}; });
  const char* extra = std::getenv("KAVU_EXTRA_PORTS");
  ASSERT_NE(extra, nullptr);
  const std::string extras = extra;
  unsetenv("KAVU_EXTRA_PORTS");  // the board is not plugged in yet
  ScanStation& st = MakeStation();
  const StationStart s = st.StartUp();
  EXPECT_FALSE(s.port_open);
  EXPECT_NE(s.port_error.find("COM901 нет в списке"), std::string::npos) << s.port_error;
  EXPECT_TRUE(s.receiver_open) << s.receiver_error;
  for (const PortListItem& p : st.View().ports) EXPECT_NE(p.number, sim::VirtualBench::kBenchPort);

  setenv("KAVU_EXTRA_PORTS", extras.c_str(), 1);  // plugged in
  const int before = witness_.ports_changed;
  changes_.Fire();
  ASSERT_TRUE(loop_.RunUntil([&] { return witness_.ports_changed > before; }, 5s));
  StationView v = st.View();
  bool listed = false;
  for (const PortListItem& p : v.ports) listed = listed || p.number == sim::VirtualBench::kBenchPort;
  EXPECT_TRUE(listed);
  EXPECT_EQ(v.open_port, sim::VirtualBench::kBenchPort);  // the remembered choice came back

  // Closed and opened again by number, as a window or the web page does; remembered each time.
  st.ClosePort();
  EXPECT_FALSE(st.Port().IsOpen());
  EXPECT_EQ(Settings().GetProfileInt("OSerialPortSelector", "m_PortSelect_0", -1), 0);
  ASSERT_TRUE(st.OpenPort(sim::VirtualBench::kBenchPort));
  EXPECT_EQ(Settings().GetProfileInt("OSerialPortSelector", "m_PortSelect_0", -1),
            sim::VirtualBench::kBenchPort);
  EXPECT_TRUE(st.View().generators_switchable);
  EXPECT_EQ(bench_.Board().CommandLog().Size(), 0u);  // opening sends nothing
  const size_t boxes = notice_.Texts().size();
  EXPECT_FALSE(st.OpenPort(555));  // not listed
  ASSERT_EQ(notice_.Texts().size(), boxes + 1);
  EXPECT_NE(notice_.Texts().back().find("COM555"), std::string::npos);
}

TEST_F(StationStartUp, ReceiverChosenByKeyAndAMissingKeyLeavesNoChoice) {
  Settings().WriteProfileString("ODlgSpektr", "m_SelectSdrKey", "RtlSdr no such device");
  ScanStation& st = MakeStation();
  const StationStart s = st.StartUp();
  EXPECT_FALSE(s.receiver_open);
  EXPECT_EQ(s.receiver_error, ReceiverSet::kNoSelectionText);
  EXPECT_EQ(st.View().receiver, -1);
  EXPECT_FALSE(st.ChooseReceiverByKey("RtlSdr no such device"));
  EXPECT_FALSE(st.ChooseReceiverByKey(""));
  ASSERT_TRUE(st.ChooseReceiverByKey(sim::VirtualBench::kReceiverKey));
  EXPECT_TRUE(st.View().receiver_open);
  EXPECT_EQ(Settings().GetProfileString("ODlgSpektr", "m_SelectSdrKey", ""),
            sim::VirtualBench::kReceiverKey);
  EXPECT_EQ(st.Spektr().m_SelectSdrKey, sim::VirtualBench::kReceiverKey);
}

// Scans through the shared bench fixture: the options reach the whole chain at once.
class StationOptions : public BenchScan {
 protected:
  // The longest batch the board ran since its log was cleared, in timer ticks.
  int64_t LongestRun() {
    int64_t longest = 0;
    for (const sim::BoardLogEntry& e : bench_.Board().CommandLog().Entries()) {
      const size_t at = e.note.rfind("run ", 0);
      if (at == 0) longest = std::max<int64_t>(longest, std::strtoll(e.note.c_str() + 4, nullptr, 10));
    }
    return longest;
  }
};

TEST_F(StationOptions, AChangeReachesTheGeneratorSetUpThePlanAndTheEngineTogether) {
  ASSERT_TRUE(Start("50"));
  ScanStation& st = *station_;
  Settings().WriteProfileInt("CDlgOptions", "m_TZond10", 35);
  Settings().WriteProfileInt("CDlgOptions", "m_ZondN", 2);
  // Written but not yet announced: nobody uses them, so the board and the measurement agree.
  EXPECT_EQ(st.Gen().Probe().m_TZond10, 20);
  EXPECT_EQ(st.Keeper().Inputs().tZond10, 20);
  EXPECT_EQ(st.Engine().Options().m_TZond10, 20);
  bench_.Board().CommandLog().Clear();
  auto r = Scan("140-141 1");
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->ok) << r->error;
  EXPECT_EQ(r->points, 2);
  const int64_t ticks_before = LongestRun();
  ASSERT_GT(ticks_before, 0);

  ASSERT_TRUE(st.OptionsChanged());
  EXPECT_EQ(st.Gen().Probe().m_TZond10, 35);
  EXPECT_EQ(st.Gen().Probe().m_ZondN, 2);
  EXPECT_EQ(st.Keeper().Inputs().tZond10, 35);
  EXPECT_EQ(st.Keeper().Published()->ZondN(), 2);
  EXPECT_EQ(st.Engine().Options().m_TZond10, 35);
  EXPECT_EQ(st.Engine().Options().m_ZondN, 2);
  // The plan was re-made at the receiver's rate, not the start-up rate.
  EXPECT_EQ(st.Keeper().Inputs().sampleRate, st.Receivers().ActiveSampleRate());
  bench_.Board().CommandLog().Clear();
  r = Scan("140-141 1");
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->ok) << r->error;
  EXPECT_EQ(r->points, 2);
  // The board played the longer timeline (slots of 3.5 ms, two probe pairs per frequency) and
  // the measurement found every point in it.
  EXPECT_GT(LongestRun(), ticks_before * 2);
}

TEST_F(StationOptions, AConverterChangeReachesTheNextTuningWithoutARestart) {
  ASSERT_TRUE(Start("50"));
  ReceiverSet& rx = station_->Receivers();
  const double f = 140e6;
  ASSERT_TRUE(rx.Tune(f, &f, 1));
  EXPECT_EQ(rx.Rtl().CurrentFrequency(), f);
  Settings().WriteProfileInt("CDlgOptions", "m_IsConvertor", 1);
  Settings().WriteProfileDouble("CDlgOptions", "m_ConvertorFShift", -100e6);
  Settings().WriteProfileDouble("CDlgOptions", "m_GisterzisMyAru", 5.5);
  // Written but not announced: the receivers tune as before.
  ASSERT_TRUE(rx.Tune(f, &f, 1));
  EXPECT_EQ(rx.Rtl().CurrentFrequency(), f);
  EXPECT_EQ(rx.Rtl().HysteresisDb(), 3.0);

  ASSERT_TRUE(station_->OptionsChanged());
  EXPECT_TRUE(rx.IsConvertor());
  EXPECT_EQ(rx.Rtl().HysteresisDb(), 5.5);
  ASSERT_TRUE(rx.Tune(f, &f, 1));
  EXPECT_EQ(rx.Rtl().CurrentFrequency(), 40e6);  // the converter's input, 100 MHz below
  EXPECT_EQ(rx.TunedFrequency(), f);             // the antenna's frequency, as measured

  // Switched off again: the next tuning is direct.
  Settings().WriteProfileInt("CDlgOptions", "m_IsConvertor", 0);
  ASSERT_TRUE(station_->OptionsChanged());
  ASSERT_TRUE(rx.Tune(f, &f, 1));
  EXPECT_EQ(rx.Rtl().CurrentFrequency(), f);
}

TEST_F(StationOptions, SiAndSlotSettingsWaitForTheNextInitialisationRolesForTheNextStart) {
  ASSERT_TRUE(Start("50"));
  ScanStation& st = *station_;
  const Si5351Config before = st.Gen().SiInUse();
  Settings().WriteProfileDouble("CDlgOptions", "m_Si5351_PPM", 40);
  Settings().WriteProfileDouble("CDlgOptions", "m_Si5351_Out2Hz", 10e6);
  Settings().WriteProfileInt("CDlgOptions_RfmGen0", "m_GenRfmType", 1);
  Settings().WriteProfileDouble("CDlgOptions_RfmGen0", "I.ppm", 2.5);
  const size_t entries = st.View().generators.size();
  ASSERT_TRUE(st.OptionsChanged());
  EXPECT_EQ(st.Gen().SiInUse(), before);  // until the generators are initialised again
  ASSERT_TRUE(st.SwitchOnGenerators()) << st.Gen().LastInitError();
  EXPECT_EQ(st.Gen().SiInUse().PPM, 40.0);
  EXPECT_EQ(st.Gen().SiInUse().OutHz, before.OutHz);  // roles: the next program start's
  EXPECT_EQ(st.Gen().Desks()[0].ppm, 2.5);
  EXPECT_EQ(st.Gen().Desks()[0].m_GenRfmType, 0);    // kinds: the next program start's
  EXPECT_EQ(st.View().generators.size(), entries);
}

TEST_F(StationOptions, ABadRangeTextGetsTheRangeErrorBox) {
  ASSERT_TRUE(Start("50"));
  station_->Engine().SetRangeText("abc");
  EXPECT_FALSE(station_->Engine().StartScan());
  ASSERT_FALSE(notice_.Texts().empty());
  EXPECT_EQ(notice_.Texts().back(), SpektrSettings::kRangeErrorText);
  EXPECT_EQ(bench_.Board().CommandLog().Size(), 0u);  // nothing reached the board
}

}  // namespace
}  // namespace kavu::test
