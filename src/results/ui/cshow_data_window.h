#pragma once
// CShowDataWindow: the top-level window "Результаты". Owns nothing of the scan: it is given the
// results store (which outlives it) and hosts the graph-selection panel along its top and the
// graph window below. It turns the panel's settings into the graph list, opens scan files into
// the current set and the comparison slots, exports the current set as text and forwards keys
// to the graphs (Esc goes to the panel).
#include <QScrollArea>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "measure/results_point_source.h"
#include "results/gr_list_ekg.h"
#include "results/results_store.h"
#include "results/ui/cdlg_graph.h"
#include "results/ui/cdlg_rx.h"
#include "results/ui/cdlg_select_graph.h"

namespace kavu {

class CShowDataWindow : public QWidget {
  Q_OBJECT
 public:
  // Computes with `measure`'s snapshots (the station's, shared with scans and the web page), which
  // outlives the window; a recalibration or a change of the panel's bridge publishes there.
  CShowDataWindow(ResultsStore& store, MeasureKeeper& measure, QWidget* parent = nullptr);
  // A window of its own (a scan file opened alone): its own keeper, loaded from the settings.
  explicit CShowDataWindow(ResultsStore& store, QWidget* parent = nullptr);
  ~CShowDataWindow() override;

  // Chooses files for opening: (title, start file) → chosen paths, empty when cancelled.
  // Replaced in tests; the default is the standard file dialog.
  std::function<QStringList(const QString& title, const QString& start)> choose_files;
  // Asks a yes/no/cancel question; true only for yes. Replaced in tests.
  std::function<bool(const QString& caption, const QString& text)> confirm;
  // Shows an information or error box. Replaced in tests.
  std::function<void(bool error, const QString& caption, const QString& text)> inform;
  // True while a scan appends to set 0: opening a file into the current set is refused.
  std::function<bool()> scan_running = [] { return false; };
  // The desktop's URL handler for help; null: the default. Replaced in tests.
  std::function<bool(const QString&)> open_link;
  // Opens the calibration window: the panel's "Настр..." button, and switching calibration on
  // while it is not valid. Null: the program has no calibration window (a notice says so).
  std::function<void()> open_calibration;
  // Opens the panel's help page with the given suffix.
  void Help(const std::string& suffix);

  // Loads set 0 (and set 1) at start; `command_line_file` wins over the stored name.
  void LoadAnts(const std::string& command_line_file);
  // Rebuilds the graph list from the panel and attaches it (timer 1300 ends here).
  void Rebuild();
  // The commands of the panel (0x1051's wParam).
  void Command(int code);
  // Repaint after points were appended (timer 17777); an open R and X diagram follows the scan.
  // A snapshot published meanwhile (a scan started, a recalibration elsewhere) rebuilds the lines.
  void DataChanged();

  CDlgGraph& Graph() { return *graph_; }
  CDlg_SelectGraph& Panel() { return *panel_; }
  OGrList_EKG& List() { return *list_; }
  // The R and X diagram (command 3100); null until first opened.
  CDlgRX* RxDiagram() { return rx_; }
  // The lines' point source: the measuring snapshot they are computed with.
  const ResultsPointSource& Source() const { return *source_; }

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  CShowDataWindow(ResultsStore& store, std::unique_ptr<MeasureKeeper> own, MeasureKeeper* shared, QWidget* parent);
  void OpenCurrent();
  void OpenComparison(int s);
  void ComparisonBoxChanged(int i);
  void ReloadSlots();
  void Export();
  void NotBuiltYet(const QString& what);
  void TitleForSlot(const char* format, int slot);
  void UpdateCalibration();
  void ShowRxDiagram();
  // Gives the panel's strip the height of the panel's lines at the window's width, at most half
  // the window (the strip then scrolls up and down).
  void FitPanel();

  ResultsStore* store_;
  CDlg_SelectGraph* panel_;
  QScrollArea* strip_ = nullptr;
  CDlgGraph* graph_;
  std::unique_ptr<MeasureKeeper> own_measure_;  // only without a shared keeper
  MeasureKeeper* measure_;
  std::unique_ptr<ResultsPointSource> source_;
  std::unique_ptr<OGrList_EKG> list_;
  GraphPanelSettings list_panel_;  // the settings the list was built from
  QTimer rebuild_timer_;
  CDlgRX* rx_ = nullptr;  // child window, made on first use
};

}  // namespace kavu
