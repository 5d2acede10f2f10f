#pragma once
// CDlgOneSignal: the one-signal view ("Сигнал одного измерения"), modeless. Plots the stored
// samples of the last scan group against time (ms from the sync index) with the sync reference
// and the O and A windows of the group's last frequency marked as colour bands; seven check boxes
// choose the series (kept in the settings section "CDlg_SelectGraph").
//
// While the view exists every scan the engine starts measures one group only and no scan that
// ends is saved (the engine holds a token that expires with the view). The stores are read only
// while the engine is idle: the view copies them once after each scan ends (it watches the
// engine's count of ended scans) and at Refresh(); the copy is what it draws, so a following scan
// never changes the picture under it.
//
// Window thread only. The engine must outlive every call the view makes to it; the view touches
// it in no destructor, so it may be destroyed after the engine (as a child of the main window).
#include <QCheckBox>
#include <QDialog>
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>

#include "results/ui/cdlg_graph.h"
#include "scan/one_signal_gr_list.h"
#include "scan/scan_engine.h"
#include "shell/liveness.h"

namespace kavu {

class ScanStation;

class CDlgOneSignal : public QDialog {
  Q_OBJECT
 public:
  // Ids of the check boxes, in the order they are shown.
  static constexpr std::array<int, 7> kBoxIds = {1195, 1200, 1042, 1204, 1208, 1205, 1103};
  static constexpr int kPollMs = 100;

  CDlgOneSignal(ScanEngine& engine, QWidget* parent = nullptr);
  CDlgOneSignal(ScanStation& station, QWidget* parent = nullptr);

  // Takes the stores now if the engine is idle, then redraws; while a scan runs, only redraws
  // (the stores are taken when it ends).
  void Refresh();

  const OneSignalSnapshot& Snapshot() const { return snap_; }
  CDlgGraph& Graph() { return *graph_; }
  OneSignalGrList& List() { return list_; }
  QCheckBox* Box(int id) const;
  const OneSignalChoice& Choice() const { return choice_; }

 private:
  void Poll();
  void Rebuild();
  void BoxToggled(int index, bool on);

  ScanEngine& engine_;
  Liveness token_;
  OneSignalChoice choice_;
  OneSignalSnapshot snap_;
  OneSignalGrList list_;
  CDlgGraph* graph_;
  std::array<QCheckBox*, 7> boxes_{};
  QTimer poll_;
  uint64_t seen_ = UINT64_MAX;
};

}  // namespace kavu
