// The HackRF settings window offscreen on the simulated library: what it shows for an open
// board, what each control does to the board and the stored settings, the refusals while no
// board is open, the calibration choice (cancelled, failing, working), the tuning report,
// closing and help.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>
#include <QTextEdit>
#include <cmath>
#include <cstdlib>

#include "receivers/receiver_set.h"
#include "receivers/sim_feed.h"
#include "receivers/ui/cdlg_hackrf.h"
#include "results/ui/help_key.h"
#include "shell/settings_store.h"
#include "shell/ui/qt_test_app.h"
#include "support/calibration_scan.h"
#include "support/temp_dir.h"

namespace kavu {

class CDlgHackRFTestAccess {
 public:
  static void SetPicker(CDlgHackRF& w, QString file) {
    w.pick_calibration_file_ = [file](const QString&) { return file; };
  }
  static void SetBrowser(CDlgHackRF& w, std::vector<QString>* urls) {
    HelpKey::Of(w)->open_link = [urls](const QString& url) {
      urls->push_back(url);
      return true;
    };
  }
};

namespace {

struct Host : IReceiverSetHost {
  std::vector<double> rates;
  void SampleRateChanged(double r) override { rates.push_back(r); }
  double ReceiverFrequency() override { return 145e6; }
};

class HackRfWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtTestApp();
    Settings().WriteProfileString("ODlgRtlSdr", "m_PathApiDllRtl", empty_.Path());
    Settings().WriteProfileString("OHackRfUse", "m_PathApiDll", test::SimFeed::LibraryFolder());
    Settings().WriteProfileString("OSdrPlayUse", "m_PathApiDll", empty_.Path());
    Settings().WriteProfileString("OExtIOUse", "m_PathExtIO", empty_.Path());
  }
  // Discovers the receivers and, with `open`, opens the first simulated board (entry 2).
  void Make(bool open) {
    set_ = std::make_unique<ReceiverSet>(rings_, host_);
    set_->LoadSettings();
    set_->Discover();
    if (open) {
      ASSERT_TRUE(set_->SelectReceiver(2)) << set_->Status().text;
    }
    window_ = std::make_unique<CDlgHackRF>(*set_);
  }
  template <class T>
  T* Find(const char* name) {
    T* w = window_->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  std::string Status() { return Find<QTextEdit>("status")->toPlainText().toStdString(); }
  int Colour() { return Find<QTextEdit>("status")->property("colour").toInt(); }

  test::ScopedSettings settings_;
  test::TempDir empty_;
  test::SimFeed feed_{1.0, test::SimFeed::HackRfPath(), "kavu_simhackrf_attach"};
  SampleRings rings_{1 << 20};
  Host host_;
  std::unique_ptr<ReceiverSet> set_;
  std::unique_ptr<CDlgHackRF> window_;
};

TEST_F(HackRfWindowTest, ShowsTheOpenBoardAndEveryControlReachesIt) {
  Make(true);
  window_->show();
  const std::string serial = "00000000000000004b41565542454e31";
  EXPECT_EQ(window_->windowTitle().toStdString(), "Настройка HackRF №1 из 2: " + serial);
  EXPECT_EQ(Status().rfind("ОТКРЫТ HackRf №1 из 2: ", 0), 0u) << Status();
  auto* rate = Find<QComboBox>("rate");
  ASSERT_EQ(rate->count(), 7);
  EXPECT_EQ(rate->itemText(0).toStdString(), "2 МГц");
  EXPECT_EQ(rate->itemText(4).toStdString(), "12.5 МГц");
  EXPECT_EQ(rate->currentIndex(), 3);
  EXPECT_EQ(Find<QLabel>("buffers")->text().toStdString(), "Буфера: 262144 / 1");
  EXPECT_EQ(Find<QLabel>("vgaLabel")->text().toStdString(), "VGa 0 дБ");
  // The rate: stored, set on the board, re-planned, status.
  bool changed = false;
  QObject::connect(window_.get(), &CDlgHackRF::SettingsChanged, [&](double r) { changed = r == 20e6; });
  rate->setCurrentIndex(6);
  emit rate->activated(6);
  EXPECT_TRUE(changed);
  EXPECT_EQ(feed_.Rate(), 20'000'000u);
  EXPECT_EQ(host_.rates.back(), 20e6);
  EXPECT_EQ(Settings().GetProfileInt("OHackRfUse", "m_SampleRateVar", 0), 6);
  EXPECT_EQ(Status(), "Установка частоты дискретизации 20 МГц. Чем больше, тем быстрее сканирование и выше "
                      "нагрузка на usb и комп ");
  // LNA 3 × 8, VGA 10 × 2, the amplifier and the clock output.
  Find<QSlider>("lna")->setValue(3);
  EXPECT_EQ(Find<QLabel>("lnaLabel")->text().toStdString(), "Lna 24 дБ");
  EXPECT_EQ(Status(), "Усиление LNA 24 дБ. Устанавливайте так, чтобы избежать перегрузки!");
  EXPECT_EQ(Settings().GetProfileInt("OHackRfUse", "m_Lna", 0), 24);
  Find<QSlider>("vga")->setValue(10);
  EXPECT_EQ(Find<QLabel>("vgaLabel")->text().toStdString(), "VGa 20 дБ");
  EXPECT_EQ(Status(), "Усиление VGa 20 дБ. Устанавливайте так, чтобы избежать перегрузки!");
  EXPECT_EQ(set_->HackRf().CurVga(), 20);
  Find<QCheckBox>("amp")->click();
  EXPECT_EQ(Status(), "Усилитель AMP = 1");
  EXPECT_EQ(feed_.Gain(), 10 * (24 + 20 + 10));
  Find<QCheckBox>("clkOut")->click();
  EXPECT_EQ(Status(), "ClkOut = 1");
  EXPECT_EQ(Settings().GetProfileInt("OHackRfUse", "m_IsClkOutEn", 0), 1);
  // The main window's tuning report; an error shows in the error colour.
  ASSERT_TRUE(set_->Tune(150e6, nullptr, 0));
  window_->ShowTuned(set_->TuneReport());
  EXPECT_EQ(Status(), "Настр. 150.000 МГц");
  EXPECT_EQ(Colour(), 0);
  EXPECT_FALSE(set_->Tune(std::nan(""), nullptr, 0));
  window_->ShowTuned(set_->TuneReport());
  EXPECT_NE(Status().find(" ERR OHackRfUse::SetFreq() - недопустимая частота"), std::string::npos) << Status();
  EXPECT_EQ(Colour(), 1);
  // KAVU_SCREENSHOT_DIR=DIR: the window as drawn, for a look.
  if (const char* dir = std::getenv("KAVU_SCREENSHOT_DIR"); dir && *dir) {
    EXPECT_TRUE(set_->Tune(145e6, nullptr, 0));
    window_->ShowTuned(set_->TuneReport());
    EXPECT_TRUE(window_->grab().save(QString::fromUtf8(dir) + "/cdlg_hackrf.png"));
  }
}

TEST_F(HackRfWindowTest, CalibrationCancelledFailingAndWorking) {
  Make(true);
  window_->show();
  auto* box = Find<QCheckBox>("calibration");
  auto* vga = Find<QSlider>("vga");
  CDlgHackRFTestAccess::SetPicker(*window_, "");
  box->click();
  EXPECT_FALSE(box->isChecked()) << "cancelling the chooser turns it off";
  EXPECT_EQ(vga->maximum(), 31);
  CDlgHackRFTestAccess::SetPicker(*window_, QString::fromStdString(empty_.File("missing.kant")));
  box->click();
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(Colour(), 1);
  EXPECT_NE(Status().find(" ERR "), std::string::npos) << Status();
  test::TempDir dir;
  const std::string table = dir.File("cal.kant");
  ASSERT_TRUE(test::WriteCalibrationScan(table, test::ConstantScan(11, 100e6, 10e6, {0, 0, 0, -2, -23, 10})));
  CDlgHackRFTestAccess::SetPicker(*window_, QString::fromStdString(table));
  box->click();
  EXPECT_TRUE(box->isChecked());
  EXPECT_EQ(box->text().toStdString(), "Корр АЧХ по cal.kant");
  EXPECT_EQ(vga->maximum(), 90);
  EXPECT_EQ(Settings().GetProfileInt("CDlgHackRF", "m_GCalHackRFVar", 0), 1);
  vga->setValue(30);  // target 30, LNA 0, no amplifier, worst −10: VGA 40
  EXPECT_EQ(Find<QLabel>("vgaLabel")->text().toStdString(), "Цель |O| = 30 дБ");
  EXPECT_EQ(Status(), "Цель АРУ |О|=30 дБ, установлено VGa=40 дБ для F=145.000 МГц");
  EXPECT_EQ(set_->HackRf().CurVga(), 40);
  EXPECT_EQ(Settings().GetProfileInt("CDlgHackRF", "m_GCalHackRFValue", 0), 30);
  ASSERT_TRUE(set_->Tune(150e6, nullptr, 0));
  EXPECT_EQ(set_->TuneReport(), "Настр. 150.000 МГц, АРУ -10.0 -> 30 уст. VGa=40");
}

TEST_F(HackRfWindowTest, WithoutAnOpenBoardControlsSayWhyAndCloseAndHelpWork) {
  Make(false);
  window_->show();
  EXPECT_EQ(window_->windowTitle().toStdString(), "Настройка HackRF");
  EXPECT_EQ(Status(), "Не удалось открыть приёмник HackRF! ");
  EXPECT_EQ(Colour(), 1);
  EXPECT_EQ(Find<QLabel>("buffers")->text().toStdString(), "Буфера: ");
  EXPECT_FALSE(Find<QLabel>("buffers")->isEnabled());
  Find<QCheckBox>("amp")->click();
  EXPECT_EQ(Status(), "Усилитель AMP = 1 ERR OHackRfUse::SetAmpEn() - не открыто устр-во");
  EXPECT_EQ(Colour(), 1);
  EXPECT_EQ(Settings().GetProfileInt("OHackRfUse", "m_IsAmp", 0), 1) << "the setting is kept for the next open";
  Find<QSlider>("vga")->setValue(5);
  EXPECT_EQ(Status(), "Усиление VGa 10 дБ. Устанавливайте так, чтобы избежать перегрузки! ERR "
                      "OHackRfUse::SetVgaGainProc() - не открыто устр-во");
  // No board listed: the notice.
  Settings().WriteProfileString("OHackRfUse", "m_PathApiDll", empty_.Path());
  Make(false);
  window_->show();
  EXPECT_NE(Status().find("нет файла"), std::string::npos) << Status();
  // Closing hides and tells the main window; F1 opens the window's help page.
  bool closed = false;
  QObject::connect(window_.get(), &CDlgHackRF::Closed, [&] { closed = true; });
  Settings().WriteProfileString("Help", "m_HelpBase", "https://help.example");
  std::vector<QString> urls;
  CDlgHackRFTestAccess::SetBrowser(*window_, &urls);
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QCoreApplication::sendEvent(window_.get(), &f1);
  ASSERT_EQ(urls.size(), 1u);
  EXPECT_NE(urls[0].indexOf("CDlgHackRF"), -1) << urls[0].toStdString();
  window_->close();
  EXPECT_TRUE(closed);
  EXPECT_FALSE(window_->isVisible());
}

}  // namespace
}  // namespace kavu
