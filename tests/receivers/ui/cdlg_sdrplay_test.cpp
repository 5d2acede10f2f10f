// The SDRplay settings window offscreen on the simulated service library: each model's switches
// and inputs with the updates they send (tuner, reason, extended reason), the RSPduo's tuner
// modes and swap, the rate, decimation, LNA and gain-mode changes with their refusals, the
// texts without a device, the tuning report, closing and help.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTextEdit>
#include <cstdlib>

#include "receivers/receiver_set.h"
#include "receivers/sim_feed.h"
#include "receivers/ui/cdlg_sdrplay.h"
#include "results/ui/help_key.h"
#include "shell/settings_store.h"
#include "shell/ui/qt_test_app.h"
#include "support/temp_dir.h"

namespace kavu {

class CDlgSdrPlayTestAccess {
 public:
  static void SetPicker(CDlgSdrPlay& w, QString file) {
    w.pick_calibration_file_ = [file](const QString&) { return file; };
  }
  static void SetMessageBox(CDlgSdrPlay& w, std::vector<QString>* texts) {
    w.message_box_ = [texts](const QString& t) { texts->push_back(t); };
  }
  static void SetBrowser(CDlgSdrPlay& w, std::vector<QString>* urls) {
    HelpKey::Of(w)->open_link = [urls](const QString& url) {
      urls->push_back(url);
      return true;
    };
  }
};

namespace {

using SdrScriptFn = int (*)(const char*, long long);

struct SdrWindowHost : IReceiverSetHost {
  std::vector<double> rates;
  void SampleRateChanged(double r) override { rates.push_back(r); }
  double ReceiverFrequency() override { return 145e6; }
};

// The simulated devices by entry: RSP1, RSP1A, RSP2, RSPduo (single, dual, master), RSPdx, an
// RSPduo slave.
enum SimEntry { kRsp1 = 0, kRsp1A = 1, kRsp2 = 2, kDuo = 3, kDx = 4, kSlave = 5 };

class SdrPlayWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtTestApp();
    Settings().WriteProfileString("OSdrPlayUse", "m_PathApiDll", test::SimFeed::LibraryFolder());
    Settings().WriteProfileString("ODlgRtlSdr", "m_PathApiDllRtl", empty_.Path());
    Settings().WriteProfileString("OHackRfUse", "m_PathApiDll", empty_.Path());
    Settings().WriteProfileString("OExtIOUse", "m_PathExtIO", empty_.Path());
    script_ = reinterpret_cast<SdrScriptFn>(feed_.Symbol("kavu_simsdrplay_script"));
    ASSERT_NE(script_, nullptr);
    script_("reset", 0);
  }
  void TearDown() override {
    window_.reset();
    set_.reset();
    script_("reset", 0);
  }
  // Discovers the devices and, with entry ≥ 0, opens that one.
  void Make(int entry) {
    window_.reset();
    set_ = std::make_unique<ReceiverSet>(rings_, host_);
    set_->LoadSettings();
    set_->Discover();
    if (entry >= 0) {
      ASSERT_TRUE(set_->SelectReceiver(entry)) << set_->Status().text;
    }
    window_ = std::make_unique<CDlgSdrPlay>(*set_);
    CDlgSdrPlayTestAccess::SetMessageBox(*window_, &boxes_);
    window_->show();
  }
  template <class T>
  T* Child(const char* name) {
    T* w = window_->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  std::string Status() { return Child<QTextEdit>("status")->toPlainText().toStdString(); }
  int Colour() { return Child<QTextEdit>("status")->property("colour").toInt(); }
  // The updates the library was given since the last call.
  std::vector<std::string> Updates() {
    const std::vector<std::string> lines = feed_.LogLines();
    std::vector<std::string> out;
    for (size_t i = seen_; i < lines.size(); ++i) {
      if (lines[i].rfind("update ", 0) == 0) out.push_back(lines[i]);
    }
    seen_ = lines.size();
    return out;
  }
  void Choose(const char* combo, int index) {
    auto* c = Child<QComboBox>(combo);
    ASSERT_LT(index, c->count()) << combo;
    c->setCurrentIndex(index);
    emit c->activated(index);
  }
  void Type(const char* combo, const QString& text) {
    auto* c = Child<QComboBox>(combo);
    c->lineEdit()->setText(text);
    emit c->lineEdit()->returnPressed();
  }
  std::vector<bool> SwitchesEnabled() {
    std::vector<bool> on;
    for (const char* n : {"NotchEnable", "DabNotchEnable", "extRefOutputEn", "biasTEnable", "hdrEnable", "amPortSel"}) {
      on.push_back(Child<QCheckBox>(n)->isEnabled());
    }
    return on;
  }
  std::vector<QString> Items(const char* combo) {
    std::vector<QString> items;
    auto* c = Child<QComboBox>(combo);
    for (int i = 0; i < c->count(); ++i) items.push_back(c->itemText(i));
    return items;
  }
  void Screenshot(const char* name) {
    if (const char* dir = std::getenv("KAVU_SCREENSHOT_DIR"); dir && *dir) {
      EXPECT_TRUE(window_->grab().save(QString::fromUtf8(dir) + "/" + name));
    }
  }

  test::ScopedSettings settings_;
  test::TempDir empty_;
  test::SimFeed feed_{1.0, test::SimFeed::SdrPlayPath(), "kavu_simsdrplay_attach"};
  SdrScriptFn script_ = nullptr;
  SampleRings rings_{1 << 16};
  SdrWindowHost host_;
  std::unique_ptr<ReceiverSet> set_;
  std::unique_ptr<CDlgSdrPlay> window_;
  std::vector<QString> boxes_;
  size_t seen_ = 0;
};

TEST_F(SdrPlayWindowTest, EachModelsSwitchesAndInputsSendTheirUpdates) {
  // RSP1: no switches, no inputs; nothing is sent.
  Make(kRsp1);
  EXPECT_EQ(window_->windowTitle().toStdString(), "Настройка RSP1 SN=1000RSP1 A");
  EXPECT_EQ(SwitchesEnabled(), std::vector<bool>(6, false));
  EXPECT_FALSE(Child<QComboBox>("input")->isEnabled());
  Screenshot("cdlg_sdrplay_rsp1.png");
  Updates();

  // RSP1A: the notches on the device, bias-T on the channel, 0x70 on tuner 1.
  Make(kRsp1A);
  EXPECT_EQ(SwitchesEnabled(), (std::vector<bool>{true, true, false, true, false, false}));
  Updates();
  Child<QCheckBox>("NotchEnable")->click();
  EXPECT_EQ(Updates(), std::vector<std::string>{"update tuner=1 reason=0x70 ext=0x0"});
  EXPECT_EQ(Status(), "Настройка Rsp1A");
  EXPECT_EQ(set_->SdrPlay().Params().Dev()->rsp1aParams.rfNotchEnable, 1);
  Screenshot("cdlg_sdrplay_rsp1a.png");

  // RSP2: the reference output announced with 0x800 beside 0x580; antenna B with 0x200.
  Make(kRsp2);
  EXPECT_EQ(SwitchesEnabled(), (std::vector<bool>{true, false, true, true, false, true}));
  EXPECT_EQ(Items("input"), (std::vector<QString>{"A", "B"}));
  Updates();
  Child<QCheckBox>("extRefOutputEn")->click();
  EXPECT_EQ(Updates(), std::vector<std::string>{"update tuner=1 reason=0xD80 ext=0x0"});
  EXPECT_EQ(set_->SdrPlay().Params().Dev()->rsp2Params.extRefOutputEn, 1);
  EXPECT_EQ(Status(), "Настройка Rsp2");
  Choose("input", 1);
  EXPECT_EQ(Updates(), std::vector<std::string>{"update tuner=1 reason=0x200 ext=0x0"});
  EXPECT_EQ(Status(), "Переключение антенн у Rsp2");
  EXPECT_EQ(set_->SdrPlay().Params().Channel(0)->rsp2TunerParams.antennaSel, 6);
  EXPECT_EQ(Child<QComboBox>("input")->currentIndex(), 1) << "the refresh shows antenna B";
  EXPECT_EQ(Settings().GetProfileInt("CDlgSdrPlay", "m_AntNum", 0), 1);
  Screenshot("cdlg_sdrplay_rsp2.png");

  // RSPdx: HDR and the rest by extended reasons 0x1B, antenna C by 0x4.
  Make(kDx);
  EXPECT_EQ(SwitchesEnabled(), (std::vector<bool>{true, true, false, true, true, false}));
  Updates();
  Child<QCheckBox>("hdrEnable")->click();
  EXPECT_EQ(Updates(), std::vector<std::string>{"update tuner=1 reason=0x0 ext=0x1B"});
  EXPECT_EQ(Status(), "Настройка RspDx");
  Choose("input", 2);
  EXPECT_EQ(Updates(), std::vector<std::string>{"update tuner=1 reason=0x0 ext=0x4"});
  EXPECT_EQ(set_->SdrPlay().Params().Dev()->rspDxParams.antennaSel, 2);
  EXPECT_EQ(Status(), "Переключение антенн у RspDx");
  Screenshot("cdlg_sdrplay_rspdx.png");

  // A failing update: the status names it with the library's error, in the error colour.
  script_("fail:Update", 3);
  Child<QCheckBox>("NotchEnable")->click();
  EXPECT_EQ(Status().rfind("Настройка RspDx sdrplay_api_Update err = 3", 0), 0u) << Status();
  EXPECT_EQ(Colour(), 1);
  script_("fail:Update", 0);

  // The slave: no device record, so no reference output; one mode, one input, both fixed.
  Make(kSlave);
  EXPECT_EQ(Items("duo"), std::vector<QString>{"slave"});
  EXPECT_FALSE(Child<QComboBox>("duo")->isEnabled());
  EXPECT_FALSE(Child<QComboBox>("input")->isEnabled());
  EXPECT_FALSE(Child<QCheckBox>("extRefOutputEn")->isEnabled());
  EXPECT_FALSE(Child<QComboBox>("rate")->isEnabled()) << "the rate is the master's";
}

TEST_F(SdrPlayWindowTest, DuoSingleSwapsTunersAndBothInputsReopensDual) {
  Make(kDuo);
  EXPECT_EQ(window_->windowTitle().toStdString(), "Настройка RSPduo SN=1003RSPDUO AB single dual master");
  EXPECT_EQ(Items("duo"), (std::vector<QString>{"single", "оба_входа"}));
  EXPECT_EQ(Child<QComboBox>("duo")->currentIndex(), 0);
  EXPECT_EQ(Items("input"), (std::vector<QString>{"Тюнер A", "Тюнер B"}));
  EXPECT_EQ(SwitchesEnabled(), (std::vector<bool>{true, true, true, true, false, true}));
  // Single on tuner A: reference output on tuner 0, AM port and channel A on tuner 1, no B.
  Updates();
  Child<QCheckBox>("NotchEnable")->click();
  EXPECT_EQ(Updates(), (std::vector<std::string>{"update tuner=0 reason=0x1000 ext=0x0",
                                                 "update tuner=1 reason=0x10000000 ext=0x0",
                                                 "update tuner=1 reason=0xE0000000 ext=0x0"}));
  EXPECT_EQ(Status(), "Настройка RspDuo");
  EXPECT_TRUE(Child<QCheckBox>("hdrEnable")->isChecked()) << "channel A's AM notch follows the notch";
  // A failing first step stops the rest and is named.
  script_("fail:Update", 3);
  Child<QCheckBox>("NotchEnable")->click();
  EXPECT_EQ(Status().rfind("RspDuo_ExtRefControl sdrplay_api_Update err = 3", 0), 0u) << Status();
  EXPECT_EQ(Updates().size(), 0u) << "the failing call is not logged by the library";
  script_("fail:Update", 0);

  // Tuner B: the swap, then channel A is missing: its AM port is off limits and never touched.
  Choose("input", 1);
  EXPECT_EQ(Status(), "Переключение duo на другой тюнер");
  EXPECT_EQ(set_->SdrPlay().Selected().tuner, kSdrPlayTunerB);
  EXPECT_EQ(Child<QComboBox>("input")->currentIndex(), 1);
  EXPECT_FALSE(Child<QCheckBox>("amPortSel")->isEnabled());
  Updates();
  Child<QCheckBox>("biasTEnable")->click();
  EXPECT_EQ(Updates(), (std::vector<std::string>{"update tuner=0 reason=0x1000 ext=0x0",
                                                 "update tuner=2 reason=0xC8000000 ext=0x0"}));
  EXPECT_EQ(set_->SdrPlay().Params().Channel(1)->rspDuoTunerParams.biasTEnable, 1);

  // "оба_входа": stored as 1, the main window is asked to reopen, and the reopened device runs
  // both tuners.
  bool reopen = false;
  QObject::connect(window_.get(), &CDlgSdrPlay::ReopenRequested, [&] {
    reopen = true;
    ASSERT_TRUE(set_->SelectReceiver(kDuo)) << set_->Status().text;
    window_->Refresh();
  });
  Choose("duo", 1);
  EXPECT_TRUE(reopen);
  EXPECT_EQ(Settings().GetProfileInt("CDlgSdrPlay", "m_DuoMasterMode", 0), 1);
  EXPECT_EQ(Status().rfind("Двухвходовый режим Sdr-приёмника", 0), 0u) << Status();
  EXPECT_TRUE(set_->SdrPlay().IsDual());
  EXPECT_EQ(set_->Status().text, "ОТКРЫТ SdrPlay_RSPduo_1003RSPDUO dual 2 МГц");
  EXPECT_EQ(Child<QComboBox>("duo")->currentIndex(), 1);
  EXPECT_EQ(Items("input"), (std::vector<QString>{"2 входа, свойства A", "2 входа, свойства B"}));
  Updates();
  Child<QCheckBox>("DabNotchEnable")->click();
  EXPECT_EQ(Updates(), (std::vector<std::string>{
                           "update tuner=0 reason=0x1000 ext=0x0", "update tuner=1 reason=0x10000000 ext=0x0",
                           "update tuner=1 reason=0xE0000000 ext=0x0", "update tuner=2 reason=0xC8000000 ext=0x0"}));
  // Both tuners run: choosing the other input only shows its channel, no swap.
  Choose("input", 1);
  EXPECT_EQ(Updates().size(), 0u);
  Screenshot("cdlg_sdrplay_rspduo_dual.png");
  // Back to single: stored 0.
  Choose("duo", 0);
  EXPECT_EQ(Settings().GetProfileInt("CDlgSdrPlay", "m_DuoMasterMode", 1), 0);
  EXPECT_FALSE(set_->SdrPlay().IsDual());
}

TEST_F(SdrPlayWindowTest, RateDecimationLnaAndGainModeWithTheirRefusals) {
  Make(kRsp2);
  bool changed = false;
  QObject::connect(window_.get(), &CDlgSdrPlay::SettingsChanged, [&] { changed = true; });
  EXPECT_EQ(Child<QComboBox>("rate")->currentText().toStdString(), "2.000 МГц");
  Choose("rate", 2);  // 4 MHz
  EXPECT_TRUE(changed);
  EXPECT_EQ(set_->SdrPlay().OutputRate(), 4e6);
  EXPECT_EQ(host_.rates.back(), 4e6);
  EXPECT_EQ(Status().rfind("Установка частоты дискретизации АЦП в 4.000 МГц", 0), 0u) << Status();
  EXPECT_EQ(Child<QComboBox>("rate")->currentText().toStdString(), "4.000 МГц");
  // Typed: a number in MHz is taken; anything that is not a positive number is refused.
  Type("rate", "3,5");
  EXPECT_EQ(set_->SdrPlay().OutputRate(), 3.5e6);
  Updates();
  for (const char* bad : {"abc", "-2", "0", ""}) {
    Type("rate", bad);
    EXPECT_EQ(Status(), std::string("Не принято \"") + bad + "\": нужно положительное число");
    EXPECT_EQ(Colour(), 1);
  }
  Type("bandwidth", "ноль");
  EXPECT_EQ(Colour(), 1);
  EXPECT_EQ(Updates().size(), 0u) << "nothing reached the library";
  EXPECT_EQ(set_->SdrPlay().OutputRate(), 3.5e6);
  EXPECT_EQ(Child<QComboBox>("rate")->currentText().toStdString(), "3.500 МГц");
  // A rate the library refuses leaves the rate as it was.
  Type("rate", "12");
  EXPECT_EQ(Colour(), 1);
  EXPECT_NE(Status().find("err = 3"), std::string::npos) << Status();
  EXPECT_EQ(set_->SdrPlay().OutputRate(), 3.5e6);
  Updates();
  Type("bandwidth", "600");
  EXPECT_EQ(Updates(), std::vector<std::string>{"update tuner=1 reason=0x40000 ext=0x0"});
  EXPECT_EQ(Child<QComboBox>("bandwidth")->currentText().toStdString(), "600 КГц");
  Choose("lo", 2);
  EXPECT_EQ(Child<QComboBox>("lo")->currentText().toStdString(), "LO_144MHz");
  Choose("ifType", 0);
  EXPECT_EQ(Status().rfind("Режим нулевой ПЧ", 0), 0u) << Status();

  // Decimation 4 with its remark, then 1 with none.
  Child<QCheckBox>("wideBandSignal")->click();
  EXPECT_EQ(Status().rfind("Установка wideBandSignal=1", 0), 0u) << Status();
  Choose("decim", 2);
  EXPECT_EQ(set_->SdrPlay().OutputRate(), 3.5e6 / 4);
  EXPECT_NE(Status().find("в 4 раз"), std::string::npos);
  EXPECT_NE(Status().find("wideBandSignal включен"), std::string::npos);
  EXPECT_EQ(Settings().GetProfileInt("CDlgSdrPlay", "m_Decim", 0), 4);
  Choose("decim", 0);
  EXPECT_EQ(Status(), "Децимация выключена, поток данных и наблюдаемая полоса частот максимальны");
  EXPECT_EQ(Child<QComboBox>("decim")->currentText().toStdString(), "1 (нет)");

  // LNA: at 50 MHz an RSP2 has 5 states: 8 is applied as 4, on the notice colour.
  ASSERT_TRUE(set_->Tune(50e6, nullptr, 0));
  window_->ShowTuned(set_->TuneReport(), true);
  EXPECT_EQ(Status(), "Настройка на 50.000 МГц");
  EXPECT_EQ(Child<QSlider>("lna")->maximum(), 8);
  Child<QSlider>("lna")->setValue(8);
  EXPECT_NE(Status().find("Сейчас 4 вместо 8"), std::string::npos) << Status();
  EXPECT_EQ(Colour(), 2);
  EXPECT_EQ(Child<QLabel>("lnaLabel")->text().toStdString(), "LNA=4");
  EXPECT_EQ(Settings().GetProfileInt("CDlgSdrPlay", "m_Lna", 0), 8);
  ASSERT_TRUE(set_->Tune(51e6, nullptr, 0));
  window_->ShowTuned(set_->TuneReport(), true);
  EXPECT_EQ(Status(), "Настройка на 51.000 МГц LNA урезан с 8 до 4");
  Child<QSlider>("lna")->setValue(2);
  EXPECT_EQ(Colour(), 0);
  // Manual gain reduction.
  Child<QSlider>("ga")->setValue(40);
  EXPECT_EQ(Child<QLabel>("gaLabel")->text().toStdString(), "GA=40 дБ");
  EXPECT_EQ(set_->SdrPlay().CurGrDb(), 40);
  EXPECT_EQ(Status(), "Ослабление сигнала 40 дБ. Устанавливайте так, чтобы избежать перегрузки!");

  // Gain mode 2 with a table that does not load: nothing stored, manual mode shown.
  CDlgSdrPlayTestAccess::SetPicker(*window_, QString::fromStdString(empty_.File("missing.kant")));
  Choose("gainMode", 2);
  EXPECT_EQ(Status().rfind("АРУ load err: ", 0), 0u) << Status();
  EXPECT_NE(Status().find("missing.kant"), std::string::npos);
  EXPECT_EQ(Colour(), 1);
  EXPECT_EQ(Child<QComboBox>("gainMode")->currentIndex(), 0);
  EXPECT_EQ(Settings().GetProfileInt("CDlgSdrPlay", "m_IsAutoGA", 9), 0);
  EXPECT_EQ(Child<QSlider>("ga")->maximum(), 59);
  // Mode 1: the slider is the target, 99 − position.
  Choose("gainMode", 1);
  EXPECT_EQ(Settings().GetProfileInt("CDlgSdrPlay", "m_IsAutoGA", 9), 1);
  EXPECT_EQ(Child<QSlider>("ga")->maximum(), 99);
  Child<QSlider>("ga")->setValue(99 - 30);
  EXPECT_EQ(Status(), "Автовыбор ослабления ради общ. усиления sdr=30 дБ");
  EXPECT_EQ(Child<QLabel>("total")->text().toStdString().rfind("Итог: ", 0), 0u);
  EXPECT_NE(Child<QLabel>("total")->text().toStdString().find(" дБ, цель 30"), std::string::npos);
  // The USB mode is not changed.
  Choose("usb", 1);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].toStdString(), "смена не поддерживается этой программой");
  EXPECT_EQ(Child<QComboBox>("usb")->currentIndex(), 0);
}

TEST_F(SdrPlayWindowTest, WithoutADeviceTheTextsSayWhyAndNothingIsCalled) {
  // Loaded but never listed: the notice with the version the API never gave.
  set_ = std::make_unique<ReceiverSet>(rings_, host_);
  ASSERT_TRUE(set_->SdrPlay().LoadApi(test::SimFeed::SdrPlayPath()));
  window_ = std::make_unique<CDlgSdrPlay>(*set_);
  window_->show();
  EXPECT_EQ(Status(),
            "Не найдены приёмники SdrPlay!\nДля обновления списка доступных приёмников SdrPlay перезапустите "
            "программу. Используется libsdrplay_api.so.3 версии -123456.00, проверьте актуальность.\nТакже Вы "
            "можете использовать sdr-приёмники через плагины ExtIO*.so");
  EXPECT_EQ(Colour(), 2);
  // Listed, none there: the library's version.
  script_("devices", 0);
  Make(-1);
  EXPECT_NE(Status().find("версии 3.15,"), std::string::npos) << Status();
  // Listing failed: the error.
  script_("devices", 7);
  script_("fail:GetDevices", 1);
  Make(-1);
  EXPECT_EQ(Status().rfind("Не найдены приёмники SdrPlay! sdrplay_api_GetDevices err = 1", 0), 0u) << Status();
  EXPECT_EQ(Colour(), 1);
  script_("fail:GetDevices", 0);
  // No library: its error.
  Settings().WriteProfileString("OSdrPlayUse", "m_PathApiDll", empty_.Path());
  Make(-1);
  EXPECT_EQ(Status().rfind("Не удалось загрузить", 0), 0u) << Status();
  EXPECT_EQ(Colour(), 1);

  // Listed but none selected: the switches and the gain say so and call nothing.
  Settings().WriteProfileString("OSdrPlayUse", "m_PathApiDll", test::SimFeed::LibraryFolder());
  Make(-1);
  Updates();
  Child<QCheckBox>("NotchEnable")->click();
  EXPECT_EQ(Status(), "Настройка RspDuo OSdrPlayUse: не выбрано устройство SdrPlay, менять нечего");
  EXPECT_EQ(Colour(), 1);
  Child<QSlider>("ga")->setValue(30);
  EXPECT_NE(Status().find("не выбрано устройство SdrPlay"), std::string::npos) << Status();
  EXPECT_EQ(Settings().GetProfileInt("CDlgSdrPlay", "m_Ga", 0), 30) << "kept for the next open";
  Choose("input", 1);
  EXPECT_EQ(Status(), "Вроде переключение антенн тут не поддерживается");
  EXPECT_FALSE(Child<QComboBox>("rate")->isEnabled());
  EXPECT_EQ(Updates().size(), 0u);
  EXPECT_FALSE(set_->Tune(100e6, nullptr, 0));

  // Closing hides and tells the main window; F1 opens the window's help page.
  bool closed = false;
  QObject::connect(window_.get(), &CDlgSdrPlay::Closed, [&] { closed = true; });
  Settings().WriteProfileString("Help", "m_HelpBase", "https://help.example");
  std::vector<QString> urls;
  CDlgSdrPlayTestAccess::SetBrowser(*window_, &urls);
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QCoreApplication::sendEvent(window_.get(), &f1);
  ASSERT_EQ(urls.size(), 1u);
  EXPECT_NE(urls[0].indexOf("CDlgSdrPlay"), -1) << urls[0].toStdString();
  window_->close();
  EXPECT_TRUE(closed);
  EXPECT_FALSE(window_->isVisible());
}

TEST(SdrPlayWindowNumbers, TypedValuesArePositiveNumbersOnly) {
  EXPECT_EQ(CDlgSdrPlay::PositiveNumber("600 КГц"), 600.0);
  EXPECT_EQ(CDlgSdrPlay::PositiveNumber(" 2,5"), 2.5);
  EXPECT_EQ(CDlgSdrPlay::PositiveNumber("8"), 8.0);
  for (const char* bad : {"", "abc", "-1", "0", "0.0", "..", "+5", "nan", "inf"}) {
    EXPECT_FALSE(CDlgSdrPlay::PositiveNumber(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace kavu
