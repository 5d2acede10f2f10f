#pragma once
// The drawing area of the R and X diagram. Keeps the drawn diagram as an image and only blits
// it when painted; the read-out under the pointer (circle diagram) is drawn over it. A left
// click places the colour scale, dragging with the left button sets its length.
#include <QImage>
#include <QWidget>
#include <string>
#include <vector>

#include "results/paint/rx_painter.h"

namespace kavu {

class RxCanvas : public QWidget {
  Q_OBJECT
 public:
  explicit RxCanvas(QWidget* parent = nullptr);

  // The scene to draw; the series it points to must stay alive until the next SetScene.
  void SetScene(const RxScene& scene);
  const RxScene& Scene() const { return scene_; }
  // The cached picture (drawn on demand at the widget's size).
  const QImage& Picture();
  // The read-out lines now shown (empty outside the unit circle or in the R–X plane).
  const std::vector<std::string>& Readout() const { return readout_; }

  // Pointer actions, in widget pixels (the mouse events call these).
  void PointerMoved(QPoint at, bool left_button);
  void LeftPressed(QPoint at);

 signals:
  void scaleMoved();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  void Redraw();

  RxScene scene_;
  RxPainter painter_;
  QImage picture_;
  bool dirty_ = true;
  std::vector<std::string> readout_;
  int drag_from_x_ = 0;
};

}  // namespace kavu
