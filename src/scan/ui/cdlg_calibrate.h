#pragma once
// CDlgCalibrate: the calibration window "Калибровка по результатам измерений". It keeps six
// calibration set-ups ("Калибровка 1" … "6"); for the chosen one it shows and edits the kind,
// the smoothing, the corrections to apply, the three scan files with their loads, and whether
// calibration is in use. Every change is written to the settings at once, the set-up's tables
// are reloaded and calibrationChanged() tells whoever computes impedances to reload theirs.
//
// Beyond each file's status line the window says whether the file covers the scan plan (the
// range text of the main window's settings) and warns when two of three files cannot make a
// three-point calibration (the same scan, the same load, or nearly the same impedance).
// Window thread only.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <array>
#include <functional>
#include <string>

#include "measure/calibration.h"
#include "measure/calibration_setup.h"
#include "scan/ui/calibration_file_row.h"

namespace kavu {

class CDlgCalibrate : public QDialog {
  Q_OBJECT
 public:
  // Reads the switch and the current set-up from the settings and loads its tables.
  explicit CDlgCalibrate(QWidget* parent = nullptr);

  // Chooses one scan file: (dialog title, start folder) → path, empty when cancelled. The
  // default is the standard file dialog; tests replace it.
  std::function<QString(const QString& title, const QString& folder)> choose_file;
  // The scan plan's range text the coverage is judged against; the default reads the stored
  // range text (ODlgSpektr/m_ScanDia).
  std::function<std::string()> scan_plan_text;

  // Re-reads everything from the settings (another window may have switched calibration on or
  // off) and shows the window, modeless, on top.
  void Open();
  // The switch "Использовать калибровку" changed elsewhere: show it and reload.
  void ReloadSwitch();
  // Chooses set-up `number` (0 … 5) as the radio buttons do.
  void SelectSetup(int number);
  // Reads every control, writes all keys, reloads the tables, refreshes the window and, when
  // anything changed, emits calibrationChanged(). Called by every control; OK calls it too.
  void Apply();
  // Re-judges the coverage against the scan plan (which may have changed meanwhile).
  void RefreshCoverage();

  const Calibration& Current() const { return calibration_; }
  int Number() const { return number_; }

  QRadioButton* SetupButton(int number) const { return setups_[static_cast<size_t>(number)]; }
  QCheckBox* UseBox() const { return use_; }
  QComboBox* KindList() const { return kind_; }
  QSpinBox* SmoothingEdit() const { return aper_; }
  QCheckBox* KorrAOBox() const { return korr_ao_; }
  QCheckBox* KorrABox() const { return korr_a_; }
  CalibrationFileRow& Row(int file) const { return *rows_[static_cast<size_t>(file)]; }
  QLabel* SummaryLabel() const { return summary_; }
  QLabel* WarningsLabel() const { return warnings_; }

 signals:
  void calibrationChanged();

 protected:
  void changeEvent(QEvent* e) override;

 private:
  void BuildSetupChoice(QVBoxLayout* page);
  void BuildOptions(QVBoxLayout* page);
  // The switch, the current set-up and its keys from the settings; the tables reloaded.
  void ReadSettings();
  void ShowSetup(const CalibrationSetup& s);
  CalibrationSetup ReadControls() const;
  // Apply; with `force` the tables are read and the change announced even when nothing changed.
  void Store(bool force);
  void Reload();
  void Refresh();
  void ChooseFile(int file);

  Calibration calibration_;
  CalibrationSetup shown_;  // the set-up as last written
  int number_ = 0;
  bool loading_ = false;
  std::array<QRadioButton*, CalibrationSetup::kCount> setups_{};
  QCheckBox* use_ = nullptr;
  QComboBox* kind_ = nullptr;
  QSpinBox* aper_ = nullptr;
  QCheckBox* is_med_ = nullptr;
  QCheckBox* korr_ao_ = nullptr;
  QCheckBox* korr_a_ = nullptr;
  std::array<CalibrationFileRow*, 3> rows_{};
  QLabel* summary_ = nullptr;
  QLabel* warnings_ = nullptr;
};

}  // namespace kavu
