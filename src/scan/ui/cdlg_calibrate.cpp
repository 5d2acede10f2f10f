#include "scan/ui/cdlg_calibrate.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "results/results_store.h"
#include "results/ui/help_key.h"
#include "scan/calibration_review.h"
#include "scan/spektr_settings.h"
#include "shell/log_console.h"
#include "shell/ui/flow_layout.h"
#include "shell/ui/screen_fit.h"

namespace kavu {
namespace {

bool SameSetup(const CalibrationSetup& a, const CalibrationSetup& b) {
  return a.cal_type == b.cal_type && a.aper2 == b.aper2 && a.is_med == b.is_med && a.is_korr_ao == b.is_korr_ao &&
         a.is_korr_a == b.is_korr_a && a.names == b.names && a.loads_ohm == b.loads_ohm;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += (s.empty() ? "" : "\n") + l;
  return s;
}

}  // namespace

CDlgCalibrate::CDlgCalibrate(QWidget* parent) : QDialog(parent), calibration_(AntIzms::kCapacity) {
  setWindowTitle("Калибровка по результатам измерений");
  new HelpKey(*this, "CDlgCalibrate");
  setModal(false);
  choose_file = [this](const QString& title, const QString& folder) {
    return QFileDialog::getOpenFileName(this, title, folder, "KavuAnt - файлы (*.kant)");
  };
  scan_plan_text = [] { return SpektrSettings::Load().m_ScanDia; };
  // Everything but OK scrolls: three file panels do not fit a small screen (or a large scale
  // factor) at once, and OK must stay in reach.
  auto* outer = new QVBoxLayout(this);
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName("calibrationScroll");
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* content = new QWidget(scroll);
  auto* page = new QVBoxLayout(content);
  page->setContentsMargins(0, 0, 0, 0);
  BuildSetupChoice(page);
  BuildOptions(page);
  for (int i = 0; i < 3; ++i) {
    auto* row = new CalibrationFileRow(i, this);
    rows_[static_cast<size_t>(i)] = row;
    page->addWidget(row);
    connect(row, &CalibrationFileRow::chooseAsked, this, [this, i] { ChooseFile(i); });
    connect(row, &CalibrationFileRow::edited, this, &CDlgCalibrate::Apply);
  }
  summary_ = new QLabel(this);
  summary_->setWordWrap(true);
  warnings_ = new QLabel(this);
  warnings_->setWordWrap(true);
  warnings_->setStyleSheet("color: rgb(190,0,0);");
  page->addWidget(summary_);
  page->addWidget(warnings_);
  page->addStretch(1);
  scroll->setWidget(content);
  outer->addWidget(scroll, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    // OK reads the files again even when nothing was edited: a file may have been measured anew.
    Store(true);
    accept();
  });
  outer->addWidget(buttons);
  ReadSettings();
  // The whole content when the screen has room for it; otherwise as much as fits, scrolling.
  const QSize content_size = content->sizeHint() + QSize(scroll->verticalScrollBar()->sizeHint().width(), 0);
  const QMargins m = outer->contentsMargins();
  ResizeWithinScreen(*this, content_size + QSize(m.left() + m.right(),
                                                 m.top() + m.bottom() + outer->spacing() + buttons->sizeHint().height()));
}

void CDlgCalibrate::ReadSettings() {
  const CalibrationSwitch sw = LoadCalibrationSwitch();
  number_ = sw.var_cal;
  loading_ = true;
  use_->setChecked(sw.is_cal);
  setups_[static_cast<size_t>(number_)]->setChecked(true);
  loading_ = false;
  shown_ = LoadCalibrationSetup(number_);
  ShowSetup(shown_);
  Reload();
}

void CDlgCalibrate::BuildSetupChoice(QVBoxLayout* page) {
  // Six choices wrap onto a second line in a narrow window rather than scroll sideways.
  auto* row = new QWidget(this);
  auto* flow = new FlowLayout(row);
  auto* group = new QButtonGroup(this);
  for (int i = 0; i < CalibrationSetup::kCount; ++i) {
    auto* b = new QRadioButton(QString("Калибровка %1").arg(i + 1), row);
    setups_[static_cast<size_t>(i)] = b;
    group->addButton(b, i);
    flow->addWidget(b, 0);
  }
  page->addWidget(row);
  connect(group, &QButtonGroup::idToggled, this, [this](int id, bool on) {
    if (on) SelectSetup(id);
  });
}

void CDlgCalibrate::BuildOptions(QVBoxLayout* page) {
  use_ = new QCheckBox("Использовать калибровку", this);
  page->addWidget(use_);
  kind_ = new QComboBox(this);
  kind_->addItem("По одной точке с низким КСВ (балансирование моста)");
  kind_->addItem("По трем точкам (например 50 Ом, КЗ, ХХ)");
  page->addWidget(kind_);
  auto* smooth = new QHBoxLayout;
  aper_ = new QSpinBox(this);
  aper_->setRange(0, 150);
  aper_->setKeyboardTracking(false);
  smooth->addWidget(new QLabel("Сглаживать измерения калибровки по", this));
  smooth->addWidget(aper_);
  smooth->addWidget(new QLabel("соседним измерениям", this));
  smooth->addStretch(1);
  page->addLayout(smooth);
  auto* boxes = new QHBoxLayout;
  is_med_ = new QCheckBox("Фильтрация аномалий", this);
  is_med_->setEnabled(false);  // kept in the settings only
  korr_ao_ = new QCheckBox("Исправлять A/O", this);
  korr_a_ = new QCheckBox("Исправлять |Вх|", this);
  for (QCheckBox* b : {is_med_, korr_ao_, korr_a_}) boxes->addWidget(b);
  boxes->addStretch(1);
  page->addLayout(boxes);
  connect(use_, &QCheckBox::toggled, this, &CDlgCalibrate::Apply);
  connect(kind_, &QComboBox::currentIndexChanged, this, &CDlgCalibrate::Apply);
  connect(aper_, &QSpinBox::valueChanged, this, &CDlgCalibrate::Apply);
  connect(korr_ao_, &QCheckBox::toggled, this, &CDlgCalibrate::Apply);
  connect(korr_a_, &QCheckBox::toggled, this, &CDlgCalibrate::Apply);
}

void CDlgCalibrate::ShowSetup(const CalibrationSetup& s) {
  loading_ = true;
  kind_->setCurrentIndex(s.cal_type == 1 ? 1 : 0);
  aper_->setValue(s.aper2);
  is_med_->setChecked(s.is_med != 0);
  korr_ao_->setChecked(s.is_korr_ao != 0);
  korr_a_->setChecked(s.is_korr_a != 0);
  for (size_t i = 0; i < 3; ++i) {
    rows_[i]->SetFileName(QString::fromStdString(s.names[i]));
    rows_[i]->ShowLoad(s.loads_ohm[i]);
    rows_[i]->SetUsed(i == 0 || s.cal_type == 1);
  }
  loading_ = false;
}

CalibrationSetup CDlgCalibrate::ReadControls() const {
  CalibrationSetup s;
  s.cal_type = kind_->currentIndex() == 1 ? 1 : 0;
  s.aper2 = aper_->value();
  s.is_med = is_med_->isChecked() ? 1 : 0;
  s.is_korr_ao = korr_ao_->isChecked() ? 1 : 0;
  s.is_korr_a = korr_a_->isChecked() ? 1 : 0;
  for (size_t i = 0; i < 3; ++i) {
    s.names[i] = rows_[i]->FileName().toStdString();
    s.loads_ohm[i] = rows_[i]->Load();
  }
  return s;
}

void CDlgCalibrate::Apply() { Store(false); }

void CDlgCalibrate::Store(bool force) {
  if (loading_) return;
  const CalibrationSetup s = ReadControls();
  const bool is_cal = use_->isChecked();
  const bool switched = is_cal != calibration_.IsCal();
  const bool changed = force || switched || !SameSetup(s, shown_);
  ShowSetup(s);  // a load text that did not read now shows the value used
  if (!changed) return;
  bool saved = SaveCalibrationSetup(number_, s, &shown_);
  if (switched) saved &= SaveCalibrationSwitch({is_cal, number_});
  shown_ = s;
  if (!saved) {
    Log() << LogColour(kColourError) << "CDlgCalibrate::Apply() - настройки калибровки не записаны\n"
          << LogColour(kColourNormal);
  }
  Reload();
  emit calibrationChanged();
}

void CDlgCalibrate::SelectSetup(int number) {
  if (loading_ || number < 0 || number >= CalibrationSetup::kCount) return;
  number_ = number;
  loading_ = true;
  setups_[static_cast<size_t>(number)]->setChecked(true);
  loading_ = false;
  SaveCalibrationSwitch({use_->isChecked(), number_});
  shown_ = LoadCalibrationSetup(number_);
  ShowSetup(shown_);
  Reload();
  emit calibrationChanged();
}

void CDlgCalibrate::ReloadSwitch() {
  const CalibrationSwitch sw = LoadCalibrationSwitch();
  loading_ = true;
  use_->setChecked(sw.is_cal);
  loading_ = false;
  if (sw.var_cal != number_) return SelectSetup(sw.var_cal);
  Reload();
}

void CDlgCalibrate::Open() {
  ReadSettings();
  show();
  raise();
  activateWindow();
}

void CDlgCalibrate::Reload() {
  calibration_.Load(number_, shown_, use_->isChecked());
  Refresh();
}

void CDlgCalibrate::Refresh() {
  const std::vector<FrequencySpan> plan = PlanSpans(scan_plan_text ? scan_plan_text() : std::string());
  for (int i = 0; i < 3; ++i) {
    const CalibrationTable& t = calibration_.Table(i);
    const bool used = i == 0 || shown_.cal_type == 1;
    Row(i).ShowTable(t, used, CoverageText(t, plan), !UncoveredSpans(t, plan).empty());
  }
  const bool bad = calibration_.IsCal() && !calibration_.IsCalibrationValid();
  summary_->setText(calibration_.InUse()
                        ? QString("Калибровка %1 применяется").arg(number_ + 1)
                        : QString::fromStdString(calibration_.WhyNotInUse()));
  summary_->setStyleSheet(bad ? "background-color: rgb(255,190,190);" : "");
  const std::string warnings = Join(CalibrationWarnings(calibration_));
  warnings_->setText(QString::fromStdString(warnings));
  warnings_->setVisible(!warnings.empty());
}

void CDlgCalibrate::RefreshCoverage() { Refresh(); }

void CDlgCalibrate::ChooseFile(int file) {
  const QString current = Row(file).FileName();
  const QString folder = current.isEmpty() ? QString::fromStdString(ResultsStore::ResultsFolder())
                                           : QFileInfo(current).absolutePath();
  const QString path = choose_file(
      "Выбирете файл с результатами сканирования, который будет использоваться для регулировки усиления", folder);
  if (path.isEmpty()) return;
  Row(file).SetFileName(path);
  // Choosing the same file again reads it again: it may have been measured anew.
  Store(true);
}

void CDlgCalibrate::changeEvent(QEvent* e) {
  QDialog::changeEvent(e);
  if (e->type() == QEvent::ActivationChange && isActiveWindow()) RefreshCoverage();
}

}  // namespace kavu
