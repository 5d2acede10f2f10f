// The SDRplay rows of the receiver set on the simulated service library: the discovery log and
// entries, the keys, opening single and dual with the status texts and the second input, the
// close order with a device that refuses to close, tuning reports and the rate changes.
#include <gtest/gtest.h>

#include "receivers/receiver_set.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"
#include "sim_feed.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

using ScriptFn = int (*)(const char*, long long);

struct Host : IReceiverSetHost {
  std::vector<double> rates;
  std::vector<bool> second;
  std::vector<std::string> boxes;
  void SampleRateChanged(double r) override { rates.push_back(r); }
  double ReceiverFrequency() override { return 145e6; }
  void SecondInputChanged(bool on) override { second.push_back(on); }
  void ShowMessage(const std::string& text) override { boxes.push_back(text); }
};

class SdrPlaySetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings().WriteProfileString("OSdrPlayUse", "m_PathApiDll", test::SimFeed::LibraryFolder());
    Settings().WriteProfileString("ODlgRtlSdr", "m_PathApiDllRtl", test::SimFeed::LibraryFolder());
    Settings().WriteProfileString("OHackRfUse", "m_PathApiDll", empty_.Path());
    Settings().WriteProfileString("OExtIOUse", "m_PathExtIO", empty_.Path());
    script_ = reinterpret_cast<ScriptFn>(feed_.Symbol("kavu_simsdrplay_script"));
    ASSERT_NE(script_, nullptr);
    script_("reset", 0);
  }
  void TearDown() override {
    script_("slave_running", 0);
    set_.reset();
    script_("reset", 0);
  }
  void Make() {
    set_ = std::make_unique<ReceiverSet>(rings_, host_);
    set_->LoadSettings();
    Log().SetCapture(true);
    set_->Discover();
    log_ = Log().TakeCaptured();
    Log().SetCapture(false);
  }
  // The first RTL-SDR entry.
  int Rtl() const {
    for (size_t i = 0; i < set_->Entries().size(); ++i) {
      if (set_->Entries()[i].code == kCodeRtlSdr) return static_cast<int>(i);
    }
    return -1;
  }
  test::ScopedSettings settings_;
  test::TempDir empty_;
  test::SimFeed feed_{1.0, test::SimFeed::SdrPlayPath(), "kavu_simsdrplay_attach"};
  ScriptFn script_ = nullptr;
  SampleRings rings_{1 << 16};
  Host host_;
  std::unique_ptr<ReceiverSet> set_;
  std::string log_;
};

TEST_F(SdrPlaySetTest, DiscoveryListsEveryDeviceWithItsLogLineTextAndKey) {
  Make();
  EXPECT_NE(log_.find("СПИСОК УСТРОЙСТВ SdrPlay: \n"), std::string::npos) << log_;
  EXPECT_NE(log_.find(" i=3 sn=1003RSPDUO f=0 tuner=3 (Оба) mode=7 (Single) (Dual) (Master)\n"), std::string::npos)
      << log_;
  EXPECT_NE(log_.find(" i=5 sn=1005DUOSLAVE f=6000000 tuner=1 (A) mode=8 (Slave)\n"), std::string::npos) << log_;
  const std::vector<std::string> texts = {"RSP1_1000RSP1 A",     "RSP1A_1001RSP1A A",   "RSP2_1002RSP2 A",
                                          "RSPduo_1003RSPDUO AB dual", "RSPdx_1004RSPDX A", "RSPduo_1005DUOSLAVE A",
                                          "RSPduo_1006DUOMASTER AB"};
  ASSERT_GE(set_->Entries().size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(set_->Entries()[i].text, texts[i]);
    EXPECT_EQ(set_->Entries()[i].code, static_cast<int32_t>(i));
  }
  EXPECT_EQ(ReceiverKey(set_->Entries()[3]), "SdrPlay_3_1003RSPDUO");
  EXPECT_EQ(ReceiverKey(set_->Entries()[1]), "SdrPlay_255_1001RSP1A");
  EXPECT_EQ(Rtl(), 7) << "the RTL-SDR follows";

  // No device listed: the placeholder.
  script_("devices", 0);
  Make();
  EXPECT_EQ(set_->Entries()[0].text, "Нет приёмников SdrPlay");
  EXPECT_EQ(set_->Entries()[0].code, kCodeNoSdrPlay);
  EXPECT_NE(log_.find("ПУСТО, нет устройств SdrPlay для работы! \n"), std::string::npos) << log_;
}

TEST_F(SdrPlaySetTest, OpensSingleAndDualWithTheirStatusAndSecondInput) {
  Make();
  Settings().WriteProfileInt("CDlgSdrPlay", "m_DuoMasterMode", 1);
  set_->LoadSettings();
  ASSERT_TRUE(set_->SelectReceiver(3)) << set_->Status().text;
  EXPECT_EQ(set_->Status().text, "ОТКРЫТ SdrPlay_RSPduo_1003RSPDUO dual 2 МГц");
  EXPECT_EQ(set_->Status().caption, set_->Status().text);
  EXPECT_EQ(host_.rates.back(), 2e6);
  EXPECT_EQ(host_.second, std::vector<bool>{true});
  EXPECT_TRUE(set_->Levels().duo);
  EXPECT_EQ(set_->ActiveSampleRate(), 2e6);
  EXPECT_TRUE(set_->Tune(150e6, nullptr, 0));
  EXPECT_EQ(set_->TuneReport(), "Настройка на 150.000 МГц");
  EXPECT_EQ(feed_.Center(), 150'000'000u);
  EXPECT_EQ(set_->TunedFrequency(), 150e6);

  // The RTL-SDR entry closes the RSPduo: the second input goes off.
  ASSERT_TRUE(set_->SelectReceiver(Rtl())) << set_->Status().text;
  EXPECT_EQ(host_.second, (std::vector<bool>{true, false}));
  EXPECT_EQ(set_->SdrPlay().Status(), 0);

  // The slave: its mode in the status; RSP2 with the decimation in the rate.
  ASSERT_TRUE(set_->SelectReceiver(5)) << set_->Status().text;
  EXPECT_EQ(set_->Status().text, "ОТКРЫТ SdrPlay_RSPduo_1005DUOSLAVE slave 2 МГц");
  Settings().WriteProfileInt("CDlgSdrPlay", "m_Decim", 4);
  set_->LoadSettings();
  ASSERT_TRUE(set_->SelectReceiver(2)) << set_->Status().text;
  EXPECT_EQ(set_->Status().text, "ОТКРЫТ SdrPlay_RSP2_1002RSP2 0.5 МГц");
  EXPECT_FALSE(set_->Levels().duo);

  // Master only: the status in the error colour with the back end's text.
  EXPECT_FALSE(set_->SelectReceiver(6));
  EXPECT_EQ(set_->Status().colour, StatusColour::kError);
  EXPECT_EQ(set_->Status().text, "Не удалось определить реализуемый режим открытия!");
  EXPECT_EQ(set_->Status().caption, "ОШИБКА SdrPlay_RSPduo_1006DUOMASTER");
}

TEST_F(SdrPlaySetTest, ADeviceThatWillNotCloseBlocksEverySelection) {
  Make();
  ASSERT_TRUE(set_->SelectReceiver(3)) << set_->Status().text;
  script_("slave_running", 1);
  EXPECT_FALSE(set_->SelectReceiver(Rtl()));
  EXPECT_FALSE(host_.boxes.empty());
  EXPECT_EQ(set_->Rtl().Status(), 0) << "nothing else was opened";
  EXPECT_EQ(set_->SdrPlay().Status(), 100);
  EXPECT_TRUE(set_->IsActive(ReceiverKind::kSdrPlay));
  EXPECT_EQ(set_->Status().colour, StatusColour::kError);
  EXPECT_FALSE(set_->SelectReceiver(0));
  script_("slave_running", 0);
  ASSERT_TRUE(set_->SelectReceiver(Rtl())) << set_->Status().text;
  EXPECT_EQ(set_->SdrPlay().Status(), 0);
}

TEST_F(SdrPlaySetTest, RateAndDecimationChangesReplanOnlyWhenTaken) {
  Make();
  ASSERT_TRUE(set_->SelectReceiver(0)) << set_->Status().text;
  const size_t plans = host_.rates.size();
  auto [ok, text] = set_->ChangeSdrPlaySampleRate(6e6);
  EXPECT_TRUE(ok) << text;
  EXPECT_EQ(text.rfind("Установка частоты дискретизации АЦП в 6.000 МГц", 0), 0u) << text;
  EXPECT_EQ(host_.rates.size(), plans + 1);
  EXPECT_EQ(host_.rates.back(), 6e6);
  EXPECT_EQ(feed_.Rate(), 6'000'000u);
  std::tie(ok, text) = set_->ChangeSdrPlaySampleRate(12e6);
  EXPECT_FALSE(ok);
  EXPECT_EQ(text.rfind("sdrplay_api_Update_Dev_Fs err = 3, sdrplay_api_OutOfRange", 0), 0u) << text;
  EXPECT_EQ(host_.rates.size(), plans + 1) << "no new plan for a refused rate";
  EXPECT_EQ(set_->ActiveSampleRate(), 6e6);
  std::tie(ok, text) = set_->ChangeSdrPlayDecimation(2, true);
  EXPECT_TRUE(ok) << text;
  EXPECT_EQ(text,
            "Прореживание для уменьшения потока данных в 2 раз, ценой сужения полосы (не забудьте ограничить полосу "
            "пропускания фильтров); wideBandSignal включен, увеличивает нагрузку на проц!");
  EXPECT_EQ(host_.rates.back(), 3e6);
  EXPECT_EQ(Settings().GetProfileInt("CDlgSdrPlay", "m_Decim", 0), 2);
  std::tie(ok, text) = set_->ChangeSdrPlayDecimation(1, false);
  EXPECT_EQ(text, "Децимация выключена, поток данных и наблюдаемая полоса частот максимальны");
  std::tie(ok, text) = set_->ChangeSdrPlayDecimation(64, false);
  EXPECT_FALSE(ok);
  EXPECT_EQ(Settings().GetProfileInt("CDlgSdrPlay", "m_Decim", 0), 1) << "a refused factor is not stored";
  EXPECT_EQ(set_->ActiveSampleRate(), 6e6);
}

}  // namespace
}  // namespace kavu
