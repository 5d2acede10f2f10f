#include "scan/ui/cdlg_one_signal.h"

#include <QGridLayout>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "results/ui/help_key.h"
#include "scan/scan_station.h"
#include "shell/ui/screen_fit.h"

namespace kavu {
namespace {

constexpr std::array<const char*, 7> kBoxTexts = {
    "Сигнал A", "Фильтр ампл", "B (только Rsp2Duo)", "Исх как есть", "Фильтрованный", "Исх с децимацией", "Фазы"};

}  // namespace

CDlgOneSignal::CDlgOneSignal(ScanEngine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
  setWindowTitle("Сигнал одного измерения");
  new HelpKey(*this, "CDlgOneSignal");
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  engine_.SetSignalView(token_.Watch());
  choice_.Load();

  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(4, 4, 4, 4);
  // Two rows of boxes, so the view fits a small screen at a large scale factor.
  auto* row = new QGridLayout;
  auto fields = choice_.Fields();
  for (size_t i = 0; i < boxes_.size(); ++i) {
    auto* box = new QCheckBox(QString::fromUtf8(kBoxTexts[i]), this);
    box->setObjectName(QString::number(kBoxIds[i]));
    box->setChecked(*fields[i].second != 0);
    connect(box, &QCheckBox::toggled, this, [this, i](bool on) { BoxToggled(static_cast<int>(i), on); });
    row->addWidget(box, static_cast<int>(i / 4), static_cast<int>(i % 4));
    boxes_[i] = box;
  }
  row->setColumnStretch(4, 1);
  top->addLayout(row);
  graph_ = new CDlgGraph(this);
  top->addWidget(graph_, 1);
  // At most nine tenths of the screen, for small screens and large scale factors.
  ResizeWithinScreen(*this, QSize(980, 640));

  connect(&poll_, &QTimer::timeout, this, &CDlgOneSignal::Poll);
  poll_.start(kPollMs);
  Refresh();
}

CDlgOneSignal::CDlgOneSignal(ScanStation& station, QWidget* parent) : CDlgOneSignal(station.Engine(), parent) {}

QCheckBox* CDlgOneSignal::Box(int id) const {
  for (size_t i = 0; i < kBoxIds.size(); ++i) {
    if (kBoxIds[i] == id) return boxes_[i];
  }
  return nullptr;
}

void CDlgOneSignal::Refresh() {
  if (engine_.State() == ScanState::kIdle) {
    snap_.Take(engine_.Measurement(), engine_.Chain());
    seen_ = engine_.ScansEnded();
  }
  Rebuild();
}

void CDlgOneSignal::Poll() {
  if (engine_.State() == ScanState::kIdle && engine_.ScansEnded() != seen_) Refresh();
}

void CDlgOneSignal::Rebuild() {
  list_.Build(snap_, choice_);
  graph_->ClearColourBands();
  for (const TimeBand& b : snap_.bands) graph_->AddColourBand(b.from, b.to, b.rgb);
  graph_->SetList(&list_);
}

void CDlgOneSignal::BoxToggled(int index, bool on) {
  *choice_.Fields()[static_cast<size_t>(index)].second = on ? 1 : 0;
  choice_.Save();
  Rebuild();
}

}  // namespace kavu
