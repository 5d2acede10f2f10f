#pragma once
// The results window with the calibration window installed, on a fresh settings file; the
// calibration window's file chooser answers from a queue.
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "results/results_store.h"
#include "results/ui/cshow_data_window.h"
#include "scan/ui/cdlg_calibrate.h"
#include "support/temp_dir.h"

namespace kavu::test {

struct CalibrationWindowFixture {
  ScopedSettings settings;
  TempDir dir;
  std::unique_ptr<ResultsStore> store;
  std::unique_ptr<CShowDataWindow> results;
  CDlgCalibrate* dialog = nullptr;
  QStringList next_files;  // answers of the file chooser, first first
  std::vector<QString> chooser_titles;
  std::vector<QString> boxes;  // texts of the results window's message boxes
  int changes = 0;             // calibrationChanged() count

  explicit CalibrationWindowFixture(const std::string& scan_plan = "140-146 0.25");
  // Replaces the results window with one showing `shown` and computing with `measure`'s
  // snapshots (null: a keeper of its own), the calibration window installed again.
  void MakeWindow(ResultsStore& shown, MeasureKeeper* measure);
  // Clicks the panel's "Настр..." button (the calibration window is made on the first click).
  void ClickSetupButton();
  // Chooses `path` for file `file` (0 … 2) through "Выбрать файл".
  void Choose(int file, const std::string& path);
  // Types `text` into the load of file `file` and presses Enter.
  void TypeLoad(int file, const std::string& text);
  QCheckBox* PanelCalibrationBox() const;
  // A scan of points from f0 with the given step (Hz) whose ratio A/O is `rho`.
  std::string ScanFile(const std::string& name, double rho, int points = 61, double f0 = 140e6,
                       double step = 0.1e6) const;
};

// Types text into a line edit and presses Enter, as a user would.
void TypeInto(QLineEdit* edit, const QString& text);

}  // namespace kavu::test
