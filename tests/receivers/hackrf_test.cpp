// The HackRF back end on the simulated HackRF library: loading and every load failure, the
// device list (with and without hackrf_device_list), the states and what each close calls,
// tuning limits, the automatic VGA, the transfer sink and streaming into the rings.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "receivers/o_hackrf_use.h"
#include "receivers/sample_ring_reader.h"
#include "receivers/sample_rings.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"
#include "sim_feed.h"
#include "support/calibration_scan.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

using ScriptFn = int (*)(const char*, long long);

std::string Variant(const std::string& missing) {
  return test::SimFeed::LibraryFolder() + "/hackrf-without-" + missing + "/libhackrf.so.0";
}

// The lines of the simulated library's log that name a call (not the settings).
std::vector<std::string> Calls(const test::SimFeed& feed) {
  std::vector<std::string> out;
  for (const std::string& l : feed.LogLines()) {
    if (l.rfind("open", 0) == 0 || l.rfind("close", 0) == 0 || l.rfind("exit", 0) == 0 ||
        l.rfind("init", 0) == 0 || l.rfind("start", 0) == 0 || l.rfind("stop", 0) == 0) {
      out.push_back(l);
    }
  }
  return out;
}

class HackRfTest : public ::testing::Test {
 protected:
  void SetUp() override {
    feed_ = std::make_unique<test::SimFeed>(1.0, test::SimFeed::HackRfPath(), "kavu_simhackrf_attach");
    ASSERT_TRUE(feed_->Attached());
    script_ = reinterpret_cast<ScriptFn>(feed_->Symbol("kavu_simhackrf_script"));
    ASSERT_NE(script_, nullptr);
    script_("reset", 0);
  }
  void TearDown() override {
    hackrf_.UnLoadDLL();
    if (script_) script_("reset", 0);
  }
  void Load() {
    hackrf_.LoadSettings();
    ASSERT_EQ(hackrf_.LoadApi(test::SimFeed::HackRfPath()), 0) << hackrf_.ErrorText();
    ASSERT_EQ(hackrf_.ListDevices(), 2);
  }
  test::ScopedSettings settings_;
  std::unique_ptr<test::SimFeed> feed_;
  ScriptFn script_ = nullptr;
  OHackRfUse hackrf_;
};

TEST_F(HackRfTest, ListsSerialsWithANullOneAndOpensTheChosenBoardAtTheStoredRate) {
  Settings().WriteProfileInt("OHackRfUse", "m_SampleRateVar", 6);
  Load();
  EXPECT_EQ(hackrf_.Status(), 1);
  EXPECT_EQ(hackrf_.Devices()[0].serial, "00000000000000004b41565542454e31");
  EXPECT_EQ(hackrf_.Devices()[1].serial, "") << "a null serial lists as empty";
  EXPECT_EQ(hackrf_.Devices()[1].index, 1);
  Log().SetCapture(true);
  ASSERT_TRUE(hackrf_.MyOpenHackRf(0)) << hackrf_.ErrorText();
  const std::string log = Log().TakeCaptured();
  Log().SetCapture(false);
  EXPECT_NE(log.find("Открываю устройство HackRF, MyOpenHackRf() для ind=0\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Вызов hackrf_open_by_serial() вернул errcode=0\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Уточненный m_BandWidth=20\n"), std::string::npos) << log;
  EXPECT_EQ(hackrf_.Status(), 2);
  EXPECT_EQ(hackrf_.Rate(), 20'000'000);
  EXPECT_EQ(hackrf_.BandWidth(), 20'000'000);
  EXPECT_EQ(feed_->Rate(), 20'000'000u);
  EXPECT_EQ(hackrf_.BufferSize(), 262'144);
  EXPECT_EQ(hackrf_.QueueDepth(), 1);
  // Every rate of the table, and an index out of it clamped.
  for (int v = 0; v < OHackRfUse::kRateCount; ++v) {
    ASSERT_TRUE(hackrf_.SetSampleRateVar(v)) << v;
    EXPECT_EQ(feed_->Rate(), static_cast<uint32_t>(OHackRfUse::kRates[v]));
  }
  EXPECT_TRUE(hackrf_.SetSampleRateVar(99));
  EXPECT_EQ(hackrf_.m_SampleRateVar, 6);
  // The library's refusal, named.
  script_("fail:open", -5);
  EXPECT_FALSE(hackrf_.MyOpenHackRf(1));
  EXPECT_EQ(hackrf_.ErrorText(), "ошибка hackrf_open_by_serial, errcode=-5, HackRF not found");
  script_("fail:open", 0);
  // An index beyond the list fails and opens nothing.
  EXPECT_FALSE(hackrf_.MyOpenHackRf(2));
  EXPECT_FALSE(hackrf_.MyOpenHackRf(-1));
  EXPECT_EQ(hackrf_.Status(), 1);
  EXPECT_EQ(hackrf_.ErrorText(), "OHackRfUse::MyOpenHackRf() - нет устройства №0 из 2");
}

TEST_F(HackRfTest, StatesRiseAndFallInOrderAndAClosedDeviceIsNeverClosedAgain) {
  // State 0: closing calls nothing and stays 0.
  EXPECT_TRUE(hackrf_.MyCloseHackRf());
  EXPECT_EQ(hackrf_.Status(), 0);
  Load();
  // State 1: closing calls nothing and stays 1 (it never claims an open device).
  EXPECT_TRUE(hackrf_.MyCloseHackRf());
  EXPECT_TRUE(hackrf_.MyStopHackRf());
  EXPECT_EQ(hackrf_.Status(), 1);
  EXPECT_EQ(Calls(*feed_), (std::vector<std::string>{"init"}));
  SampleRings rings(1 << 20);
  EXPECT_FALSE(hackrf_.MyStartHackRf(145e6, KavuHackRfBlockSink, &rings)) << "not open";
  EXPECT_EQ(hackrf_.ErrorText(), "OHackRfUse::MyStartHackRf() отвергнут, статус не 2");
  ASSERT_TRUE(hackrf_.MyOpenHackRf(0));
  EXPECT_EQ(hackrf_.Status(), 2);
  ASSERT_TRUE(hackrf_.MyStartHackRf(145e6, KavuHackRfBlockSink, &rings)) << hackrf_.ErrorText();
  EXPECT_EQ(hackrf_.Status(), 3);
  EXPECT_EQ(feed_->Center(), 145'000'000u);
  EXPECT_TRUE(hackrf_.MyStopHackRf());
  EXPECT_EQ(hackrf_.Status(), 2);
  EXPECT_TRUE(hackrf_.MyCloseHackRf());
  EXPECT_EQ(hackrf_.Status(), 1);
  EXPECT_EQ(hackrf_.CurVga(), OHackRfUse::kClosedVga);
  EXPECT_EQ(hackrf_.CurLna(), OHackRfUse::kClosedLna);
  EXPECT_TRUE(hackrf_.MyCloseHackRf());
  EXPECT_EQ(hackrf_.Status(), 1);
  // Reopened and streaming, then unloaded: the device closes before the library exits.
  ASSERT_TRUE(hackrf_.MyOpenHackRf(0));
  ASSERT_TRUE(hackrf_.MyStartHackRf(145e6, KavuHackRfBlockSink, &rings));
  hackrf_.UnLoadDLL();
  EXPECT_EQ(hackrf_.Status(), 0);
  EXPECT_EQ(Calls(*feed_), (std::vector<std::string>{"init", "open 0", "start 0", "stop 0", "close 0", "open 0",
                                                     "start 0", "stop 0", "close 0", "exit"}));
}

TEST_F(HackRfTest, TuningFloorsAt1000HzRefusesNonFiniteValuesAndNamesAMissingDevice) {
  Load();
  EXPECT_FALSE(hackrf_.SetFreq(145e6, nullptr, 0));
  EXPECT_EQ(hackrf_.ErrorText(), "OHackRfUse::SetFreq() - не открыто устр-во");
  ASSERT_TRUE(hackrf_.MyOpenHackRf(0));
  EXPECT_TRUE(hackrf_.SetFreq(500, nullptr, 0));
  EXPECT_EQ(feed_->Center(), 1000u);
  EXPECT_TRUE(hackrf_.SetFreq(-3e9, nullptr, 0)) << "the floor comes before the conversion";
  EXPECT_EQ(feed_->Center(), 1000u);
  EXPECT_TRUE(hackrf_.SetFreq(5'800'000'000.7, nullptr, 0));
  EXPECT_EQ(feed_->Center(), 5'800'000'000u) << "a 64-bit frequency, truncated";
  for (const double bad : {std::nan(""), double{INFINITY}, -double{INFINITY}, 1e20}) {
    EXPECT_FALSE(hackrf_.SetFreq(bad, nullptr, 0)) << bad;
    EXPECT_NE(hackrf_.ErrorText().find("OHackRfUse::SetFreq() - недопустимая частота"), std::string::npos);
  }
  EXPECT_EQ(feed_->Center(), 5'800'000'000u);
  EXPECT_EQ(hackrf_.Frequency(), 5'800'000'000.7) << "a refused frequency is not kept";
  script_("fail:set_freq", -1000);
  EXPECT_FALSE(hackrf_.SetFreq(7e6, nullptr, 0));
  EXPECT_EQ(hackrf_.ErrorText(), "ошибка hackrf_set_freq(7000000), errcode=-1000, USB error");
  // Gains: the library's refusal is named, a missing device is said.
  script_("fail:set_vga_gain", -2);
  EXPECT_FALSE(hackrf_.SetVgaGainProc(20));
  EXPECT_EQ(hackrf_.ErrorText(), "ошибка hackrf_set_vga_gain, errcode=-2, invalid parameter(s)");
  EXPECT_TRUE(hackrf_.SetLnaGain(24));
  EXPECT_EQ(hackrf_.m_Lna, 24);
  hackrf_.MyCloseHackRf();
  EXPECT_FALSE(hackrf_.SetLnaGain(8));
  EXPECT_EQ(hackrf_.ErrorText(), "OHackRfUse::SetLnaGain() - не открыто устр-во");
  EXPECT_FALSE(hackrf_.SetAmpEn(true));
  EXPECT_EQ(hackrf_.ErrorText(), "OHackRfUse::SetAmpEn() - не открыто устр-во");
  EXPECT_FALSE(hackrf_.SetClkOutEn(true));
  EXPECT_EQ(hackrf_.ErrorText(), "OHackRfUse::SetClkOutEn() - не открыто устр-во");
  EXPECT_FALSE(hackrf_.SetSampleRateVar(2));
  EXPECT_EQ(hackrf_.ErrorText(), "OHackRfUse::SetSampleRateVar() - не открыто устр-во");
}

TEST_F(HackRfTest, AutomaticVgaMeetsTheTargetAndKeepsItsHysteresisUnlessForced) {
  test::TempDir dir;
  const std::string table = dir.File("cal.kant");
  // Level (whole-band |O| − gain) −10 dB everywhere in 100 … 200 MHz.
  ASSERT_TRUE(test::WriteCalibrationScan(table, test::ConstantScan(11, 100e6, 10e6, {0, 0, 0, -2, -23, 10})));
  Settings().WriteProfileInt("OHackRfUse", "m_Lna", 16);
  Settings().WriteProfileInt("OHackRfUse", "m_IsAmp", 1);
  Settings().WriteProfileInt("OHackRfUse", "m_VGa", 40);
  Settings().WriteProfileInt("CDlgHackRF", "m_GCalHackRFVar", 1);
  Settings().WriteProfileString("CDlgHackRF", "m_GCalHackRFName", table);
  Settings().WriteProfileInt("CDlgHackRF", "m_GCalHackRFValue", 30);
  Load();
  ASSERT_TRUE(hackrf_.GainCalibrationOn());
  ASSERT_TRUE(hackrf_.MyOpenHackRf(0));
  SampleRings rings(1 << 20);
  ASSERT_TRUE(hackrf_.MyStartHackRf(150e6, KavuHackRfBlockSink, &rings));
  // 30 − 16 − 10 − (−10) = 14.
  EXPECT_TRUE(hackrf_.AutoVgaActive());
  EXPECT_DOUBLE_EQ(hackrf_.AutoVgaWorst(), -10.0);
  EXPECT_EQ(hackrf_.CurVga(), 14);
  EXPECT_DOUBLE_EQ(hackrf_.GainDb(), 16 + 14 + 10);
  // A target 2 dB higher is within the 3 dB hysteresis: tuning keeps 14, the slider applies 16.
  hackrf_.m_GCalHackRFValue = 32;
  EXPECT_TRUE(hackrf_.SetFreq(160e6, nullptr, 0));
  EXPECT_EQ(hackrf_.CurVga(), 14);
  EXPECT_TRUE(hackrf_.AutoVga(true, nullptr, 0));
  EXPECT_EQ(hackrf_.CurVga(), 16);
  // Out of range both ways: 0 … 62.
  hackrf_.m_GCalHackRFValue = 200;
  EXPECT_TRUE(hackrf_.AutoVga(false, nullptr, 0));
  EXPECT_EQ(hackrf_.CurVga(), 62);
  hackrf_.m_GCalHackRFValue = -50;
  EXPECT_TRUE(hackrf_.AutoVga(false, nullptr, 0));
  EXPECT_EQ(hackrf_.CurVga(), 0);
  // Calibration off: the stored VGA, applied when it differs or when forced.
  std::string message;
  EXPECT_TRUE(hackrf_.SetGainCalibration(false, "", &message));
  EXPECT_TRUE(hackrf_.SetFreq(170e6, nullptr, 0));
  EXPECT_FALSE(hackrf_.AutoVgaActive());
  EXPECT_EQ(hackrf_.CurVga(), 0) << "tuning without calibration does not touch the VGA";
  EXPECT_TRUE(hackrf_.AutoVga(false, nullptr, 0));
  EXPECT_EQ(hackrf_.CurVga(), 40);
  // A calibration that cannot load turns itself off.
  EXPECT_FALSE(hackrf_.SetGainCalibration(true, dir.File("missing.kant"), &message));
  EXPECT_FALSE(hackrf_.GainCalibrationOn());
  EXPECT_EQ(Settings().GetProfileInt("CDlgHackRF", "m_GCalHackRFVar", 9), 0);
  EXPECT_TRUE(hackrf_.MyStopHackRf()) << "the stream ends before its rings go";
}

// Reads ring entries until `n` came or the stream stops delivering (a bound only a hang reaches).
std::vector<IqEntry> ReadEntries(SampleRings& rings, SampleRingReader& reader, size_t n) {
  std::vector<IqEntry> got, block(1024);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (got.size() < n && std::chrono::steady_clock::now() < deadline) {
    rings.m_hDataEvent.Wait(100);
    while (got.size() < n && reader.Read(block.data(), nullptr, 1024) == SampleRingReader::ReadResult::kOk) {
      got.insert(got.end(), block.begin(), block.end());
    }
  }
  return got;
}

// The counting pattern of the test feeder: sample k carries k in its I and Q bytes.
int Count(const IqEntry& e) {
  return (static_cast<int>(e.i) & 0xFF) | (static_cast<int>(e.q) & 0xFF) << 8;
}

TEST_F(HackRfTest, ShortTransfersDeliverOnlyTheirValidBytesAndTheStreamGoesOn) {
  Load();
  ASSERT_TRUE(hackrf_.MyOpenHackRf(0));  // 10 MS/s: a transfer every 13 ms
  // 1000 of the 262,144 bytes are new in every transfer; the rest is the last transfer's.
  ASSERT_EQ(script_("valid_length", 1000), 0);
  SampleRings rings(1 << 20);
  SampleRingReader reader(rings);
  ASSERT_TRUE(hackrf_.MyStartHackRf(145e6, KavuHackRfBlockSink, &rings));
  // Ten transfers' worth: the sink kept the stream going (it returns 0) and took 500 pairs each.
  const std::vector<IqEntry> got = ReadEntries(rings, reader, 5000);
  hackrf_.MyStopHackRf();
  ASSERT_GE(got.size(), 5000u);
  int breaks = 0;
  for (size_t k = 1; k < got.size(); ++k) breaks += Count(got[k]) != ((Count(got[k - 1]) + 1) & 0xFFFF);
  EXPECT_EQ(breaks, 0) << "a stale sample would break the count";
  EXPECT_GE(hackrf_.Status(), 2);
  // The sink itself: the valid bytes only, and 0 whatever it was given.
  SampleRings small(64);
  uint8_t buf[16] = {1, 2, 3, 4, 5, 6, 7, 8};
  hackrf_transfer t{nullptr, buf, 16, 4, &small, nullptr};
  EXPECT_EQ(KavuHackRfBlockSink(&t), 0);
  EXPECT_EQ(small.m_RingWr.load(), 2);
  t.valid_length = 1'000'000;  // more than the buffer: only the buffer
  EXPECT_EQ(KavuHackRfBlockSink(&t), 0);
  EXPECT_EQ(small.m_RingWr.load(), 10);
  t.valid_length = -5;
  EXPECT_EQ(KavuHackRfBlockSink(&t), 0);
  EXPECT_EQ(small.m_RingWr.load(), 10);
  EXPECT_EQ(KavuHackRfBlockSink(nullptr), 0);
}

TEST_F(HackRfTest, StartFollowsStartRxAndItsWaitForStreamingIsBounded) {
  Load();
  ASSERT_TRUE(hackrf_.MyOpenHackRf(0));
  SampleRings rings(1 << 20);
  // A library that never says it streams: the start still succeeds, after its whole wait, and
  // says that the stream was not confirmed.
  script_("is_streaming", 1);
  Log().SetCapture(true);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_TRUE(hackrf_.MyStartHackRf(145e6, KavuHackRfBlockSink, &rings));
  const auto waited = std::chrono::steady_clock::now() - t0;
  EXPECT_GE(waited, std::chrono::milliseconds(OHackRfUse::kStartWaitMs)) << "it asked until its deadline";
  EXPECT_LT(waited, std::chrono::seconds(20)) << "the wait is bounded";
  EXPECT_NE(Log().TakeCaptured().find("hackrf_is_streaming() не подтвердила поток за 1000 мс"), std::string::npos);
  EXPECT_EQ(hackrf_.Status(), 3);
  hackrf_.MyStopHackRf();
  // A library that says so on its fourth answer: the wait ends there, with nothing to report.
  script_("is_streaming", 2 + 3);
  EXPECT_TRUE(hackrf_.MyStartHackRf(145e6, KavuHackRfBlockSink, &rings));
  EXPECT_EQ(Log().TakeCaptured().find("не подтвердила поток"), std::string::npos);
  Log().SetCapture(false);
  hackrf_.MyStopHackRf();
  script_("is_streaming", 0);
  // start_rx refused: the start fails with the library's error and the device stays open.
  script_("fail:start_rx", -1000);
  Log().SetCapture(true);
  EXPECT_FALSE(hackrf_.MyStartHackRf(145e6, KavuHackRfBlockSink, &rings));
  const std::string log = Log().TakeCaptured();
  Log().SetCapture(false);
  EXPECT_NE(log.find("Вызываю hackrf_start_rx и res = -1000\n"), std::string::npos) << log;
  EXPECT_EQ(hackrf_.ErrorText(), "ошибка hackrf_start_rx, errcode=-1000, USB error");
  EXPECT_EQ(hackrf_.Status(), 2);
}

TEST_F(HackRfTest, EveryLoadFailureHasItsText) {
  struct Case {
    std::string path;
    int result;
    std::string error;
    std::string logged;
    int status = 0;  // 1: initialised, hackrf_exit owed
  };
  test::TempDir dir;
  test::WriteFile(dir.File("libhackrf.so.0"), "not a library");
  const Case cases[] = {
      {dir.File("none.so"), 1,
       "нет файла '" + dir.File("none.so") +
           "' на диске.  Укажите путь к '*libhackrf.so.0' в настройках или положите эту dll рядом с основной "
           "программой.",
       " Нет файла dll на диске ! \n"},
      {dir.File("libhackrf.so.0"), -1, "не удалось загрузить '" + dir.File("libhackrf.so.0") + "', Err=", ""},
      {Variant("hackrf_init"), -1, "нет функции hackrf_init, не та dll ?", " не найдена hackrf_init\n"},
      {Variant("open-functions"), -1, "нет функции hackrf_open_by_serial или хотя бы hackrf_open",
       " не найдена hackrf_open_by_serial\n", 1},
      {Variant("hackrf_start_rx"), -1, "нет функции hackrf_start_rx", " не найдена hackrf_start_rx\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    OHackRfUse h;
    Log().SetCapture(true);
    EXPECT_EQ(h.LoadApi(c.path), c.result);
    const std::string log = Log().TakeCaptured();
    Log().SetCapture(false);
    EXPECT_EQ(h.ErrorText().substr(0, c.error.size()), c.error);
    EXPECT_NE(log.find("** Поддержка HackRf, гружу " + c.path + " ** \n"), std::string::npos) << log;
    EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    EXPECT_EQ(h.Status(), c.status);
    if (c.status == 0) {
      EXPECT_EQ(h.ListDevices(), 0);
    }
  }
  // hackrf_init refused: the standard error.
  script_("fail:init", -1000);
  OHackRfUse h;
  EXPECT_EQ(h.LoadApi(test::SimFeed::HackRfPath()), -1);
  EXPECT_EQ(h.ErrorText(), "ошибка hackrf_init, errcode=-1000, USB error");
  EXPECT_EQ(h.Status(), 0);
  // Without hackrf_set_sample_rate the board opens but its rate cannot be set.
  OHackRfUse r;
  ASSERT_EQ(r.LoadApi(Variant("hackrf_set_sample_rate")), 0);
  ASSERT_EQ(r.ListDevices(), 2);
  EXPECT_FALSE(r.MyOpenHackRf(0));
  EXPECT_EQ(r.ErrorText(), "отсутствует hackrf_set_sample_rate()");
  EXPECT_EQ(r.Status(), 2);
}

TEST_F(HackRfTest, WithoutDeviceListTheAnyEntryOpensWithHackRfOpen) {
  OHackRfUse h;
  ASSERT_EQ(h.LoadApi(Variant("hackrf_device_list")), 0) << h.ErrorText();
  ASSERT_EQ(h.ListDevices(), 1);
  EXPECT_EQ(h.Devices()[0].serial, "любой");
  EXPECT_EQ(h.Devices()[0].index, OHackRfUse::kAnyDevice);
  Log().SetCapture(true);
  EXPECT_TRUE(h.MyOpenHackRf(0)) << h.ErrorText();
  const std::string log = Log().TakeCaptured();
  Log().SetCapture(false);
  EXPECT_EQ(log.find("hackrf_open_by_serial"), std::string::npos) << log;
  EXPECT_EQ(h.Status(), 2);
  // Without hackrf_open as well as the list there is nothing to open by.
  OHackRfUse none;
  ASSERT_EQ(none.LoadApi(Variant("hackrf_open")), 0);
  EXPECT_EQ(none.ListDevices(), 2) << "the list is there, so boards open by serial";
  EXPECT_TRUE(none.MyOpenHackRf(0)) << none.ErrorText();
}

}  // namespace
}  // namespace kavu
