#include "scan/ui/calibration_file_row.h"

#include <QGridLayout>

#include "scan/calibration_load_text.h"

namespace kavu {

CalibrationFileRow::CalibrationFileRow(int file, QWidget* parent)
    : QGroupBox(QString("Файл %1").arg(file + 1), parent), file_(file) {
  auto* grid = new QGridLayout(this);
  name_ = new QLineEdit(this);
  name_->setPlaceholderText("*.kant");
  choose_ = new QPushButton("Выбрать файл", this);
  status_ = new QLabel(this);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  status_->setWordWrap(true);
  coverage_ = new QLabel(this);
  coverage_->setWordWrap(true);
  load_ = new QComboBox(this);
  load_->setEditable(true);
  load_->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string& c : CalibrationLoadChoices(file)) load_->addItem(QString::fromStdString(c));
  load_->setMinimumContentsLength(10);
  grid->addWidget(name_, 0, 0, 1, 3);
  grid->addWidget(choose_, 0, 3);
  grid->addWidget(status_, 1, 0, 1, 4);
  grid->addWidget(coverage_, 2, 0, 1, 4);
  grid->addWidget(new QLabel("Нагрузка:", this), 3, 0);
  grid->addWidget(load_, 3, 1);
  grid->setColumnStretch(2, 1);
  connect(choose_, &QPushButton::clicked, this, &CalibrationFileRow::chooseAsked);
  connect(name_, &QLineEdit::editingFinished, this, &CalibrationFileRow::edited);
  connect(load_->lineEdit(), &QLineEdit::editingFinished, this, &CalibrationFileRow::edited);
  connect(load_, &QComboBox::activated, this, &CalibrationFileRow::edited);
}

double CalibrationFileRow::Load() const { return ParseCalibrationLoad(file_, load_->currentText().toStdString()); }

void CalibrationFileRow::ShowLoad(double ohm) { load_->setEditText(QString::fromStdString(FormatCalibrationLoad(ohm))); }

void CalibrationFileRow::SetUsed(bool used) {
  for (QWidget* w : std::initializer_list<QWidget*>{name_, choose_, load_}) w->setEnabled(used);
}

void CalibrationFileRow::ShowTable(const CalibrationTable& table, bool used, const std::string& coverage,
                                   bool short_of_plan) {
  if (!used) {
    status_->setText("не используется при калибровке по одной точке");
    status_->setStyleSheet("color: gray;");
    coverage_->hide();
    return;
  }
  status_->setText(QString::fromStdString(table.StatusLine()));
  status_->setStyleSheet(table.IsValid() ? "" : "background-color: rgb(255,190,190);");
  coverage_->setText(QString::fromStdString(coverage));
  coverage_->setStyleSheet(short_of_plan ? "color: rgb(170,85,0);" : "");
  coverage_->setVisible(!coverage.empty());
}

}  // namespace kavu
