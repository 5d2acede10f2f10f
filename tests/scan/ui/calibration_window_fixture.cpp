#include "scan/ui/calibration_window_fixture.h"

#include <QApplication>
#include <QPushButton>
#include <cmath>

#include <gtest/gtest.h>

#include "results/ant_izm_file.h"
#include "scan/ui/calibration_window_install.h"
#include "shell/settings_store.h"
#include "shell/ui/qt_test_app.h"
#include "support/point_with_ratio.h"

namespace kavu::test {

CalibrationWindowFixture::CalibrationWindowFixture(const std::string& scan_plan) {
  QtTestApp();
  Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", dir.Path());
  Settings().WriteProfileString("ODlgSpektr", "m_ScanDia", scan_plan);
  store = std::make_unique<ResultsStore>(1024);
  MakeWindow(*store, nullptr);
}

void CalibrationWindowFixture::MakeWindow(ResultsStore& shown, MeasureKeeper* measure) {
  dialog = nullptr;
  results.reset();
  results = measure ? std::make_unique<CShowDataWindow>(shown, *measure) : std::make_unique<CShowDataWindow>(shown);
  results->inform = [this](bool, const QString&, const QString& t) { boxes.push_back(t); };
  InstallCalibrationWindow(*results, [this](CDlgCalibrate& d) {
    dialog = &d;
    d.choose_file = [this](const QString& title, const QString&) {
      chooser_titles.push_back(title);
      return next_files.isEmpty() ? QString() : next_files.takeFirst();
    };
    QObject::connect(&d, &CDlgCalibrate::calibrationChanged, [this] { ++changes; });
  });
  results->resize(1000, 700);
}

void CalibrationWindowFixture::ClickSetupButton() {
  for (QPushButton* b : results->Panel().findChildren<QPushButton*>()) {
    if (b->text() == "Настр...") b->click();
  }
  QApplication::processEvents();
}

void CalibrationWindowFixture::Choose(int file, const std::string& path) {
  next_files << QString::fromStdString(path);
  dialog->Row(file).ChooseButton()->click();
}

void CalibrationWindowFixture::TypeLoad(int file, const std::string& text) {
  TypeInto(dialog->Row(file).LoadBox()->lineEdit(), QString::fromStdString(text));
}

QCheckBox* CalibrationWindowFixture::PanelCalibrationBox() const {
  for (QCheckBox* b : results->Panel().findChildren<QCheckBox*>()) {
    if (b->text().startsWith("Калибр ")) return b;
  }
  return nullptr;
}

std::string CalibrationWindowFixture::ScanFile(const std::string& name, double rho, int points, double f0,
                                               double step) const {
  std::vector<AntIzm> p;
  for (int i = 0; i < points; ++i) p.push_back(PointWithRatio(f0 + i * step, rho));
  const std::string path = dir.File(name);
  EXPECT_TRUE(WriteScanFile(path, p.data(), points, std::nullopt));
  return path;
}

void TypeInto(QLineEdit* edit, const QString& text) {
  edit->setFocus();
  edit->setText(text);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(edit, &press);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(edit, &release);
}

}  // namespace kavu::test
