// The SDRplay back end on the simulated service library: the opening modes and output rates,
// the LNA cut, the automatic gain, the error texts with and without the library's helpers,
// the API lock after a failed listing, missing functions, updates without a device, refused
// rates, gain mode 2 without a table, and streaming single and dual into the rings.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "receivers/o_sdrplay_use.h"
#include "receivers/receiver_set.h"
#include "receivers/sample_rings.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"
#include "sim_feed.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

using ScriptFn = int (*)(const char*, long long);
using QueryFn = long long (*)(const char*);

constexpr unsigned kRsp1 = 0, kRsp2 = 2, kDuo = 3, kSlave = 5, kMaster = 6;

std::string Variant(const std::string& missing) {
  return test::SimFeed::LibraryFolder() + "/sdrplay-without-" + missing + "/libsdrplay_api.so.3";
}

// Waits for `done` with a bound only a hang reaches.
template <class F>
bool WaitUntil(F done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// The simulated library's update calls, as "tuner reason ext".
std::vector<std::string> Updates(const test::SimFeed& feed) {
  std::vector<std::string> out;
  for (const std::string& l : feed.LogLines()) {
    if (l.rfind("update ", 0) == 0) out.push_back(l.substr(7));
  }
  return out;
}

class SdrPlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    feed_ = std::make_unique<test::SimFeed>(1.0, test::SimFeed::SdrPlayPath(), "kavu_simsdrplay_attach");
    ASSERT_TRUE(feed_->Attached());
    script_ = reinterpret_cast<ScriptFn>(feed_->Symbol("kavu_simsdrplay_script"));
    query_ = reinterpret_cast<QueryFn>(feed_->Symbol("kavu_simsdrplay_query"));
    ASSERT_NE(script_, nullptr);
    ASSERT_NE(query_, nullptr);
    script_("reset", 0);
  }
  void TearDown() override {
    if (script_) script_("slave_running", 0);
    use_.CloseSdr();
    if (script_) script_("reset", 0);
  }
  void Load() {
    use_.LoadSettings();
    ASSERT_TRUE(use_.LoadApi(test::SimFeed::SdrPlayPath())) << use_.ErrorText();
    ASSERT_EQ(use_.EnumSdrPlay(), 0) << use_.ErrorText();
    ASSERT_EQ(use_.DeviceCount(), 7u);
  }
  int Start(const sdrplay_api_DeviceT& d, double f = 100e6) {
    const int rc = use_.InitSdr(d, f);
    if (rc != 0) return rc;
    const bool dual = use_.Selected().tuner == kSdrPlayTunerBoth;
    sdrplay_api_CallbackFnsT cb{dual ? StreamACbFn : StreamACbFnSingle, dual ? StreamBCbFn : nullptr, EventCbFn};
    return use_.StartSdr(&cb, &sink_);
  }
  test::ScopedSettings settings_;
  std::unique_ptr<test::SimFeed> feed_;
  ScriptFn script_ = nullptr;
  QueryFn query_ = nullptr;
  SampleRings rings_{1 << 16};
  OSdrPlayUse use_;
  SdrPlaySinkContext sink_{&rings_, &use_};
};

TEST_F(SdrPlayTest, OpeningModesFollowTheDeviceAndTheSettings) {
  Settings().WriteProfileInt("CDlgSdrPlay", "m_DuoMasterMode", 1);
  Settings().WriteProfileInt("CDlgSdrPlay", "m_Decim", 2);
  Load();
  const sdrplay_api_DeviceT duo = use_.Device(kDuo);
  EXPECT_EQ(duo.rspDuoMode, 7);
  Log().SetCapture(true);
  ASSERT_EQ(use_.InitSdr(duo, 100e6), 0) << use_.ErrorText();
  std::string log = Log().TakeCaptured();
  EXPECT_NE(log.find("Буду открывать Duo в двухвходовом режиме \n"), std::string::npos) << log;
  EXPECT_NE(log.find("sdrplay_api_SelectDevice res=0 hdev="), std::string::npos) << log;
  EXPECT_EQ(use_.Status(), 1);
  EXPECT_EQ(use_.Selected().tuner, 3);
  EXPECT_EQ(use_.Selected().rspDuoMode, 2);
  EXPECT_EQ(use_.Selected().rspDuoSampleFreq, 6'000'000.0);
  EXPECT_TRUE(use_.IsDual());
  EXPECT_EQ(use_.OutputRate(), 1'000'000.0) << "2,000,000 ÷ m_Decim in dual-tuner mode";
  ASSERT_NE(use_.Params().Channel(0), nullptr);
  ASSERT_NE(use_.Params().Channel(1), nullptr);
  for (int i = 0; i < 2; ++i) {
    sdrplay_api_RxChannelParamsT& c = *use_.Params().Channel(i);
    EXPECT_EQ(SdrPlayParams::BwType(c), 1536);
    EXPECT_EQ(SdrPlayParams::GrDb(c), 20);
    EXPECT_EQ(SdrPlayParams::AgcEnable(c), 0);
    EXPECT_EQ(SdrPlayParams::DecimFactor(c), 2);
    EXPECT_EQ(SdrPlayParams::DecimEnable(c), 1);
    EXPECT_EQ(SdrPlayParams::LoMode(c), 1);
    EXPECT_EQ(SdrPlayParams::RfHz(c), 100e6);
  }

  // Single-tuner on tuner B: only channel B exists.
  use_.m_DuoMasterMode = 0;
  use_.m_AntNum = 2;
  use_.m_Decim = 1;
  ASSERT_EQ(use_.InitSdr(duo, 100e6), 0) << use_.ErrorText();
  log = Log().TakeCaptured();
  EXPECT_NE(log.find("sdrplay_api_ReleaseDevice res=0\n"), std::string::npos) << "opening closes first: " << log;
  EXPECT_NE(log.find("Буду открывать Duo в обычном режиме \n"), std::string::npos) << log;
  EXPECT_EQ(use_.Selected().tuner, 2);
  EXPECT_EQ(use_.Selected().rspDuoMode, 1);
  EXPECT_FALSE(use_.IsDual());
  EXPECT_EQ(use_.Params().Channel(0), nullptr);
  EXPECT_NE(use_.Params().Channel(1), nullptr);
  EXPECT_EQ(use_.OutputRate(), 2'000'000.0);

  // Master only: no mode this program can open.
  EXPECT_EQ(use_.InitSdr(use_.Device(kMaster), 100e6), OSdrPlayUse::kNoMode);
  log = Log().TakeCaptured();
  EXPECT_NE(log.find("Не удалось определить реализуемый режим открытия! \n"), std::string::npos) << log;
  EXPECT_EQ(use_.Status(), 0);

  // Slave only: slave mode, no device parameters of its own.
  ASSERT_EQ(use_.InitSdr(use_.Device(kSlave), 100e6), 0) << use_.ErrorText();
  EXPECT_EQ(use_.Selected().rspDuoMode, 8);
  log = Log().TakeCaptured();
  Log().SetCapture(false);
  EXPECT_NE(log.find("Буду открывать Duo в slave режиме \n"), std::string::npos) << log;

  // Other models open single on tuner A.
  ASSERT_EQ(use_.InitSdr(use_.Device(kRsp1), 100e6), 0) << use_.ErrorText();
  EXPECT_EQ(use_.Selected().tuner, 1);
  EXPECT_EQ(use_.Selected().rspDuoMode, 1);
  EXPECT_TRUE(use_.CloseSdr());
  EXPECT_EQ(use_.Status(), 0);
  EXPECT_FALSE(use_.HasDeviceParams());
}

TEST_F(SdrPlayTest, TuningCutsTheLnaStateToTheModelsCount) {
  Settings().WriteProfileInt("CDlgSdrPlay", "m_Lna", 8);
  Load();
  ASSERT_EQ(use_.InitSdr(use_.Device(kRsp2), 100e6), 0) << use_.ErrorText();
  EXPECT_EQ(SdrPlayParams::Lna(*use_.Params().Channel(0)), 8) << "9 states above 60 MHz";
  EXPECT_EQ(use_.SetFrf(50e6, nullptr, 0), 0) << use_.ErrorText();
  EXPECT_EQ(SdrPlayParams::Lna(*use_.Params().Channel(0)), 4);
  EXPECT_EQ(use_.LnaCutText(), "LNA урезан с 8 до 4");
  EXPECT_EQ(SdrPlayParams::RfHz(*use_.Params().Channel(0)), 50e6);
  EXPECT_EQ(Updates(*feed_).back(), "tuner=1 reason=0x20000 ext=0x0");
  EXPECT_EQ(use_.SetFrf(100e6, nullptr, 0), 0);
  EXPECT_EQ(use_.LnaCutText(), "") << "the text is of the last tuning only";
  EXPECT_EQ(SdrPlayParams::Lna(*use_.Params().Channel(0)), 8);
  int applied = -1;
  ASSERT_EQ(use_.SetFrf(50e6, nullptr, 0), 0);
  EXPECT_EQ(use_.SetLna(7, &applied), 0);
  EXPECT_EQ(applied, 4);
  EXPECT_EQ(SdrPlayLnaStateCount(2, 50e6), 5);
  EXPECT_EQ(SdrPlayLnaStateCount(255, 1.5e9), 9);
  EXPECT_EQ(SdrPlayLnaStateCount(4, 1e6), 28);
  EXPECT_EQ(SdrPlayLnaStateCount(7, 1e6), 99);
}

TEST_F(SdrPlayTest, AutomaticGainRaisesTheLnaAtMostThreeTimesThenClamps) {
  Settings().WriteProfileInt("CDlgSdrPlay", "m_Ga", 45);
  ASSERT_EQ(script_("gain_base", 105), 0);  // RSP1 at 1 MHz, gRdB 45, LNA 0: current gain 60 dB
  Load();
  ASSERT_EQ(use_.InitSdr(use_.Device(kRsp1), 1e6), 0) << use_.ErrorText();
  ASSERT_EQ(use_.SetGainReduction(45), 0);
  EXPECT_NEAR(use_.GainA(), 60.0, 0.01);
  Log().SetCapture(true);
  // c = 60, b = 40, gRdB = 45: g = 65 > 59, one LNA step (6 dB) brings it to 59.
  EXPECT_EQ(use_.AutoGain(40, false, nullptr, 0), 0) << use_.ErrorText();
  std::string log = Log().TakeCaptured();
  EXPECT_NE(log.find("смена OldLna = 0 на 1\n"), std::string::npos) << log;
  EXPECT_EQ(use_.CurLna(), 1);
  EXPECT_EQ(use_.CurGrDb(), 59);
  // Far too much gain: three LNA steps and no more, then the clamp at 59.
  ASSERT_EQ(use_.SetGainReduction(45), 0);
  ASSERT_EQ(use_.SetLna(0, nullptr), 0);
  EXPECT_EQ(use_.AutoGain(5, false, nullptr, 0), 0);
  log = Log().TakeCaptured();
  EXPECT_NE(log.find("смена OldLna = 2 на 3\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("смена OldLna = 3 на 4"), std::string::npos) << log;
  EXPECT_EQ(use_.CurLna(), 3);
  EXPECT_EQ(use_.CurGrDb(), 59);
  // Within the hysteresis (3 dB) nothing moves unless forced.
  ASSERT_EQ(use_.SetLna(0, nullptr), 0);
  ASSERT_EQ(use_.SetGainReduction(45), 0);
  const size_t before = Updates(*feed_).size();
  EXPECT_EQ(use_.AutoGain(58, false, nullptr, 0), 0);
  EXPECT_EQ(Updates(*feed_).size(), before);
  EXPECT_EQ(use_.CurGrDb(), 45);
  EXPECT_EQ(use_.AutoGain(58, true, nullptr, 0), 0);
  EXPECT_EQ(use_.CurGrDb(), 47);
  EXPECT_EQ(Updates(*feed_).back(), "tuner=1 reason=0x8000 ext=0x0");
  Log().SetCapture(false);
}

TEST_F(SdrPlayTest, ErrorTextsWithAndWithoutTheLibrarysHelpers) {
  Load();
  script_("fail:SelectDevice", 2);
  EXPECT_EQ(use_.InitSdr(use_.Device(kRsp1), 100e6), 2);
  EXPECT_EQ(use_.ErrorText(), "sdrplay_api_SelectDevice err = 2, sdrplay_api_InvalidParam");
  script_("fail:SelectDevice", 0);
  // GetDeviceParams fails: the device stays selected, with no parameter pointer left over.
  script_("fail:GetDeviceParams", 5);
  EXPECT_EQ(use_.InitSdr(use_.Device(kRsp1), 100e6), 5);
  EXPECT_EQ(use_.ErrorText(),
            "sdrplay_api_GetDeviceParams err = 5, sdrplay_api_NotInitialised, simulated failure of "
            "sdrplay_api_GetDeviceParams (5)");
  EXPECT_EQ(use_.Status(), 1);
  EXPECT_FALSE(use_.HasDeviceParams());
  EXPECT_EQ(use_.SetFrf(120e6, nullptr, 0), OSdrPlayUse::kNoDevice);
  script_("fail:GetDeviceParams", 0);
  EXPECT_TRUE(use_.CloseSdr()) << "the next close releases it";
  EXPECT_EQ(query_("selected"), 0);
  EXPECT_EQ(use_.FormatApiError(999, nullptr, nullptr), 999);
  EXPECT_EQ(use_.ErrorText(), "sdrplay_api_err = 999") << "no text for an unknown code";

  // A library without GetErrorString and GetLastError: the code alone.
  DynLibrary bare;
  ASSERT_EQ(bare.Open(Variant("helpers")), DynLibrary::Result::kLoaded);
  const auto bare_script = reinterpret_cast<ScriptFn>(bare.Symbol("kavu_simsdrplay_script"));
  ASSERT_NE(bare_script, nullptr);
  OSdrPlayUse other;
  Log().SetCapture(true);
  ASSERT_TRUE(other.LoadApi(Variant("helpers")));
  const std::string log = Log().TakeCaptured();
  Log().SetCapture(false);
  EXPECT_NE(log.find("Не найдена sdrplay_api_GetErrorString\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Не найдена sdrplay_api_GetLastError\n"), std::string::npos) << log;
  ASSERT_EQ(other.EnumSdrPlay(), 0) << other.ErrorText();
  bare_script("fail:GetDeviceParams", 5);
  EXPECT_EQ(other.InitSdr(other.Device(kRsp1), 100e6), 5);
  EXPECT_EQ(other.ErrorText(), "sdrplay_api_GetDeviceParams err = 5");
  bare_script("reset", 0);
  EXPECT_TRUE(other.CloseSdr());
}

TEST_F(SdrPlayTest, AFailedListingGivesTheApiLockBack) {
  use_.LoadSettings();
  ASSERT_TRUE(use_.LoadApi(test::SimFeed::SdrPlayPath()));
  script_("fail:GetDevices", 1);
  Log().SetCapture(true);
  EXPECT_EQ(use_.EnumSdrPlay(), 1);
  const std::string log = Log().TakeCaptured();
  Log().SetCapture(false);
  EXPECT_NE(log.find(" sdrplay_api_GetDevices err=1 num=0\n"), std::string::npos) << log;
  EXPECT_EQ(use_.ErrorText(), "sdrplay_api_GetDevices err = 1, sdrplay_api_Fail");
  EXPECT_EQ(use_.DeviceCount(), 0u);
  EXPECT_EQ(query_("locked"), 0) << "other programs must not stay locked out";
  script_("fail:GetDevices", 0);
  EXPECT_EQ(use_.EnumSdrPlay(), 0) << use_.ErrorText();
  EXPECT_EQ(use_.DeviceCount(), 7u);
  EXPECT_NEAR(use_.ApiVersion(), 3.15f, 1e-6);
  // A failing Open ends the listing with its label; the version stays unset.
  OSdrPlayUse fresh;
  ASSERT_TRUE(fresh.LoadApi(test::SimFeed::SdrPlayPath()));
  script_("fail:Open", 10);
  EXPECT_EQ(fresh.EnumSdrPlay(), 10);
  EXPECT_EQ(fresh.ErrorText(), "sdrplay_api_Open err = 10, sdrplay_api_ServiceNotResponding");
  EXPECT_EQ(fresh.ApiVersion(), OSdrPlayUse::kNoVersion);
}

TEST_F(SdrPlayTest, MissingFunctionsAreNamedAndNeverCalled) {
  OSdrPlayUse old;
  ASSERT_TRUE(old.LoadApi(Variant("getdevices")));
  EXPECT_EQ(old.EnumSdrPlay(), OSdrPlayUse::kNoFunction);
  EXPECT_EQ(old.ErrorText(), "libsdrplay_api.so.3 несовместимой версии: экспортирует не все нужные функции");
  EXPECT_EQ(old.DeviceCount(), 0u);

  OSdrPlayUse no_update;
  ASSERT_TRUE(no_update.LoadApi(Variant("update")));
  ASSERT_EQ(no_update.EnumSdrPlay(), 0) << no_update.ErrorText();
  ASSERT_EQ(no_update.InitSdr(no_update.Device(kRsp1), 100e6), 0) << no_update.ErrorText();
  const double before = SdrPlayParams::RfHz(*no_update.Params().Channel(0));
  EXPECT_EQ(no_update.SetFrf(200e6, nullptr, 0), OSdrPlayUse::kNoFunction);
  EXPECT_EQ(no_update.ErrorText(), "Не найдена sdrplay_api_Update");
  EXPECT_EQ(SdrPlayParams::RfHz(*no_update.Params().Channel(0)), before) << "nothing written";
  EXPECT_EQ(no_update.SetDecimation(4, false), OSdrPlayUse::kNoFunction);
  EXPECT_EQ(no_update.AutoGain(30, true, nullptr, 0), OSdrPlayUse::kNoFunction);
  EXPECT_TRUE(no_update.CloseSdr());
}

TEST_F(SdrPlayTest, WithoutADeviceEveryChangeFailsAndCallsNothing) {
  Load();
  const size_t before = feed_->LogLines().size();
  int applied = -1;
  EXPECT_EQ(use_.SetFrf(100e6, nullptr, 0), OSdrPlayUse::kNoDevice);
  EXPECT_EQ(use_.ErrorText(), "OSdrPlayUse: не выбрано устройство SdrPlay, менять нечего");
  EXPECT_EQ(use_.SetGainReduction(30), OSdrPlayUse::kNoDevice);
  EXPECT_EQ(use_.SetLna(2, &applied), OSdrPlayUse::kNoDevice);
  EXPECT_EQ(use_.SetBwType(600), OSdrPlayUse::kNoDevice);
  EXPECT_EQ(use_.SetIfType(450), OSdrPlayUse::kNoDevice);
  EXPECT_EQ(use_.SetLoMode(2), OSdrPlayUse::kNoDevice);
  EXPECT_EQ(use_.SetDecimation(2, false), OSdrPlayUse::kNoDevice);
  EXPECT_EQ(use_.SetSampleRate(4e6), OSdrPlayUse::kNoDevice);
  EXPECT_EQ(use_.SwapTuner(0), OSdrPlayUse::kNoDevice);
  EXPECT_EQ(use_.GenericUpdate(1, kSdrPlayRsp2AntennaControl, 0), OSdrPlayUse::kNoDevice);
  EXPECT_EQ(use_.AutoGain(30, true, nullptr, 0), OSdrPlayUse::kNoDevice);
  EXPECT_EQ(feed_->LogLines().size(), before) << "the library was not called";
  // The placeholder and the fallback parameters stand in for showing values.
  EXPECT_STREQ(use_.Selected().SerNo, "Virtual");
  EXPECT_EQ(use_.Selected().hwVer, 3);
  EXPECT_EQ(use_.Params().Dev()->fsFreq.fsHz, 2'000'000.0);
  EXPECT_EQ(use_.StartSdr(nullptr, nullptr), OSdrPlayUse::kNotSelected);
  EXPECT_EQ(use_.ErrorText(), "OSdrPlayUse::StartSdr() отвергнут, статус не 1");
}

TEST_F(SdrPlayTest, ARefusedRateOrDecimationLeavesTheOutputRate) {
  Load();
  ASSERT_EQ(use_.InitSdr(use_.Device(kRsp1), 100e6), 0);
  EXPECT_EQ(use_.SetSampleRate(8e6), 0) << use_.ErrorText();
  EXPECT_EQ(use_.OutputRate(), 8e6);
  EXPECT_EQ(use_.SetSampleRate(20e6), kSdrPlayOutOfRange);
  EXPECT_EQ(use_.OutputRate(), 8e6);
  EXPECT_EQ(use_.Params().Dev()->fsFreq.fsHz, 8e6) << "the refused value is not left in the record";
  EXPECT_EQ(use_.SetDecimation(4, false), 0) << use_.ErrorText();
  EXPECT_EQ(use_.OutputRate(), 2e6);
  EXPECT_EQ(use_.SetDecimation(3, true), kSdrPlayOutOfRange);
  EXPECT_EQ(use_.OutputRate(), 2e6);
  EXPECT_EQ(SdrPlayParams::DecimFactor(*use_.Params().Channel(0)), 4);
  EXPECT_EQ(SdrPlayParams::WideBand(*use_.Params().Channel(0)), 0);
  EXPECT_EQ(use_.SetDecimation(0, true), 0) << "≤ 0 keeps the factor";
  EXPECT_EQ(SdrPlayParams::DecimFactor(*use_.Params().Channel(0)), 4);
  EXPECT_EQ(SdrPlayParams::WideBand(*use_.Params().Channel(0)), 1);
  EXPECT_EQ(use_.SetDecimation(1, false), 0);
  EXPECT_EQ(use_.OutputRate(), 8e6);
  EXPECT_EQ(Updates(*feed_).back(), "tuner=1 reason=0x800000 ext=0x0");
}

TEST_F(SdrPlayTest, GainModeTwoWithoutAUsableTableRunsManual) {
  test::TempDir dir;
  Settings().WriteProfileInt("CDlgSdrPlay", "m_IsAutoGA", 2);
  Settings().WriteProfileString("CDlgSdrPlay", "m_RspGCalName", dir.Path() + "/missing.kant");
  Settings().WriteProfileInt("CDlgSdrPlay", "m_Ga", 33);
  Load();
  EXPECT_EQ(use_.m_IsAutoGA, 2);
  EXPECT_EQ(use_.GainModeInForce(), 0);
  ASSERT_EQ(Start(use_.Device(kRsp1)), 0) << use_.ErrorText();
  EXPECT_EQ(use_.SetFrf(150e6, nullptr, 0), 0);
  EXPECT_EQ(use_.CurGrDb(), 33) << "manual gain: m_Ga stays";
  for (const std::string& u : Updates(*feed_)) EXPECT_EQ(u.find("reason=0x8000 "), std::string::npos) << u;
  std::string message;
  EXPECT_FALSE(use_.SetGainMode(2, dir.Path() + "/also-missing.kant", &message));
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(use_.GainModeInForce(), 0);
  EXPECT_EQ(Settings().GetProfileString("CDlgSdrPlay", "m_RspGCalName", ""), dir.Path() + "/missing.kant")
      << "nothing stored";
  EXPECT_TRUE(use_.SetGainMode(1, "", &message));
  EXPECT_EQ(Settings().GetProfileInt("CDlgSdrPlay", "m_IsAutoGA", -1), 1);
  EXPECT_EQ(use_.GainModeInForce(), 1);
}

TEST_F(SdrPlayTest, StreamsSingleAndDualWithAlignedRings) {
  Settings().WriteProfileInt("CDlgSdrPlay", "m_DuoMasterMode", 1);
  Load();
  ASSERT_EQ(Start(use_.Device(kDuo)), 0) << use_.ErrorText();
  EXPECT_EQ(use_.Status(), 100);
  ASSERT_TRUE(WaitUntil([&] { return rings_.m_RingWr.load() >= 4096; }));
  ASSERT_TRUE(use_.CloseSdr());
  const int32_t n = rings_.m_RingWr.load();
  // Both rings hold the same samples, entry by entry: A with Q = −I, B with Q = +I.
  const IqEntry* a = rings_.RingA();
  const IqEntry* b = rings_.RingB();
  for (int32_t k = 1; k < n; ++k) {
    ASSERT_EQ(a[k].i, b[k].i) << k;
    ASSERT_EQ(a[k].q, -a[k].i) << k;
    ASSERT_EQ(b[k].q, b[k].i) << k;
    ASSERT_EQ(std::fmod(a[k].i, 4.0f), 0.0f) << "14-bit samples";
    if (a[k - 1].i < 32764 && a[k].i != 0) {
      ASSERT_EQ(a[k].i - a[k - 1].i, 4.0f) << k;
    }
  }
  EXPECT_EQ(rings_.m_MaxBlockN.load(), 2016u);

  // Single tuner: ring A only.
  rings_.ResetCounters();
  use_.m_DuoMasterMode = 0;
  ASSERT_EQ(Start(use_.Device(kRsp1)), 0) << use_.ErrorText();
  ASSERT_TRUE(WaitUntil([&] { return rings_.m_RingWr.load() >= 2016; }));
  ASSERT_TRUE(use_.CloseSdr());
  EXPECT_EQ(rings_.RingA()[1].q, -rings_.RingA()[1].i);
}

TEST_F(SdrPlayTest, OverloadsAreCountedPerTunerAndAcknowledgedOnTheApisThread) {
  Settings().WriteProfileInt("CDlgSdrPlay", "m_DuoMasterMode", 1);
  Load();
  ASSERT_EQ(Start(use_.Device(kDuo)), 0) << use_.ErrorText();
  ASSERT_EQ(script_("overload", 1), 0);
  ASSERT_TRUE(WaitUntil([&] { return query_("acks") >= 2; })) << "detected and corrected";
  EXPECT_EQ(rings_.m_OverloadA.load(), 1);
  EXPECT_EQ(rings_.m_OverloadB.load(), 0);
  ASSERT_EQ(script_("overload", 2), 0);
  ASSERT_TRUE(WaitUntil([&] { return query_("acks") >= 4; }));
  EXPECT_EQ(rings_.m_OverloadA.load(), 1);
  EXPECT_EQ(rings_.m_OverloadB.load(), 1);
  EXPECT_EQ(query_("acks_off_thread"), 0);
  bool acked_b = false;
  for (const std::string& u : Updates(*feed_)) acked_b = acked_b || u == "tuner=2 reason=0x4000000 ext=0x0";
  EXPECT_TRUE(acked_b) << "acknowledged on the event's tuner";
}

TEST_F(SdrPlayTest, UninitSixteenKeepsTheDeviceAndBlocksOpening) {
  Load();
  std::string box;
  use_.SetMessageBox([&](const std::string& t) { box = t; });
  ASSERT_EQ(Start(use_.Device(kDuo)), 0) << use_.ErrorText();
  script_("slave_running", 1);
  EXPECT_FALSE(use_.CloseSdr());
  EXPECT_EQ(box,
            "Невозможно закрыть открытое ранее SdrPlay устройство, обычно если Rsp2duo в мастер-режиме и slave - "
            "подключение ещё работает");
  EXPECT_EQ(use_.Status(), 100);
  EXPECT_EQ(use_.InitSdr(use_.Device(kRsp1), 100e6), OSdrPlayUse::kCloseFailed);
  EXPECT_EQ(query_("streaming"), 1);
  script_("slave_running", 0);
  EXPECT_TRUE(use_.CloseSdr());
  EXPECT_EQ(query_("streaming"), 0);
  EXPECT_EQ(query_("selected"), 0);
}

}  // namespace
}  // namespace kavu
