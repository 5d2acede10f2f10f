// The calibration window on scan files written by the test: status lines and their errors,
// load texts, set-ups, the kind, warnings, coverage, and how the results window follows it.
#include "scan/ui/cdlg_calibrate.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "measure/calibration_setup.h"
#include "results/ant_izm_file.h"
#include "scan/ui/calibration_window_fixture.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

using test::CalibrationWindowFixture;

constexpr QRgb kErrorBackground = qRgb(255, 190, 190);

// How many pixels of the widget's picture have the colour.
int PixelsOf(QWidget* w, QRgb colour) {
  const QImage img = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
  int n = 0;
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) n += (img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
  }
  return n;
}

TEST(CalibrationWindow, SetupButtonOpensItAndStatusLinesShowEveryError) {
  CalibrationWindowFixture f;
  EXPECT_EQ(f.dialog, nullptr);  // made on first use
  f.ClickSetupButton();
  ASSERT_NE(f.dialog, nullptr);
  EXPECT_TRUE(f.dialog->isVisible());
  EXPECT_FALSE(f.dialog->isModal());
  EXPECT_TRUE(f.boxes.empty());  // no "not built" notice any more
  EXPECT_EQ(f.dialog->windowTitle(), "Калибровка по результатам измерений");
  QLabel* status = f.dialog->Row(0).StatusLabel();
  EXPECT_EQ(status->text(), "пустое имя файла");

  struct Case {
    std::string path;
    std::string status;
  };
  test::WriteFile(f.dir.File("damaged.kant"), "это не файл сканирования");
  std::vector<AntIzm> uneven(5, EmptyAntIzm());
  const double fs[] = {1e6, 1.1e6, 1.2e6, 1.3e6, 10e6};
  for (size_t i = 0; i < 5; ++i) uneven[i].freqHz = fs[i];
  ASSERT_TRUE(WriteScanFile(f.dir.File("uneven.kant"), uneven.data(), 5, std::nullopt));
  std::vector<AntIzm> bad_f(5, EmptyAntIzm());
  for (size_t i = 0; i < 5; ++i) bad_f[i].freqHz = 1e6 * static_cast<double>(i + 1);
  bad_f[3].freqHz = -7;
  ASSERT_TRUE(WriteScanFile(f.dir.File("bad_f.kant"), bad_f.data(), 5, std::nullopt));
  const std::vector<Case> cases = {
      {f.dir.File("missing.kant"), "не удалось открыть файл на диске с измерениями"},
      {f.dir.File("damaged.kant"), "мало точек, N=0"},
      {f.ScanFile("one.kant", 1, 1), "мало точек, N=1"},
      {f.ScanFile("flat.kant", 1, 3, 140e6, 0), "нулевой шаг"},
      {f.dir.File("bad_f.kant"), "3 частота некорректна -7.000000 Гц"},
      {f.dir.File("uneven.kant"), "неравномерный (и нелогарифмический) шаг по частоте"},
  };
  for (const Case& c : cases) {
    f.Choose(0, c.path);
    EXPECT_EQ(status->text().toStdString(), c.status) << c.path;
    EXPECT_EQ(status->styleSheet(), "background-color: rgb(255,190,190);");
    EXPECT_GT(PixelsOf(status, kErrorBackground), 100) << c.path;
    EXPECT_EQ(Settings().GetProfileString("Calibrate0", "m_Cal1Name", ""), c.path);
  }
  EXPECT_EQ(f.chooser_titles.back(),
            "Выбирете файл с результатами сканирования, который будет использоваться для регулировки усиления");
  // Calibration is on but not valid: the panel's box says so in red.
  EXPECT_EQ(f.PanelCalibrationBox()->styleSheet(), "color: red; background-color: rgb(255,190,190);");
  EXPECT_TRUE(f.dialog->SummaryLabel()->text().contains("не применяется")) << f.dialog->SummaryLabel()->text().toStdString();

  f.Choose(0, f.ScanFile("good.kant", 1.0));
  EXPECT_EQ(status->text(), "Диа 140.000 - 146.000 МГц, шаг 0.100000 МГц, точек 61");
  EXPECT_EQ(status->styleSheet(), "");
  EXPECT_EQ(PixelsOf(status, kErrorBackground), 0);
  EXPECT_EQ(f.dialog->Row(0).CoverageLabel()->text(), "план сканирования 140 - 146 МГц внутри файла");
  EXPECT_TRUE(f.dialog->Current().InUse());
  EXPECT_EQ(f.dialog->SummaryLabel()->text(), "Калибровка 1 применяется");
  EXPECT_EQ(f.PanelCalibrationBox()->styleSheet(), "");
  EXPECT_TRUE(f.PanelCalibrationBox()->isChecked());

  // A logarithmic grid (1, 10 … 10000 MHz) is said so.
  std::vector<AntIzm> log_pts(5, EmptyAntIzm());
  for (size_t i = 0; i < 5; ++i) log_pts[i].freqHz = 1e6 * std::pow(10.0, static_cast<double>(i));
  ASSERT_TRUE(WriteScanFile(f.dir.File("log.kant"), log_pts.data(), 5, std::nullopt));
  f.Choose(0, f.dir.File("log.kant"));
  EXPECT_EQ(status->text(), "Диа 1.000 - 10000.000 МГц, шаг 2499.750000 МГц, точек 5, логарифм");
  // A file above the plan.
  f.Choose(0, f.ScanFile("high.kant", 1.0, 61, 150e6));
  EXPECT_EQ(f.dialog->Row(0).CoverageLabel()->text(),
            "вне файла: 140 - 146 МГц (там действуют крайние точки файла)");

  // A cancelled chooser changes nothing.
  const int changes = f.changes;
  f.dialog->Row(0).ChooseButton()->click();
  EXPECT_EQ(f.changes, changes);
  EXPECT_EQ(f.dialog->Row(0).FileName(), QString::fromStdString(f.dir.File("high.kant")));
}

TEST(CalibrationWindow, LoadTextsThatDoNotReadGiveTheDefault) {
  CalibrationWindowFixture f;
  f.ClickSetupButton();
  ASSERT_NE(f.dialog, nullptr);
  f.dialog->KindList()->setCurrentIndex(1);
  EXPECT_EQ(Settings().GetProfileInt("Calibrate0", "m_CalType", -1), 1);
  // The test application runs in the ru_RU locale, where a C library would read "2,5" as 2.5.
  const char* keys[] = {"m_Cal1R", "m_Cal2R", "m_Cal3R"};
  const double defaults[] = {50, 0, 999999};
  const char* shown[] = {"50 Ом", "КЗ", "ХХ"};
  for (int file = 0; file < 3; ++file) {
    f.TypeLoad(file, "33.3");
    EXPECT_DOUBLE_EQ(Settings().GetProfileDouble("Calibrate0", keys[file], -1), 33.3);
    EXPECT_EQ(f.dialog->Row(file).LoadBox()->currentText(), "33.3 Ом");
    for (const char* bad : {"abc", "nan", "1e999", "2,5"}) {
      f.TypeLoad(file, "33.3");
      f.TypeLoad(file, bad);
      EXPECT_EQ(Settings().GetProfileDouble("Calibrate0", keys[file], -1), defaults[file]) << bad;
      EXPECT_EQ(f.dialog->Row(file).LoadBox()->currentText(), shown[file]) << bad;
      EXPECT_EQ(f.dialog->Current().Setup().loads_ohm[static_cast<size_t>(file)], defaults[file]);
    }
  }
  // Out of range: clamped.
  f.TypeLoad(0, "5000 Ом");
  EXPECT_EQ(Settings().GetProfileDouble("Calibrate0", "m_Cal1R", -1), 1000);
  // A list entry chosen.
  f.dialog->Row(2).LoadBox()->setCurrentIndex(1);
  emit f.dialog->Row(2).LoadBox()->activated(1);
  EXPECT_EQ(Settings().GetProfileDouble("Calibrate0", "m_Cal3R", -1), 200);
}

TEST(CalibrationWindow, SetupsKindAndOptionsAreKeptAndTheResultsWindowFollows) {
  CalibrationWindowFixture f;
  f.ClickSetupButton();
  ASSERT_NE(f.dialog, nullptr);
  const std::string a = f.ScanFile("a.kant", 1.0), b = f.ScanFile("b.kant", 0.01), c = f.ScanFile("c.kant", 1.7);
  f.Choose(0, a);
  f.dialog->SmoothingEdit()->setValue(3);
  f.dialog->KorrABox()->click();
  EXPECT_EQ(Settings().GetProfileInt("Calibrate0", "m_Aper2", -1), 3);
  EXPECT_EQ(Settings().GetProfileInt("Calibrate0", "m_IsKorrA", -1), 1);
  // Kind 0: files 2 and 3 are not used and cannot be edited.
  EXPECT_FALSE(f.dialog->Row(1).ChooseButton()->isEnabled());
  EXPECT_FALSE(f.dialog->Row(2).LoadBox()->isEnabled());
  EXPECT_EQ(f.dialog->Row(1).StatusLabel()->text(), "не используется при калибровке по одной точке");
  f.dialog->KindList()->setCurrentIndex(1);
  EXPECT_TRUE(f.dialog->Row(1).ChooseButton()->isEnabled());
  EXPECT_FALSE(f.dialog->Current().IsCalibrationValid());
  f.Choose(1, b);
  f.Choose(2, c);
  EXPECT_TRUE(f.dialog->Current().InUse());
  EXPECT_TRUE(f.dialog->WarningsLabel()->isHidden());

  // Set-up 3: its own (empty) keys; the panel's box follows.
  const int changes = f.changes;
  f.dialog->SetupButton(2)->click();
  EXPECT_GT(f.changes, changes);
  EXPECT_EQ(Settings().GetProfileInt("CDlgCalibrate", "m_VarCal", -1), 2);
  EXPECT_EQ(f.dialog->Row(0).FileName(), "");
  EXPECT_EQ(f.dialog->KindList()->currentIndex(), 0);
  EXPECT_EQ(f.dialog->SmoothingEdit()->value(), 11);
  EXPECT_EQ(f.PanelCalibrationBox()->text(), "Калибр 3");
  // Back to set-up 1: everything as left.
  f.dialog->SetupButton(0)->click();
  EXPECT_EQ(f.dialog->Row(2).FileName().toStdString(), c);
  EXPECT_EQ(f.dialog->KindList()->currentIndex(), 1);
  EXPECT_EQ(f.dialog->SmoothingEdit()->value(), 3);
  EXPECT_TRUE(f.dialog->KorrABox()->isChecked());
  EXPECT_EQ(f.PanelCalibrationBox()->text(), "Калибр 1");

  // Switched off in the window: the panel's box clears; switched on in the panel: the window's box follows.
  f.dialog->UseBox()->click();
  EXPECT_EQ(Settings().GetProfileInt("CDlgCalibrate", "m_IsCal", -1), 0);
  EXPECT_FALSE(f.PanelCalibrationBox()->isChecked());
  f.PanelCalibrationBox()->click();
  EXPECT_TRUE(f.dialog->UseBox()->isChecked());
  EXPECT_TRUE(f.dialog->Current().InUse());

  // The same scan chosen twice: warned, and the calibration gives nothing.
  f.Choose(2, a);
  EXPECT_FALSE(f.dialog->WarningsLabel()->isHidden());
  EXPECT_TRUE(f.dialog->WarningsLabel()->text().contains("Файлы 1 и 3 — одно и то же сканирование"))
      << f.dialog->WarningsLabel()->text().toStdString();
  EXPECT_TRUE(std::isnan(f.dialog->Current().CorrectRatio({0.5, 0}, 143e6, BridgeSettings{}).real()));

  const CalibrationSetup stored = LoadCalibrationSetup(0);
  EXPECT_EQ(stored.names[2], a);
  EXPECT_EQ(stored.cal_type, 1);
}

TEST(CalibrationWindow, SwitchingOnWhileNotValidOpensTheWindow) {
  CalibrationWindowFixture f;
  SaveCalibrationSwitch({false, 0});
  f.results->Command(11000);
  ASSERT_FALSE(f.PanelCalibrationBox()->isChecked());
  EXPECT_EQ(f.dialog, nullptr);
  f.PanelCalibrationBox()->click();  // no file: not valid
  ASSERT_NE(f.dialog, nullptr);
  EXPECT_TRUE(f.dialog->isVisible());
  EXPECT_TRUE(f.dialog->UseBox()->isChecked());
  // OK applies and hides it; the next click on "Настр..." shows the same window again.
  CDlgCalibrate* first = f.dialog;
  f.dialog->accept();
  f.dialog->hide();
  EXPECT_FALSE(first->isVisible());
  f.ClickSetupButton();
  EXPECT_EQ(f.dialog, first);
  EXPECT_TRUE(first->isVisible());
}

TEST(CalibrationWindow, WithoutItTheResultsWindowSaysSo) {
  CalibrationWindowFixture f;
  f.results->open_calibration = nullptr;
  f.ClickSetupButton();
  EXPECT_EQ(f.dialog, nullptr);
  ASSERT_EQ(f.boxes.size(), 1u);
  EXPECT_TRUE(f.boxes[0].startsWith("Окно калибровки")) << f.boxes[0].toStdString();
}

TEST(CalibrationWindow, ThreeFilesChosenLookRight) {
  CalibrationWindowFixture f("140-150 0.5; 425-440 1");
  f.ClickSetupButton();
  ASSERT_NE(f.dialog, nullptr);
  f.dialog->KindList()->setCurrentIndex(1);
  f.Choose(0, f.ScanFile("load_50.kant", 1.0));
  f.Choose(1, f.ScanFile("short.kant", 0.01));
  f.Choose(2, f.ScanFile("open.kant", 1.005));  // nearly the load: warned
  f.dialog->resize(f.dialog->sizeHint());
  EXPECT_EQ(f.dialog->Row(0).CoverageLabel()->text(),
            "вне файла: 146 - 150; 425 - 440 МГц (там действуют крайние точки файла)");
  EXPECT_TRUE(f.dialog->WarningsLabel()->text().contains("Файлы 1 и 3 измеряют почти одно и то же сопротивление"));
  // Nothing clipped: every label fits the window's width.
  for (QLabel* l : f.dialog->findChildren<QLabel*>()) {
    if (!l->isVisible()) continue;
    EXPECT_LE(l->mapTo(f.dialog, QPoint(l->width(), 0)).x(), f.dialog->width()) << l->text().toStdString();
  }
  // KAVU_LOOK_PNG=path saves the picture; KAVU_LOOK_MS keeps the window up for a screenshot.
  if (const char* png = std::getenv("KAVU_LOOK_PNG")) f.dialog->grab().save(png);
  if (const char* ms = std::getenv("KAVU_LOOK_MS")) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < std::atoi(ms)) QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
}

}  // namespace
}  // namespace kavu
