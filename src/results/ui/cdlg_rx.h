#pragma once
// CDlgRX: the window "Диаграмма R и X". Draws the impedance of the results window's shown sets
// over a chosen frequency window in the R–X plane ("RX") or as the circle diagram of the
// reflection coefficient ("КД"), with circles of constant SWR for lists of SWR values and cable
// impedances, a read-out under the pointer and a fit of an SWR circle to the points
// ("Подобрать!"). Reads the results store and the results window's panel settings and point
// source through `inputs` each time it recomputes; keeps its own settings in section "CDlgRX".
// The edits carry their control numbers as object names: "1032" window, "1035" SWR list,
// "1039" cable list.
#include <QWidget>
#include <functional>
#include <vector>

#include "results/graph_panel_settings.h"
#include "results/graph_point_source.h"
#include "results/results_store.h"
#include "results/rx_diagram_data.h"
#include "results/ui/rx_canvas.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace kavu {

class RxTrackBar;

class CDlgRX : public QWidget {
  Q_OBJECT
 public:
  // What the diagram reads from the results window; either may be null (nothing to draw).
  struct Inputs {
    const GraphPanelSettings* panel = nullptr;
    const IGraphPointSource* source = nullptr;
  };
  CDlgRX(ResultsStore& store, std::function<Inputs()> inputs, QWidget* parent = nullptr);

  // Re-reads the shown sets, recomputes the data range and the track bar, sets the title and
  // repaints. The results window calls it after every rebuild of its graphs.
  void Recalc();

  // The controls' actions (also used by tests and keys).
  void MoveTrack(int mhz, bool shift);  // track bar moved; Shift swaps НЧ/ВЧ
  void ChooseLo(bool lo);               // "НЧ" (true) or "ВЧ"
  void SetColourType(int type);
  void SetMode(int mode);               // 0 RX, 1 КД
  void StepSwr(int steps);              // spin of the SWR list, 0.1 per step
  void StepCable(int steps);            // spin of the cable list, 0.1 Ω per step
  void SetLists(const QString& swrs, const QString& cables);
  void Fit();                           // "Подобрать!"

  const RxDiagramSettings& Values() const { return settings_; }
  RxRange DataRange() const { return range_; }
  QString WindowText() const;  // edit 1032
  QString SwrText() const;
  QString CableText() const;
  RxCanvas& Canvas() { return *canvas_; }
  const std::vector<RxSeries>& Series() const { return series_; }

 private:
  QWidget* BuildWindowRow();
  QWidget* BuildListRow();
  void ShowSettings();
  void Changed();  // store, refresh the controls, repaint

  ResultsStore* store_;
  std::function<Inputs()> inputs_;
  RxDiagramSettings settings_;
  RxRange range_;
  double z0_ = 50, rmax_ = 1500;
  std::vector<RxSeries> series_;
  bool updating_ = false;

  RxTrackBar* track_ = nullptr;
  QLineEdit* window_edit_ = nullptr;
  QRadioButton* lo_ = nullptr;
  QRadioButton* hi_ = nullptr;
  QComboBox* colours_ = nullptr;
  QLineEdit* swr_edit_ = nullptr;
  QLineEdit* cable_edit_ = nullptr;
  QRadioButton* mode_rx_ = nullptr;
  QRadioButton* mode_chart_ = nullptr;
  RxCanvas* canvas_ = nullptr;
};

}  // namespace kavu
