#pragma once
// CDlgGraph: the graph window. Draws one OGrList as a stack of panes sharing a frequency axis and
// lets the user move and zoom both axes with the mouse, the wheel, keys, scroll bars and a
// context menu. A spin control beside each pane's scroll bar and one left of the horizontal bar
// zoom their axis by 1.1 per step around the centre of the visible range. The drawing is cached: paintEvent blits the cached image unless data, ranges or
// the size changed (Invalidate()).
#include <QImage>
#include <QScrollBar>
#include <QWidget>
#include <memory>
#include <vector>

#include "results/gr_list.h"
#include "results/graph_layout.h"
#include "results/paint/graph_painter.h"
#include "results/ui/up_down_control.h"

class QMenu;

namespace kavu {

class CDlgGraph : public QWidget {
  Q_OBJECT
 public:
  explicit CDlgGraph(QWidget* parent = nullptr);

  // Attaches a list (not owned; null detaches) and autoscales every axis.
  void SetList(OGrList* list);
  OGrList* List() const { return list_; }
  TGrDia& Horizontal() { return horizontal_; }
  int SelectedPane() const { return selected_; }
  const GraphLayout& Layout() const { return layout_; }
  int PlotLeft() const { return painter_.PlotLeft(); }
  int PlotRight() const { return painter_.PlotRight(); }

  // Colour bands filled behind the lines of every pane over their stretch of the horizontal
  // axis. At most kMaxColourBands: beyond that nothing is added and false is returned.
  bool AddColourBand(double from, double to, uint32_t rgb);
  void ClearColourBands();
  const std::vector<GraphColourBand>& ColourBands() const { return bands_; }

  // The cached drawing is redrawn at the next paint (data or ranges changed).
  void Invalidate();
  // Renders now (if needed) and returns the cached image, at the screen's density (its
  // devicePixelRatio); for tests and pictures.
  const QImage& Rendered();
  int RenderCount() const { return renders_; }

  // A key as the results window forwards it. Returns true when it was one of the graph's keys.
  bool HandleKey(int key, Qt::KeyboardModifiers mods, int repeat = 1);
  // Wheel by `notches` (120ths of the delta, fractional from touchpads) at a client point.
  void WheelAt(QPoint pos, double notches, Qt::KeyboardModifiers mods, Qt::MouseButtons buttons);
  // Builds the context menu of the frequency axis (pane −1) or of a pane's axis.
  std::unique_ptr<QMenu> BuildAxisMenu(int pane);

  // The spin controls: the frequency axis's (left of the horizontal bar) and one per pane,
  // made when a list brings new graphs and destroyed with their pane.
  UpDownControl* HorizontalSpin() const { return hspin_; }
  int PaneControlCount() const { return static_cast<int>(vbars_.size()); }
  UpDownControl* PaneSpin(int pane) const;
  QScrollBar* PaneBar(int pane) const;
  // A spin's step for the frequency axis (pane −1) or a pane's axis: zoom by 1.1^delta around
  // the centre of the visible range; a pane's spin also selects its pane.
  void OnSpin(int pane, int delta);

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void wheelEvent(QWheelEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void contextMenuEvent(QContextMenuEvent*) override;

 private:
  void Relayout();
  void PlaceControls();  // the bars and spins onto the layout's rectangles
  void MakePaneControls(int pane);
  GraphLayoutInput LayoutInput() const;
  void SyncBars();
  void SyncBar(QScrollBar* bar, const TGrDia& axis, bool reversed);
  void OnBarAction(int pane, int action);
  TGrDia* PaneAxis(int pane);
  void Changed();  // a range changed: bars follow, drawing redone
  void MenuCommand(TGrDia& axis, int k, bool value_axis);
  void Pan(int dx, int dy);

  OGrList* list_ = nullptr;
  TGrDia horizontal_;
  GraphPainter painter_;
  GraphLayout layout_;
  QScrollBar* hbar_;
  std::vector<QScrollBar*> vbars_;
  UpDownControl* hspin_;
  std::vector<UpDownControl*> vspins_;
  std::vector<GraphColourBand> bands_;
  QImage cache_;
  bool dirty_ = true;
  int renders_ = 0;
  int selected_ = 0;
  int captured_ = -1;
  int cap_zone_ = 0;
  QPoint last_pos_;
  QPoint mouse_pos_;
  double d_width_ = 4.0;  // the width the 'D' key returns to, MHz
  bool syncing_ = false;
};

}  // namespace kavu
