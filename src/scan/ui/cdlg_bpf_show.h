#pragma once
// CDlgBpfShow: the filter view ("Синтезированный ФНЧ"), modal. Describes the synthesized low-pass
// filter of a sample-rate plan in one line (label 1128) and plots its response in dB against
// frequency in kHz, the measuring band ±m_PolosaFM / 2 marked in RGB 200, 255, 200.
#include <QDialog>
#include <QLabel>
#include <memory>

#include "dsp/sample_rate_plan.h"
#include "results/ui/cdlg_graph.h"
#include "scan/bpf_show_list.h"

namespace kavu {

class ScanStation;

class CDlgBpfShow : public QDialog {
  Q_OBJECT
 public:
  static constexpr uint32_t kBandRgb = 0xC8FFC8;

  // Shows `plan` (null: an empty view saying there is no plan).
  CDlgBpfShow(std::shared_ptr<const SampleRatePlan> plan, QWidget* parent = nullptr);
  // Shows the plan the station's scans use now.
  CDlgBpfShow(ScanStation& station, QWidget* parent = nullptr);

  QLabel& Label() { return *label_; }
  CDlgGraph& Graph() { return *graph_; }
  BpfShowList& List() { return list_; }

 private:
  BpfShowList list_;
  QLabel* label_;
  CDlgGraph* graph_;
};

}  // namespace kavu
