#include "results/ui/cdlg_rx.h"

#include <QButtonGroup>
#include <algorithm>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "results/ui/help_key.h"
#include "results/ui/rx_track_bar.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"
#include "shell/ui/screen_fit.h"

namespace kavu {
namespace {

// An up-down pair standing in for a spin control: `step` gets +1 or −1.
QWidget* SpinButtons(QWidget* parent, const QString& tip, std::function<void(int)> step) {
  auto* box = new QWidget(parent);
  auto* col = new QVBoxLayout(box);
  col->setContentsMargins(0, 0, 0, 0);
  col->setSpacing(0);
  for (int dir : {1, -1}) {
    auto* b = new QToolButton(box);
    b->setArrowType(dir > 0 ? Qt::UpArrow : Qt::DownArrow);
    b->setAutoRepeat(true);
    b->setFixedSize(18, 11);
    b->setToolTip(tip);
    b->setFocusPolicy(Qt::NoFocus);
    QObject::connect(b, &QToolButton::clicked, box, [step, dir] { step(dir); });
    col->addWidget(b);
  }
  return box;
}

}  // namespace

CDlgRX::CDlgRX(ResultsStore& store, std::function<Inputs()> inputs, QWidget* parent)
    : QWidget(parent, Qt::Window), store_(&store), inputs_(std::move(inputs)) {
  setWindowTitle("Диаграмма R и X");
  new HelpKey(*this, "CDlgRX");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(BuildWindowRow());
  layout->addWidget(BuildListRow());
  canvas_ = new RxCanvas(this);
  layout->addWidget(canvas_, 1);
  ResizeWithinScreen(*this, QSize(900, 760));  // 760 is more than a 768-line laptop screen leaves
  const Inputs in = inputs_();
  if (in.panel && in.source) series_ = GatherRxSeries(*store_, *in.panel, *in.source);
  settings_.Load(Settings(), RxSeriesRange(series_));
  Recalc();
}

QWidget* CDlgRX::BuildWindowRow() {
  auto* row = new QWidget(this);
  auto* h = new QHBoxLayout(row);
  h->setContentsMargins(0, 0, 0, 0);
  track_ = new RxTrackBar(row);
  track_->setToolTip("Граница окна частот (Shift: другая граница)");
  connect(track_, &QSlider::valueChanged, this, [this](int v) {
    if (!updating_) MoveTrack(v, QGuiApplication::keyboardModifiers() & Qt::ShiftModifier);
  });
  window_edit_ = new QLineEdit(row);
  window_edit_->setReadOnly(true);
  window_edit_->setObjectName("1032");
  window_edit_->setMaximumWidth(160);
  lo_ = new QRadioButton("НЧ", row);
  hi_ = new QRadioButton("ВЧ", row);
  auto* side = new QButtonGroup(row);
  side->addButton(lo_), side->addButton(hi_);
  connect(lo_, &QRadioButton::clicked, this, [this] { ChooseLo(true); });
  connect(hi_, &QRadioButton::clicked, this, [this] { ChooseLo(false); });
  h->addWidget(track_, 1);
  h->addWidget(window_edit_);
  h->addWidget(lo_);
  h->addWidget(hi_);
  return row;
}

QWidget* CDlgRX::BuildListRow() {
  auto* row = new QWidget(this);
  auto* h = new QHBoxLayout(row);
  h->setContentsMargins(0, 0, 0, 0);
  h->addWidget(new QLabel("Цвета:", row));
  colours_ = new QComboBox(row);
  colours_->addItems({"частота", "файл", "файл+частота"});
  connect(colours_, &QComboBox::activated, this, &CDlgRX::SetColourType);
  h->addWidget(colours_);
  h->addWidget(new QLabel("КСВ:", row));
  swr_edit_ = new QLineEdit(row);
  swr_edit_->setObjectName("1035");
  h->addWidget(swr_edit_, 1);
  h->addWidget(SpinButtons(row, "Первый КСВ ±0.1", [this](int d) { StepSwr(d); }));
  h->addWidget(new QLabel("для Rкаб:", row));
  cable_edit_ = new QLineEdit(row);
  cable_edit_->setObjectName("1039");
  h->addWidget(cable_edit_, 1);
  h->addWidget(SpinButtons(row, "Первое Rкаб ±0.1 Ом", [this](int d) { StepCable(d); }));
  auto lists_edited = [this] { SetLists(swr_edit_->text(), cable_edit_->text()); };
  connect(swr_edit_, &QLineEdit::editingFinished, this, lists_edited);
  connect(cable_edit_, &QLineEdit::editingFinished, this, lists_edited);
  auto* fit = new QPushButton("&Подобрать!", row);
  connect(fit, &QPushButton::clicked, this, &CDlgRX::Fit);
  h->addWidget(fit);
  mode_rx_ = new QRadioButton("RX", row);
  mode_chart_ = new QRadioButton("КД", row);
  auto* mode = new QButtonGroup(row);
  mode->addButton(mode_rx_), mode->addButton(mode_chart_);
  connect(mode_rx_, &QRadioButton::clicked, this, [this] { SetMode(0); });
  connect(mode_chart_, &QRadioButton::clicked, this, [this] { SetMode(1); });
  h->addWidget(mode_rx_);
  h->addWidget(mode_chart_);
  return row;
}

void CDlgRX::Recalc() {
  const Inputs in = inputs_();
  series_.clear();
  if (in.panel && in.source) {
    series_ = GatherRxSeries(*store_, *in.panel, *in.source);
    z0_ = in.panel->m_RCable, rmax_ = in.panel->m_RMax;
  }
  range_ = RxSeriesRange(series_);
  setWindowTitle(QString::fromStdString(RxTitle(range_, settings_.CircleMode(), z0_)));
  ShowSettings();
}

void CDlgRX::ShowSettings() {
  updating_ = true;
  track_->setRange(range_.lo, range_.hi);
  track_->SetSelection(settings_.m_ShowFMin, settings_.m_ShowFMax);
  track_->setValue(settings_.m_IsLo ? settings_.m_ShowFMin : settings_.m_ShowFMax);
  window_edit_->setText(WindowText());
  (settings_.m_IsLo ? lo_ : hi_)->setChecked(true);
  colours_->setCurrentIndex(settings_.m_ColorType);
  (settings_.CircleMode() ? mode_chart_ : mode_rx_)->setChecked(true);
  if (swr_edit_->text().toStdString() != settings_.sKSVs) swr_edit_->setText(QString::fromStdString(settings_.sKSVs));
  if (cable_edit_->text().toStdString() != settings_.sRCabs) cable_edit_->setText(QString::fromStdString(settings_.sRCabs));
  updating_ = false;
  RxScene scene = canvas_->Scene();
  scene.series = &series_;
  scene.settings = settings_;
  scene.z0 = z0_, scene.rmax = rmax_;
  canvas_->SetScene(scene);
}

void CDlgRX::Changed() {
  settings_.Store(Settings());
  ShowSettings();
}

QString CDlgRX::WindowText() const { return QString("%1 - %2 МГц").arg(settings_.m_ShowFMin).arg(settings_.m_ShowFMax); }
QString CDlgRX::SwrText() const { return swr_edit_->text(); }
QString CDlgRX::CableText() const { return cable_edit_->text(); }

void CDlgRX::MoveTrack(int mhz, bool shift) {
  const bool lo = (settings_.m_IsLo != 0) != shift;
  (lo ? settings_.m_ShowFMin : settings_.m_ShowFMax) = mhz;
  Changed();
}

void CDlgRX::ChooseLo(bool lo) {
  settings_.m_IsLo = lo ? 1 : 0;
  Changed();
}

void CDlgRX::SetColourType(int type) {
  settings_.m_ColorType = std::clamp(type, 0, 2);
  Changed();
}

void CDlgRX::SetMode(int mode) {
  settings_.m_Mode = mode ? 1 : 0;
  settings_.Store(Settings());
  Recalc();
}

// The spins start from the edit's text: a list typed but not yet left is not lost.
void CDlgRX::StepSwr(int steps) {
  settings_.sKSVs = StepFirstNumber(swr_edit_->text().toStdString(), steps, 1, 99, 1.1);
  Changed();
}

void CDlgRX::StepCable(int steps) {
  settings_.sRCabs = StepFirstNumber(cable_edit_->text().toStdString(), steps, 1, 999, 50);
  Changed();
}

void CDlgRX::SetLists(const QString& swrs, const QString& cables) {
  if (updating_) return;
  settings_.sKSVs = swrs.toStdString();
  settings_.sRCabs = cables.toStdString();
  Changed();
}

void CDlgRX::Fit() {
  const RxFitOutcome r = ApplyRxFit(settings_, series_, z0_);
  Log() << r.log << "\n";
  if (r.fit.ok) Changed();
}

}  // namespace kavu
