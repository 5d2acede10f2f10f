// The main window on the virtual bench: scans started, paused and repeated from its buttons,
// manual tuning, the bridge switch, the error box, Enter and Escape.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QApplication>
#include <QPointer>
#include <QTextBrowser>
#include <QTimer>

#include "scan/ui/cdlg_bpf_show.h"
#include "scan/ui/cdlg_options.h"
#include "scan/ui/cdlg_one_signal.h"
#include "scan/ui/main_window_fixture.h"
#include "scan/ui/spektr_texts.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"
#include "sim/board_peripherals.h"
#include "sim/emulated_board.h"

namespace kavu::test {
namespace {

using std::chrono::seconds;

constexpr const char* kOneGroup = "144-145 0.5";      // 3 points, one group
constexpr const char* kThreeGroups = "140-146 0.25";  // 25 points, three groups

void RangeText(const char* text) {
  Settings().WriteProfileString("ODlgSpektr", "m_ScanDia", text);
}

// The generator frequency the bench's Si5351 puts out on any running output nearest `hz`.
double NearestOutput(sim::VirtualBench& bench, double hz) {
  double best = -1;
  for (int k = 0; k < 3; ++k) {
    const sim::Si5351Output o = bench.Peripherals().Si5351Out(k);
    if (o.on && (best < 0 || std::abs(o.hz - hz) < std::abs(best - hz))) best = o.hz;
  }
  return best;
}

TEST_F(MainWindowBench, ScanButtonMeasuresSavesAndShowsTheResults) {
  ASSERT_TRUE(Start([] { RangeText(kOneGroup); }));
  int bells = 0;
  window_->bell = [&bells] { ++bells; };
  EXPECT_EQ(Find<QLineEdit>("range")->text().toStdString(), kOneGroup);
  EXPECT_FALSE(window_->Results().isVisible());
  Click(Find<QPushButton>("scan"));
  EXPECT_TRUE(window_->Station().Engine().Busy());
  EXPECT_TRUE(Find<QPushButton>("pause")->isEnabled());
  EXPECT_FALSE(Find<QPushButton>("scan")->isEnabled());
  ASSERT_TRUE(WaitIdle());
  const AntIzms& set = window_->Station().Store().Set(0);
  ASSERT_EQ(set.Count(), 3);
  EXPECT_EQ(set.At(0).freqHz, 144e6);
  EXPECT_EQ(set.At(2).freqHz, 145e6);
  EXPECT_TRUE(notice_.Texts().empty()) << notice_.Texts().front();
  EXPECT_FALSE(SavedFiles().empty());
  EXPECT_TRUE(window_->Results().isVisible()) << "the results window opens at the end of a scan";
  EXPECT_EQ(bells, 1) << "a saved scan's end is marked by the bell";
  EXPECT_TRUE(Find<QPushButton>("scan")->isEnabled());
  EXPECT_FALSE(Find<QPushButton>("pause")->isEnabled());
  EXPECT_NE(window_->windowTitle().toStdString().find("Fsdr = "), std::string::npos)
      << window_->windowTitle().toStdString();
  // A new scan closes the results window while it runs (no cyclic scanning) and opens it again.
  Click(Find<QPushButton>("scan"));
  EXPECT_FALSE(window_->Results().isVisible());
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(window_->Results().isVisible());
  EXPECT_EQ(window_->Station().Store().Set(1).Count(), 3) << "the first scan became the previous one";
  EXPECT_EQ(bells, 2);
}

TEST_F(MainWindowBench, ShiftClickMeasuresOneGroupAndSavesNothing) {
  ASSERT_TRUE(Start([] { RangeText(kThreeGroups); }));
  int bells = 0;
  window_->bell = [&bells] { ++bells; };
  Click(Find<QPushButton>("scan"), Qt::ShiftModifier);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(bells, 0) << "nothing saved, no bell";
  EXPECT_EQ(window_->Station().Engine().Stats().groups, 1);
  const int32_t n = window_->Station().Store().Set(0).Count();
  EXPECT_GT(n, 0);
  EXPECT_LT(n, 25);
  EXPECT_TRUE(SavedFiles().empty());
  EXPECT_FALSE(window_->Results().isVisible());
  // The measured signal is shown; while its view is open every scan is a single measurement,
  // so it is closed before the next one.
  QPointer<CDlgOneSignal> view = window_->findChild<CDlgOneSignal*>();
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isVisible());
  view->close();
  EXPECT_TRUE(RunUntil([&] { return view.isNull(); }, seconds(2)));
  // The next plain click scans all three groups again.
  Click(Find<QPushButton>("scan"));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(window_->Station().Store().Set(0).Count(), 25);
}

TEST_F(MainWindowBench, PauseTakesEffectBetweenGroupsAndContinueFinishesTheScan) {
  ASSERT_TRUE(Start([] { RangeText(kThreeGroups); }));
  ScanEngine& engine = window_->Station().Engine();
  QPushButton* pause = Find<QPushButton>("pause");
  Click(Find<QPushButton>("scan"));
  ASSERT_TRUE(RunUntil([&] { return window_->Station().Store().Set(0).Count() > 0; }, seconds(20)));
  Click(pause);
  ASSERT_TRUE(RunUntil([&] { return engine.State() != ScanState::kScanning; }, seconds(20)));
  ASSERT_EQ(engine.State(), ScanState::kPaused);
  EXPECT_EQ(pause->text().toStdString(), "Продолжить");
  const int32_t at_pause = window_->Station().Store().Set(0).Count();
  EXPECT_LT(at_pause, 25);
  Spin(400);
  EXPECT_EQ(window_->Station().Store().Set(0).Count(), at_pause) << "nothing is measured while paused";
  Click(pause);
  EXPECT_EQ(pause->text().toStdString(), "Пауза");
  ASSERT_TRUE(WaitIdle());
  const AntIzms& set = window_->Station().Store().Set(0);
  ASSERT_EQ(set.Count(), 25);
  for (int32_t i = 0; i < 25; ++i) EXPECT_NEAR(set.At(i).freqHz, 140e6 + 0.25e6 * i, 1.0) << i;
  EXPECT_TRUE(notice_.Texts().empty());
}

TEST_F(MainWindowBench, CyclicScanningRepeatsUntilSwitchedOff) {
  ASSERT_TRUE(Start([] { RangeText(kOneGroup); }));
  QCheckBox* cyclic = Find<QCheckBox>("cyclic");
  Click(cyclic);
  ASSERT_TRUE(cyclic->isChecked());
  EXPECT_EQ(Settings().GetProfileInt("ODlgSpektr", "m_IsScanCikl", 0), 1);
  Log().SetCapture(true);
  std::string log;
  auto starts = [&] {
    log += Log().TakeCaptured();
    size_t n = 0;
    for (size_t at = log.find("ЗАПУСК СКАНИРОВАНИЯ"); at != std::string::npos; at = log.find("ЗАПУСК СКАНИРОВАНИЯ", at + 1)) ++n;
    return n;
  };
  Click(Find<QPushButton>("scan"));
  const bool second = RunUntil([&] { return starts() >= 2; }, seconds(30));
  Click(cyclic);  // off during the second cycle: it is the last
  EXPECT_FALSE(cyclic->isChecked());
  const bool idle = WaitIdle();
  Spin(500);
  const size_t total = starts();
  Log().SetCapture(false);
  ASSERT_TRUE(second);
  ASSERT_TRUE(idle);
  EXPECT_EQ(total, 2u);
  EXPECT_EQ(window_->Station().Engine().State(), ScanState::kIdle);
  EXPECT_EQ(window_->Station().Store().Set(0).Count(), 3);
  EXPECT_EQ(window_->Station().Store().Set(1).Count(), 3) << "the first cycle became the previous scan";
  EXPECT_TRUE(window_->Results().isVisible()) << "cyclic scanning keeps the results window open";
}

TEST_F(MainWindowBench, DoubleClickAndSpinButtonsSetTheGenerator) {
  ASSERT_TRUE(Start());
  Click(Find<QPushButton>("genSwitchOn"));  // "Включить": the generators initialised
  EXPECT_TRUE(Find<QCheckBox>("genOutput")->isEnabled());
  window_->SetF(144e6);
  ASSERT_FALSE(Find<FreqEdit>("sdrFreq")->Failed());
  const double rate = window_->Station().Receivers().ActiveSampleRate();
  ASSERT_GT(rate, 0);
  // Three quarters across: a quarter of the rate above the receiver, down to whole kHz.
  const double expected = std::floor((144e6 + rate / 4) / 1000) * 1000;
  // The chip's commands go out on the board's thread; the window hears the outcome later.
  const auto set = [&] { return RunUntil([&] { return !window_->Station().Gen().Setting(); }, seconds(5)); };
  emit window_->View().DoubleClicked(0.75);
  EXPECT_TRUE(window_->Station().Gen().Setting());
  EXPECT_EQ(window_->Station().Spektr().m_FM_Gen, expected);
  EXPECT_EQ(Find<FreqEdit>("genFreq")->Text().toStdString(), MhzEditText(expected));
  ASSERT_TRUE(set());
  EXPECT_FALSE(Find<FreqEdit>("genFreq")->Failed());
  EXPECT_NEAR(NearestOutput(Bench(), expected), expected, 5.0);
  // One step up on the generator's spin button: 0.1 MHz more, on the board as well.
  Click(Find<FreqEdit>("genFreq")->UpButton());
  EXPECT_EQ(window_->Station().Spektr().m_FM_Gen, expected + 100e3);
  ASSERT_TRUE(set());
  EXPECT_NEAR(NearestOutput(Bench(), expected + 100e3), expected + 100e3, 5.0);
  // A frequency the generator cannot make: the box turns red once the board's thread is done.
  Click(Find<FreqEdit>("genFreq")->UpButton());
  window_->SetGenFManual(1000.0);
  EXPECT_FALSE(Find<FreqEdit>("genFreq")->Failed());
  ASSERT_TRUE(set());
  EXPECT_TRUE(Find<FreqEdit>("genFreq")->Failed());
  EXPECT_NEAR(NearestOutput(Bench(), expected + 200e3), expected + 200e3, 5.0) << "the queued step was set first";
  // The receiver's spin button tunes 0.1 MHz down from the value shown.
  Click(Find<FreqEdit>("sdrFreq")->DownButton());
  EXPECT_EQ(window_->Station().Spektr().m_FM_Sdr, 143.9e6);
  EXPECT_EQ(Find<FreqEdit>("sdrFreq")->Text().toStdString(), "143.9 МГц");
  EXPECT_EQ(window_->Station().Receivers().TunedFrequency(), 143.9e6);
}

TEST_F(MainWindowBench, BridgeButtonsAndTheNumberedErrorBox) {
  ASSERT_TRUE(Start());
  ErrorBox& box = window_->Station().Box();
  std::string error;
  // The board answers the next two SetCS commands with a wrong byte.
  ASSERT_TRUE(Bench().Set(sim::VirtualBench::kBoardFaultName, "wrong-byte:32:2", &error)) << error;
  Click(Find<QPushButton>("bridgeO"));
  Click(Find<QPushButton>("bridgeAnt"));
  ASSERT_EQ(notice_.Texts().size(), 2u);
  EXPECT_EQ(notice_.Texts()[0], "ODlgSpektr::OnBnClickedRadio1() - ошибка, вызов SetCS() вернул ошибку");
  EXPECT_EQ(notice_.Texts()[1], "ODlgSpektr::OnBnClickedRadio2() - ошибка, вызов SetCS() вернул ошибку");
  EXPECT_EQ(box.Count(), 2);
  EXPECT_FALSE(Find<QPushButton>("bridgeAnt")->isChecked()) << "a switch the board refused is not shown as made";
  // "off" goes through: its command on the board, the title says so, the other two are cleared.
  Click(Find<QPushButton>("bridgeOff"));
  EXPECT_EQ(notice_.Texts().size(), 2u);
  EXPECT_EQ(window_->windowTitle().toStdString(), "off - спец. режим выкл. сигнала");
  EXPECT_TRUE(Find<QPushButton>("bridgeOff")->isChecked());
  EXPECT_FALSE(Find<QPushButton>("bridgeO")->isChecked());
  const auto entries = Bench().Board().CommandLog().Entries();
  ASSERT_FALSE(entries.empty());
  const sim::BoardLogEntry& last = entries.back();
  ASSERT_EQ(last.code, 0x32);
  ASSERT_GE(last.request.size(), 4u);
  EXPECT_EQ(last.request[2], 0);
  EXPECT_EQ(last.request[3], 231);
  // Without a port: each button's own text, numbered on, and "Включить" disabled.
  QComboBox* ports = Find<QComboBox>("portList");
  const int none = ports->findData(0);
  ASSERT_GE(none, 0);
  ports->setCurrentIndex(none);
  emit ports->activated(none);
  ASSERT_FALSE(window_->Station().Port().IsOpen());
  EXPECT_FALSE(Find<QPushButton>("genSwitchOn")->isEnabled());
  Click(Find<QPushButton>("bridgeO"));
  Click(Find<QPushButton>("bridgeAnt"));
  Click(Find<QPushButton>("bridgeOff"));
  ASSERT_EQ(notice_.Texts().size(), 5u);
  EXPECT_EQ(notice_.Texts()[2],
            "ODlgSpektr::OnBnClickedRadio1() - Com-порт не открыт, устр-во управления АА программе не доступно");
  EXPECT_EQ(notice_.Texts()[3],
            "ODlgSpektr::OnBnClickedRadio2() - Com-порт не открыт, устр-во управления АА программе не доступно");
  EXPECT_EQ(notice_.Texts()[4],
            "ODlgSpektr::OnBnClickedRadio3() - Com-порт не открыт, устр-во управления программе АА не доступно");
  EXPECT_EQ(box.Count(), 5);
}

TEST_F(MainWindowBench, BoardUnpluggedMidScanEndsTheScanAndTheWindowStaysUsable) {
  ASSERT_TRUE(Start([] { RangeText(kThreeGroups); }));
  Click(Find<QPushButton>("scan"));
  ASSERT_TRUE(RunUntil([&] { return window_->Station().Store().Set(0).Count() > 0; }, seconds(20)));
  std::string error;
  ASSERT_TRUE(Bench().Set(sim::VirtualBench::kBoardFaultName, "unplug", &error)) << error;
  ASSERT_TRUE(WaitIdle(seconds(15)));
  const int32_t measured = window_->Station().Store().Set(0).Count();
  EXPECT_GT(measured, 0);
  EXPECT_LT(measured, 25);
  ASSERT_FALSE(notice_.Texts().empty()) << "the scan's end is shown in the error box";
  EXPECT_TRUE(window_->isVisible());
  EXPECT_TRUE(Find<QPushButton>("scan")->isEnabled());
  EXPECT_FALSE(Find<QPushButton>("pause")->isEnabled());
  // The window still answers: the bridge switch says the port is gone.
  const size_t before = notice_.Texts().size();
  RunUntil([&] { return !window_->Station().Port().IsOpen(); }, seconds(3));
  Click(Find<QPushButton>("bridgeO"));
  ASSERT_EQ(notice_.Texts().size(), before + 1);
  EXPECT_NE(notice_.Texts().back().find("Com-порт не открыт"), std::string::npos) << notice_.Texts().back();
}

TEST_F(MainWindowBench, EnterInEveryEditStoresItAndEscapeEndsTheWindow) {
  ASSERT_TRUE(Start());
  Click(Find<QPushButton>("genSwitchOn"));
  Log().SetCapture(true);
  struct Case {
    QLineEdit* edit;
    const char* text;
  };
  const Case cases[] = {{Find<QLineEdit>("range"), "150-151 0.5"},
                        {Find<QLineEdit>("grMin"), "-80"},
                        {Find<QLineEdit>("grMax"), "60"},
                        {Find<QLineEdit>("vdMin"), "-70"},
                        {Find<QLineEdit>("vdMax"), "40"},
                        {Find<FreqEdit>("sdrFreq")->Edit(), "145.5"},
                        {Find<FreqEdit>("genFreq")->Edit(), "146.25"}};
  for (const Case& c : cases) {
    c.edit->setText(QString::fromUtf8(c.text));
    PressKey(c.edit, Qt::Key_Return);
    EXPECT_TRUE(window_->isVisible()) << c.text;
  }
  const std::string log = Log().TakeCaptured();
  Log().SetCapture(false);
  size_t onok = 0;
  for (size_t at = log.find("onok \n"); at != std::string::npos; at = log.find("onok \n", at + 1)) ++onok;
  EXPECT_EQ(onok, 7u);
  const SpektrSettings& s = window_->Station().Spektr();
  EXPECT_EQ(Settings().GetProfileString("ODlgSpektr", "m_ScanDia", ""), "150-151 0.5");
  EXPECT_EQ(s.m_GrMin, -80);
  EXPECT_EQ(s.m_GrMax, 60);
  EXPECT_EQ(s.m_VdMin, -70);
  EXPECT_EQ(s.m_VdMax, 40);
  EXPECT_EQ(s.m_FM_Sdr, 145.5e6);
  EXPECT_EQ(s.m_FM_Gen, 146.25e6);
  EXPECT_EQ(Find<FreqEdit>("genFreq")->Text().toStdString(), "146.25 МГц");
  ASSERT_TRUE(RunUntil([&] { return !window_->Station().Gen().Setting(); }, seconds(5)));
  EXPECT_NEAR(NearestOutput(Bench(), 146.25e6), 146.25e6, 5.0);
  EXPECT_TRUE(notice_.Texts().empty());
  // Escape ends the window: the port is closed and Finished says so.
  int finished = 1;
  QObject::connect(window_.get(), &ODlgSpektr::Finished, [&](int code) { finished = code; });
  PressKey(window_.get(), Qt::Key_Escape);
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(finished, 0);
  EXPECT_FALSE(window_->Station().Port().IsOpen());
}

TEST_F(MainWindowBench, StoredGeneratorNumberOutOfRangeSelectsTheFirstEntry) {
  ASSERT_TRUE(Start([] { Settings().WriteProfileInt("ODlgSpektr", "m_GenNum", 5); }));
  QComboBox* gens = Find<QComboBox>("genList");
  ASSERT_GT(gens->count(), 0);
  ASSERT_LT(gens->count(), 6);
  EXPECT_EQ(gens->currentIndex(), 0);
  EXPECT_EQ(window_->Station().Gen().List().Selected(), 0);
}

TEST_F(MainWindowBench, MenusViewsAndWindowsNotBuiltYet) {
  ASSERT_TRUE(Start());
  // "Показ фильтра НЧ..." is modal: it is closed as soon as it shows.
  std::string modal;
  QTimer::singleShot(0, [&] {
    if (auto* m = qobject_cast<CDlgBpfShow*>(QApplication::activeModalWidget())) {
      modal = m->windowTitle().toStdString();
      m->close();
    }
  });
  Click(Find<QPushButton>("showFilter"));
  EXPECT_FALSE(modal.empty()) << "the filter view did not open";
  // "Настройки..." (button 1028) opens the options window, modal.
  Click(Find<QPushButton>("options"));
  QPointer<CDlgOptions> options = window_->findChild<CDlgOptions*>();
  ASSERT_TRUE(options);
  EXPECT_TRUE(options->isVisible() && options->isModal());
  options->close();
  ASSERT_TRUE(RunUntil([&] { return options.isNull(); }, std::chrono::seconds(10)));
  window_->MenuCommand(20000);
  ASSERT_EQ(informs_.size(), 1u);
  for (const std::string& t : informs_) EXPECT_NE(t.find("ещё не сделана"), std::string::npos) << t;
  EXPECT_TRUE(notice_.Texts().empty());
  // "Графики..." of the window menu opens the results window.
  window_->MenuCommand(20003);
  EXPECT_TRUE(window_->Results().isVisible());
  // The About box carries the program's lines.
  window_->MenuCommand(20999);
  auto* about = window_->findChild<QWidget*>("about");
  ASSERT_NE(about, nullptr);
  const auto* text = about->findChild<QTextBrowser*>("aboutText");
  ASSERT_NE(text, nullptr);
  EXPECT_NE(text->toPlainText().toStdString().find("Версия 4.08 от 14.01.2023"), std::string::npos);
  EXPECT_NE(text->toPlainText().toStdString().find("Антенный анализатор на основе компьютерного Sdr-приёмника"),
            std::string::npos);
  // The service menu holds its items in order.
  QList<QAction*> actions;
  for (QAction* a : window_->ServiceMenu().actions()) {
    if (!a->isSeparator()) actions.push_back(a);
  }
  ASSERT_EQ(actions.size(), 17);
  EXPECT_EQ(actions.front()->text().toStdString(), "Смена прошивки МК...");
  EXPECT_EQ(actions[4]->text().toStdString(), "Снять CS");
  EXPECT_EQ(actions.back()->text().toStdString(), "О программе...");
  // A service test on the bench's board: the I2C scan finds the Si5351 at C0.
  Log().SetCapture(true);
  window_->MenuCommand(20200);
  const std::string log = Log().TakeCaptured();
  Log().SetCapture(false);
  EXPECT_NE(log.find("!!! Нашел, adr = C0"), std::string::npos);
  // The chip select and SPI mode items log their line once each.
  Log().SetCapture(true);
  Log().TakeCaptured();
  window_->MenuCommand(20102);
  window_->MenuCommand(20106);
  const std::string spi = Log().TakeCaptured();
  Log().SetCapture(false);
  const auto count = [&spi](const std::string& line) {
    int n = 0;
    for (size_t at = spi.find(line); at != std::string::npos; at = spi.find(line, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("Выбор SPI абонента CS1=0\n"), 1) << spi;
  EXPECT_EQ(count("Выбор SPI mode 2\n"), 1) << spi;
}

}  // namespace
}  // namespace kavu::test
