// The receiver set on the simulated library: tuning with the converter shift, the shared rate
// change, the levels for the measurement, and automatic gain from a calibration table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "receivers/receiver_set.h"
#include "results/ant_izm.h"
#include "results/ant_izm_file.h"
#include "shell/settings_store.h"
#include "sim_feed.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

struct Host : IReceiverSetHost {
  std::vector<double> rates;
  void SampleRateChanged(double r) override { rates.push_back(r); }
  double ReceiverFrequency() override { return 100e6; }
};

class ReceiverSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings().WriteProfileString("ODlgRtlSdr", "m_PathApiDllRtl", test::SimFeed::LibraryFolder());
    for (const char* s : {"OSdrPlayUse", "OHackRfUse"}) Settings().WriteProfileString(s, "m_PathApiDll", empty_.Path());
    Settings().WriteProfileString("OExtIOUse", "m_PathExtIO", empty_.Path());
  }
  void Open() {
    set_ = std::make_unique<ReceiverSet>(rings_, host_);
    set_->LoadSettings();
    set_->Discover();
    ASSERT_TRUE(set_->SelectReceiver(1)) << set_->Status().text;
  }
  test::ScopedSettings settings_;
  test::TempDir empty_;
  test::SimFeed feed_{1.0};
  SampleRings rings_{1 << 16};
  Host host_;
  std::unique_ptr<ReceiverSet> set_;
};

TEST_F(ReceiverSetTest, TuningAppliesTheConverterShiftAndReports) {
  Settings().WriteProfileInt("CDlgOptions", "m_IsConvertor", 1);
  Settings().WriteProfileDouble("CDlgOptions", "m_ConvertorFShift", 100e6);
  Open();
  EXPECT_TRUE(set_->Tune(14.2e6, nullptr, 0));
  EXPECT_EQ(feed_.Center(), 114'200'000u);
  EXPECT_EQ(set_->TuneReport(), "Настройка на 114.200 МГц с конвертором");
  Settings().WriteProfileDouble("CDlgOptions", "m_ConvertorFShift", -200e6);
  set_->LoadSettings();
  EXPECT_TRUE(set_->Tune(14.2e6, nullptr, 0));  // never below 0: 0 Hz is tuned as 5000 Hz
  EXPECT_EQ(feed_.Center(), 5000u);
  EXPECT_FALSE(set_->Tune(5e9, nullptr, 0));
  EXPECT_NE(set_->TuneReport().find(" ERR "), std::string::npos);
}

TEST_F(ReceiverSetTest, TunedFrequencyIsTheWindowsFrequencyBeforeTheConverterShift) {
  // What a single measurement mixes against: the frequency asked for, not the shifted one the
  // receiver is physically tuned to.
  Settings().WriteProfileInt("CDlgOptions", "m_IsConvertor", 1);
  Settings().WriteProfileDouble("CDlgOptions", "m_ConvertorFShift", 100e6);
  set_ = std::make_unique<ReceiverSet>(rings_, host_);
  EXPECT_TRUE(std::isnan(set_->TunedFrequency())) << "no receiver open";
  Open();
  EXPECT_EQ(set_->TunedFrequency(), set_->Rtl().CurrentFrequency() - 100e6) << "not yet tuned here";
  ASSERT_TRUE(set_->Tune(14.2e6, nullptr, 0));
  EXPECT_EQ(feed_.Center(), 114'200'000u);
  EXPECT_EQ(set_->TunedFrequency(), 14.2e6);
  EXPECT_FALSE(set_->Tune(5e9, nullptr, 0));
  EXPECT_EQ(set_->TunedFrequency(), 14.2e6) << "a failed tuning changes nothing";
}

TEST_F(ReceiverSetTest, RateChangeIsSharedAndReplans) {
  Open();
  ASSERT_EQ(host_.rates, std::vector<double>{2'400'000.0});
  const auto [ok, text] = set_->ChangeRtlSampleRate(1'028'571);
  EXPECT_TRUE(ok);
  EXPECT_EQ(text, "Частота дискретизации АЦП изменена (влияет на поток данных)");
  EXPECT_EQ(host_.rates.back(), 1'028'571.0);
  EXPECT_EQ(set_->ActiveSampleRate(), 1'028'571.0);
  EXPECT_EQ(feed_.Rate(), 1'028'571u);  // the divider gives this rate exactly (to the hertz)
  EXPECT_NE(set_->Status().text.find(", 1.029 МГц ["), std::string::npos) << set_->Status().text;
  const auto [bad, why] = set_->ChangeRtlSampleRate(3'500'000);
  EXPECT_FALSE(bad);
  EXPECT_EQ(why, "rtlsdr_set_sample_rate() вернула err=-22, FS=3500000");
}

TEST_F(ReceiverSetTest, LevelsReportGainAndOverloads) {
  Settings().WriteProfileInt("ODlgRtlSdr", "m_RtlGa", 200);
  Open();
  ReceiverLevels l = set_->Levels();
  EXPECT_DOUBLE_EQ(l.gain_db, 19.7);
  EXPECT_FALSE(l.duo);
  rings_.m_OverloadA = 3;
  EXPECT_EQ(set_->Levels().overloads, 3);
  set_->Shutdown();
  EXPECT_EQ(set_->Levels().gain_db, 0.0);
}

TEST_F(ReceiverSetTest, AutomaticGainFollowsTheCalibrationTableWithHysteresis) {
  // |O| − gain of the table: −30 dB at 100 MHz rising to −10 dB at 120 MHz (linear grid).
  std::vector<AntIzm> points(21);
  for (int i = 0; i < 21; ++i) {
    std::memset(&points[i], 0, sizeof(AntIzm));
    points[i].freqHz = 100e6 + i * 1e6;
    points[i].gain = 20.0;
    points[i].oAll = 20.0 - 30.0 + i;  // level − gain = −30 + i
  }
  const std::string file = empty_.File("gcal.kant");
  ASSERT_TRUE(WriteScanFile(file, points.data(), 21, std::nullopt));
  Settings().WriteProfileInt("ODlgRtlSdr", "m_RtlIsGCal", 1);
  Settings().WriteProfileString("ODlgRtlSdr", "m_RtlGCalName", file);
  Settings().WriteProfileInt("ODlgRtlSdr", "m_RtlGa", 0);  // target |O| 0 dB
  Settings().WriteProfileDouble("CDlgOptions", "m_GisterzisMyAru", 4.0);
  Open();
  ASSERT_TRUE(set_->Rtl().RtlIsGCal());
  // At 100 MHz the level is −30 dB: target gain 30 dB, the nearest list entry 29.7 dB.
  EXPECT_TRUE(set_->Tune(100e6, nullptr, 0));
  EXPECT_EQ(set_->Rtl().CurGA(), 297);
  // The strongest reference of the batch rules: −20 dB at 110 MHz needs 20 dB (list 19.7 dB).
  const double batch[] = {105e6, 110e6};
  EXPECT_TRUE(set_->Tune(100e6, batch, 2));
  EXPECT_EQ(set_->Rtl().CurGA(), 197);
  // 112 MHz wants 18 dB (list 16.6 dB): within the 4 dB hysteresis, so left alone unless forced.
  const double near[] = {112e6};
  EXPECT_TRUE(set_->Tune(100e6, near, 1));
  EXPECT_EQ(set_->Rtl().CurGA(), 197);
  EXPECT_TRUE(set_->Rtl().SetMyAru(true, near, 1));
  EXPECT_EQ(set_->Rtl().CurGA(), 166);
  // A table that does not load turns calibration off.
  std::string message;
  EXPECT_FALSE(set_->Rtl().SetGainCalibration(true, empty_.File("missing.kant"), &message));
  EXPECT_FALSE(set_->Rtl().RtlIsGCal());
  EXPECT_EQ(message, "не удалось открыть файл на диске с измерениями");
  EXPECT_EQ(Settings().GetProfileInt("ODlgRtlSdr", "m_RtlIsGCal", 9), 0);
}

}  // namespace
}  // namespace kavu

namespace kavu {
namespace {

// The HackRF branch: both boards listed beside the RTL-SDR, one opened and streaming, its
// status text, rate choice, tuning report and the gain the scan is told; choosing another
// receiver closes it first.
TEST(ReceiverSetHackRf, SelectingABoardOpensStreamsReportsAndClosesOnTheNextChoice) {
  test::ScopedSettings settings;
  test::TempDir empty;
  test::SimFeed rtl_feed(1.0);
  test::SimFeed feed(1.0, test::SimFeed::HackRfPath(), "kavu_simhackrf_attach");
  ASSERT_TRUE(feed.Attached());
  Settings().WriteProfileString("ODlgRtlSdr", "m_PathApiDllRtl", test::SimFeed::LibraryFolder());
  Settings().WriteProfileString("OHackRfUse", "m_PathApiDll", test::SimFeed::LibraryFolder());
  Settings().WriteProfileString("OSdrPlayUse", "m_PathApiDll", empty.Path());
  Settings().WriteProfileString("OExtIOUse", "m_PathExtIO", empty.Path());
  Settings().WriteProfileInt("OHackRfUse", "m_Lna", 16);
  Settings().WriteProfileInt("OHackRfUse", "m_VGa", 20);
  Settings().WriteProfileInt("OHackRfUse", "m_IsAmp", 1);
  Settings().WriteProfileInt("OHackRfUse", "m_SampleRateVar", 4);
  SampleRings rings(1 << 16);
  Host host;
  ReceiverSet set(rings, host);
  set.LoadSettings();
  set.Discover();
  const std::string serial = "00000000000000004b41565542454e31";
  const std::string path = test::SimFeed::HackRfPath();
  ASSERT_EQ(set.Entries().size(), 5u);
  EXPECT_EQ(set.Entries()[2].text, "HackRf " + serial);
  EXPECT_EQ(set.Entries()[3].text, "HackRf ");
  ASSERT_TRUE(set.SelectReceiver(2)) << set.Status().text;
  EXPECT_EQ(set.Status().text,
            "ОТКРЫТ HackRf №1 из 2: " + serial + ", 12.5 МГц (полоса 12 МГц) [" + path + "]");
  EXPECT_EQ(host.rates, (std::vector<double>{12.5e6}));
  EXPECT_EQ(set.ActiveSampleRate(), 12.5e6);
  EXPECT_EQ(feed.Center(), 100'000'000u);
  EXPECT_DOUBLE_EQ(set.Levels().gain_db, 16 + 20 + 10);
  EXPECT_EQ(feed.Gain(), 460) << "the bench hears the gain the scan is told";
  EXPECT_TRUE(set.Tune(145e6, nullptr, 0));
  EXPECT_EQ(set.TuneReport(), "Настр. 145.000 МГц");
  EXPECT_EQ(feed.Center(), 145'000'000u);
  EXPECT_EQ(set.TunedFrequency(), 145e6);
  const auto [ok, text] = set.ChangeHackRfSampleRate(6);
  EXPECT_TRUE(ok);
  EXPECT_EQ(text, "Установка частоты дискретизации 20 МГц. Чем больше, тем быстрее сканирование и выше "
                  "нагрузка на usb и комп ");
  EXPECT_EQ(host.rates.back(), 20e6);
  EXPECT_EQ(Settings().GetProfileInt("OHackRfUse", "m_SampleRateVar", 0), 6);
  EXPECT_EQ(set.Status().text,
            "ОТКРЫТ HackRf №1 из 2: " + serial + ", 20 МГц (полоса 20 МГц) [" + path + "]");
  // The RTL-SDR next: the board is closed before it opens.
  ASSERT_TRUE(set.SelectReceiver(1)) << set.Status().text;
  EXPECT_EQ(set.HackRf().Status(), 1);
  EXPECT_FALSE(set.IsActive(ReceiverKind::kHackRf));
  EXPECT_FALSE(set.Tune(7e9, nullptr, 0)) << "the RTL-SDR does not reach 7 GHz";
  EXPECT_EQ(feed.Center(), 145'000'000u) << "the closed board is not tuned";
  // A failing open: the status text says why, in the error colour.
  int (*script)(const char*, long long) =
      reinterpret_cast<int (*)(const char*, long long)>(feed.Symbol("kavu_simhackrf_script"));
  ASSERT_NE(script, nullptr);
  script("fail:open", -1000);
  EXPECT_FALSE(set.SelectReceiver(2));
  script("reset", 0);
  EXPECT_EQ(set.Status().text, "Ошибка open HackRf №1 из 2: ошибка hackrf_open_by_serial, errcode=-1000, "
                               "USB error [" + path + "]");
  EXPECT_EQ(set.Status().colour, StatusColour::kError);
}

}  // namespace
}  // namespace kavu
