#include "scan/ui/cdlg_bpf_show.h"

#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "results/ui/help_key.h"
#include "scan/scan_station.h"
#include "shell/ui/screen_fit.h"

namespace kavu {

CDlgBpfShow::CDlgBpfShow(std::shared_ptr<const SampleRatePlan> plan, QWidget* parent)
    : QDialog(parent), list_(plan) {
  setWindowTitle("Синтезированный ФНЧ");
  new HelpKey(*this, "CDlgBpfShow");
  setModal(true);
  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(4, 4, 4, 4);
  label_ = new QLabel(this);
  label_->setObjectName("1128");
  label_->setWordWrap(true);
  label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label_->setText(plan ? QString::fromStdString(BpfShowText(*plan)) : QString("Нет плана частоты дискретизации"));
  top->addWidget(label_);
  graph_ = new CDlgGraph(this);
  top->addWidget(graph_, 1);
  if (plan) {
    graph_->AddColourBand(-list_.BandHalfKhz(), list_.BandHalfKhz(), kBandRgb);
    graph_->SetList(&list_);
  }
  // At most nine tenths of the screen, for small screens and large scale factors.
  ResizeWithinScreen(*this, QSize(900, 560));
}

CDlgBpfShow::CDlgBpfShow(ScanStation& station, QWidget* parent) : CDlgBpfShow(station.Keeper().Published(), parent) {}

}  // namespace kavu
