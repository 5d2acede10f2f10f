#pragma once
// CalibrationFileRow: one calibration file in the calibration window: the path (typed or chosen
// with "Выбрать файл"), the table's status line, how the file covers the scan plan, and the
// load the file was measured on. It only shows and reads; the window decides what a change does.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "results/calibration_table.h"

namespace kavu {

class CalibrationFileRow : public QGroupBox {
  Q_OBJECT
 public:
  // `file` 0 … 2 (shown as "Файл 1" … "Файл 3"); the load list is that file's.
  CalibrationFileRow(int file, QWidget* parent = nullptr);

  QString FileName() const { return name_->text().trimmed(); }
  void SetFileName(const QString& path) { name_->setText(path); }
  // The load typed or chosen, Ω (ParseCalibrationLoad: the default when it does not read).
  double Load() const;
  // Shows `ohm` as the window shows loads ("КЗ", "ХХ", "50 Ом", "33.3 Ом").
  void ShowLoad(double ohm);
  // The controls are enabled only while the calibration kind uses this file.
  void SetUsed(bool used);
  // The table's status line; an error shows on a light red background while the file is used.
  // `coverage` is the line about the scan plan (empty: hidden), drawn as a warning when `short_of_plan`.
  void ShowTable(const CalibrationTable& table, bool used, const std::string& coverage, bool short_of_plan);

  QLineEdit* NameEdit() const { return name_; }
  QPushButton* ChooseButton() const { return choose_; }
  QLabel* StatusLabel() const { return status_; }
  QLabel* CoverageLabel() const { return coverage_; }
  QComboBox* LoadBox() const { return load_; }

 signals:
  void chooseAsked();
  void edited();  // the path or the load was edited, or a load chosen from the list

 private:
  int file_;
  QLineEdit* name_;
  QPushButton* choose_;
  QLabel* status_;
  QLabel* coverage_;
  QComboBox* load_;
};

}  // namespace kavu
