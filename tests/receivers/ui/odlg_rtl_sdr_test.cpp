// The RTL-SDR settings window on the simulated library: what it shows for an open dongle, what
// each control does to the library and the stored settings, the refusals while no dongle is open,
// the calibration choice, the buffer restart, closing, help and the re-open request.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTextEdit>
#include <chrono>
#include <cstring>
#include <thread>

#include "receivers/receiver_set.h"
#include "receivers/sim_feed.h"
#include "receivers/ui/odlg_rtl_sdr.h"
#include "results/ui/help_key.h"
#include "results/ant_izm_file.h"
#include "shell/settings_store.h"
#include "shell/ui/qt_test_app.h"
#include "support/temp_dir.h"

namespace kavu {

// Replaces the window's modal chooser and browser.
class ODlgRtlSdrTestAccess {
 public:
  static void SetPicker(ODlgRtlSdr& w, QString file) {
    w.pick_calibration_file_ = [file](const QString&) { return file; };
  }
  static void SetBrowser(ODlgRtlSdr& w, std::vector<QString>* urls) {
    HelpKey::Of(w)->open_link = [urls](const QString& url) {
      urls->push_back(url);
      return true;
    };
  }
};

namespace {

constexpr const char* kNotOpen = "устройство rtlsdr не открыто";

struct RtlWindowHost : IReceiverSetHost {
  double ReceiverFrequency() override { return 145e6; }
};

class RtlWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtTestApp();
    Settings().WriteProfileString("ODlgRtlSdr", "m_PathApiDllRtl", test::SimFeed::LibraryFolder());
    for (const char* s : {"OSdrPlayUse", "OHackRfUse"}) {
      Settings().WriteProfileString(s, "m_PathApiDll", empty_.Path());
    }
    Settings().WriteProfileString("OExtIOUse", "m_PathExtIO", empty_.Path());
  }
  // Discovers the receivers and, with `open`, opens the simulated dongle (list entry 1).
  void Make(bool open) {
    set_ = std::make_unique<ReceiverSet>(rings_, host_);
    set_->LoadSettings();
    set_->Discover();
    if (open) {
      ASSERT_TRUE(set_->SelectReceiver(1)) << set_->Status().text;
    }
    window_ = std::make_unique<ODlgRtlSdr>(*set_);
    window_->Refresh();
    QObject::connect(window_.get(), &ODlgRtlSdr::SettingsChanged,
                     [this](double r) { changed_.push_back(r); });
  }
  template <class T>
  T* Find(const char* name) {
    T* w = window_->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  std::string Status() { return Find<QTextEdit>("status")->toPlainText().toStdString(); }
  int StatusColour() { return Find<QTextEdit>("status")->property("colour").toInt(); }
  void Choose(const char* combo, int index) { emit Find<QComboBox>(combo)->activated(index); }
  void WaitForStatus(int status) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (set_->Rtl().Status() != status && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_EQ(set_->Rtl().Status(), status);
  }
  size_t LogCount(const std::string& prefix) {
    size_t n = 0;
    for (const std::string& l : feed_.LogLines()) n += l.rfind(prefix, 0) == 0;
    return n;
  }

  test::ScopedSettings settings_;
  test::TempDir empty_;
  test::SimFeed feed_{1.0};
  SampleRings rings_{1 << 16};
  RtlWindowHost host_;
  std::unique_ptr<ReceiverSet> set_;
  std::unique_ptr<ODlgRtlSdr> window_;
  std::vector<double> changed_;
};

TEST_F(RtlWindowTest, ControlsShowTheOpenDongle) {
  Settings().WriteProfileInt("ODlgRtlSdr", "m_RtlGa", 200);
  Settings().WriteProfileInt("ODlgRtlSdr", "m_RtlDirectMode", 2);
  Settings().WriteProfileInt("ODlgRtlSdr", "m_RtlBufSzStep", 15);
  Make(true);
  EXPECT_EQ(window_->windowTitle().toStdString(),
            "Настройка Rtl-Sdr №1 из 1: Virtual bench, 00000001, Kavu");
  // The simulated tuner lists 29 gains; 20 dB is nearest to 19.7 dB, the 12th.
  EXPECT_EQ(Find<QSlider>("gain")->maximum(), 28);
  EXPECT_EQ(Find<QSlider>("gain")->value(), 11);
  EXPECT_EQ(Find<QLabel>("gainLabel")->text().toStdString(), "19.7 дБ");
  EXPECT_EQ(Find<QComboBox>("rate")->currentText().toStdString(), "2.400");
  EXPECT_EQ(Find<QComboBox>("rate")->count(), 7);
  EXPECT_EQ(Find<QComboBox>("direct")->currentIndex(), 2);
  EXPECT_EQ(Find<QComboBox>("direct")->itemText(4).toStdString(), "Q при f<25.0 МГц");
  EXPECT_EQ(Find<QComboBox>("buffer")->currentText().toStdString(), "32 кб");
  EXPECT_FALSE(Find<QCheckBox>("calibration")->isChecked());
  EXPECT_TRUE(Find<QPushButton>("reopen")->isHidden());  // streaming

  window_->ShowTuned(14.2, true);
  EXPECT_EQ(Status(), "Настройка на 14.200 МГц с конвертором");
}

TEST_F(RtlWindowTest, ARateChoiceReachesTheLibraryAndIsAnnounced) {
  Make(true);
  Choose("rate", 3);  // 1.2 МГц
  ASSERT_EQ(changed_.size(), 1u);
  EXPECT_EQ(changed_[0], 1'200'000.0);
  EXPECT_NEAR(feed_.Rate(), 1'200'000.0, 1.0);
  EXPECT_EQ(LogCount("rate "), 2u);  // the open's 2.4 MHz, then this
  EXPECT_EQ(Status(), "Частота дискретизации АЦП изменена (влияет на поток данных)");
  EXPECT_EQ(set_->ActiveSampleRate(), 1'200'000.0);

  // A typed rate in MHz, with a comma.
  Find<QComboBox>("rate")->setEditText("2,048");
  emit Find<QComboBox>("rate")->lineEdit()->returnPressed();
  ASSERT_EQ(changed_.size(), 2u);
  EXPECT_EQ(changed_[1], 2'048'000.0);
  EXPECT_NEAR(feed_.Rate(), 2'048'000.0, 1.0);

  // A typed rate the dongle cannot give, and one that is no number: refused, nothing sent.
  const int configures = feed_.Configures();
  for (const char* bad : {"5", "быстро", "0.5"}) {
    Find<QComboBox>("rate")->setEditText(bad);
    emit Find<QComboBox>("rate")->lineEdit()->returnPressed();
    EXPECT_NE(Status().find("не подходит"), std::string::npos) << bad;
    EXPECT_EQ(StatusColour(), 1) << bad;
  }
  EXPECT_EQ(feed_.Configures(), configures);
  EXPECT_EQ(changed_.size(), 2u);
  EXPECT_EQ(set_->ActiveSampleRate(), 2'048'000.0);
}

TEST_F(RtlWindowTest, WithoutAnOpenDongleEveryControlRefusesAndCallsNothing) {
  Make(false);
  ASSERT_EQ(set_->Rtl().Status(), 0);
  EXPECT_NE(Status().find("Не удалось открыть приёмник Rtl-Sdr!"), std::string::npos);
  EXPECT_FALSE(Find<QPushButton>("reopen")->isHidden());
  const size_t lines = feed_.LogLines().size();
  const int configures = feed_.Configures();

  Choose("rate", 0);
  EXPECT_EQ(Status(), kNotOpen);
  EXPECT_EQ(StatusColour(), 1);
  EXPECT_TRUE(changed_.empty());

  Choose("direct", 1);
  EXPECT_EQ(Status(), std::string("Не удалось установить требуемый Direct Mode ERR ") + kNotOpen);
  EXPECT_EQ(Settings().GetProfileInt("ODlgRtlSdr", "m_RtlDirectMode", -1), 1);

  Find<QSlider>("gain")->setValue(5);
  EXPECT_NE(Status().find(std::string(" ERR ") + kNotOpen), std::string::npos) << Status();
  EXPECT_EQ(Status().rfind("Усиление сигнала", 0), 0u);
  // Nothing listed while closed: the slider covers 0 … 128 and position p means 10·p.
  EXPECT_EQ(Find<QSlider>("gain")->maximum(), 128);
  EXPECT_EQ(Settings().GetProfileInt("ODlgRtlSdr", "m_RtlGa", -1), 50);

  Choose("buffer", 2);
  EXPECT_NE(Status().find(std::string(" ERR ") + kNotOpen), std::string::npos);
  EXPECT_EQ(Settings().GetProfileInt("ODlgRtlSdr", "m_RtlBufSzStep", -1), 15);

  EXPECT_EQ(feed_.LogLines().size(), lines);
  EXPECT_EQ(feed_.Configures(), configures);
  EXPECT_EQ(set_->Rtl().Status(), 0);
}

TEST_F(RtlWindowTest, TheGainSliderSetsTheTunerGain) {
  Make(true);
  Find<QSlider>("gain")->setValue(20);
  EXPECT_EQ(feed_.Gain(), 372);  // the 21st entry of the list
  EXPECT_EQ(set_->Rtl().CurGA(), 372);
  EXPECT_EQ(Settings().GetProfileInt("ODlgRtlSdr", "m_RtlGa", -1), 372);
  EXPECT_EQ(Find<QLabel>("gainLabel")->text().toStdString(), "37.2 дБ");
  EXPECT_EQ(Status(), "Усиление сигнала 37.2 дБ. Устанавливайте так, чтобы избежать перегрузки!");
  EXPECT_EQ(StatusColour(), 0);
  Find<QSlider>("gain")->setValue(0);
  EXPECT_EQ(feed_.Gain(), 0);
}

TEST_F(RtlWindowTest, DirectModeSwitchesTheInputOnceAndExplains) {
  Make(true);
  Choose("direct", 2);  // Q input at any frequency
  EXPECT_EQ(feed_.Direct(), 2);
  EXPECT_EQ(Status().rfind("Direct Mode с использованием входа Q", 0), 0u);
  const int configures = feed_.Configures();
  Choose("direct", 2);  // the same mode again: no library call
  EXPECT_EQ(feed_.Configures(), configures);
  Choose("direct", 3);  // I below 25 MHz, tuner above: 145 MHz uses the tuner
  EXPECT_EQ(feed_.Direct(), 0);
  EXPECT_EQ(Settings().GetProfileInt("ODlgRtlSdr", "m_RtlDirectMode", -1), 3);
}

TEST_F(RtlWindowTest, GainCalibrationFollowsThePickedTable) {
  Make(true);
  auto* box = Find<QCheckBox>("calibration");
  // A file that cannot be read: calibration stays off and the table's message is shown.
  ODlgRtlSdrTestAccess::SetPicker(*window_, QString::fromStdString(empty_.File("missing.kant")));
  box->click();
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(Status().rfind("не удалось открыть файл на диске с измерениями ERR ", 0), 0u);
  EXPECT_EQ(StatusColour(), 1);
  EXPECT_EQ(Settings().GetProfileInt("ODlgRtlSdr", "m_RtlIsGCal", -1), 0);

  // Cancelling the chooser turns it off too.
  ODlgRtlSdrTestAccess::SetPicker(*window_, QString());
  box->click();
  EXPECT_FALSE(box->isChecked());

  // |O| − gain is −30 dB at 145 MHz in this table: the target 0 dB needs 30 dB, list 29.7 dB.
  std::vector<AntIzm> points(21);
  for (int i = 0; i < 21; ++i) {
    std::memset(&points[i], 0, sizeof(AntIzm));
    points[i].freqHz = 135e6 + i * 1e6;
    points[i].gain = 20.0;
    points[i].oAll = -10.0;
  }
  const std::string file = empty_.File("gcal.kant");
  ASSERT_TRUE(WriteScanFile(file, points.data(), 21, std::nullopt));
  ODlgRtlSdrTestAccess::SetPicker(*window_, QString::fromStdString(file));
  box->click();
  EXPECT_TRUE(box->isChecked());
  EXPECT_EQ(Settings().GetProfileInt("ODlgRtlSdr", "m_RtlIsGCal", -1), 1);
  EXPECT_EQ(Settings().GetProfileString("ODlgRtlSdr", "m_RtlGCalName", ""), file);
  EXPECT_EQ(feed_.Gain(), 297);
  EXPECT_EQ(Find<QLabel>("gainLabel")->text().toStdString(), "29.7 дБ, цель 0.0");
  EXPECT_EQ(Status(), "Автовыбор усиления ради |О| = 0.0 дБ, корр. неравномерности АЧХ по " + file);
}

TEST_F(RtlWindowTest, BufferChangesRestartTheStreamEvenRightAfterAStart) {
  Make(true);
  // Each choice stops the stream that the one before has just started.
  for (int round = 0; round < 12; ++round) {
    Choose("buffer", round % 5);
    ASSERT_EQ(set_->Rtl().Status(), 2) << Status();
  }
  EXPECT_EQ(Status().rfind("Смена размера буфера данных.", 0), 0u);
  EXPECT_EQ(Settings().GetProfileInt("ODlgRtlSdr", "m_RtlBufSzStep", -1), 14);  // 11 % 5 = 1
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (LogCount("start 16384") < 1 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // The last stream reads with the last choice, 16 KiB buffers.
  EXPECT_GE(LogCount("start 16384"), 1u);
}

TEST_F(RtlWindowTest, APulledDongleOffersReopening) {
  Make(true);
  feed_.SetFault(kKavuSimUnplugged);
  WaitForStatus(1);
  window_->Refresh();
  EXPECT_EQ(Status(), "Ошибка rtlsdr_read_async rtlsdr_read_async() err=-5");
  EXPECT_EQ(StatusColour(), 1);
  int reopen = 0;
  QObject::connect(window_.get(), &ODlgRtlSdr::ReopenRequested, [&] { ++reopen; });
  auto* button = Find<QPushButton>("reopen");
  ASSERT_FALSE(button->isHidden());
  button->click();
  EXPECT_EQ(reopen, 1);
}

TEST_F(RtlWindowTest, ClosingHidesAndF1OpensTheHelpPage) {
  Make(true);
  int closed = 0;
  QObject::connect(window_.get(), &ODlgRtlSdr::Closed, [&] { ++closed; });
  window_->show();
  window_->close();
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(closed, 1);
  Settings().WriteProfileString("Help", "m_HelpBase", "https://help.example");
  std::vector<QString> urls;
  ODlgRtlSdrTestAccess::SetBrowser(*window_, &urls);
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QApplication::sendEvent(window_.get(), &f1);
  ASSERT_EQ(urls.size(), 1u);
  EXPECT_TRUE(urls[0].contains("ODlgRtlSdr")) << urls[0].toStdString();
}

TEST_F(RtlWindowTest, NoLibraryShowsTheLoadError) {
  Settings().WriteProfileString("ODlgRtlSdr", "m_PathApiDllRtl", empty_.Path());
  Make(false);
  EXPECT_FALSE(set_->Rtl().IsLoaded());
  EXPECT_EQ(Status().rfind("нет файла '", 0), 0u) << Status();
  EXPECT_EQ(StatusColour(), 1);
  EXPECT_TRUE(Find<QPushButton>("reopen")->isHidden());
  Choose("rate", 6);
  EXPECT_EQ(Status(), kNotOpen);
}

}  // namespace
}  // namespace kavu
