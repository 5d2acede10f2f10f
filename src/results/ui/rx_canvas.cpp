#include "results/ui/rx_canvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace kavu {

RxCanvas::RxCanvas(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setMinimumSize(200, 150);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void RxCanvas::SetScene(const RxScene& scene) {
  scene_ = scene;
  dirty_ = true;
  if (!scene_.settings.CircleMode()) readout_.clear();
  update();
}

const QImage& RxCanvas::Picture() {
  if (dirty_ || picture_.deviceIndependentSize() != QSizeF(size()) ||
      picture_.devicePixelRatio() != devicePixelRatioF()) {
    Redraw();
  }
  return picture_;
}

void RxCanvas::Redraw() {
  // Drawn at the screen's pixel density: on a high-density screen (scale factor 2) lines and
  // texts stay sharp instead of being blown up from half the pixels.
  const QSize logical(std::max(width(), 1), std::max(height(), 1));
  const qreal dpr = devicePixelRatioF();
  picture_ = QImage(logical * dpr, QImage::Format_RGB32);
  picture_.setDevicePixelRatio(dpr);
  QPainter p(&picture_);
  if (scene_.series) {
    painter_.Paint(p, QRect(QPoint(0, 0), logical), scene_);
  } else {
    picture_.fill(Qt::white);
  }
  dirty_ = false;
}

void RxCanvas::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, Picture());
  if (readout_.empty()) return;
  const QFontMetrics fm(font());
  int w = 0;
  for (const auto& line : readout_) w = std::max(w, fm.horizontalAdvance(QString::fromStdString(line)));
  const QRect box(10, 0, w + 4, fm.height() * static_cast<int>(readout_.size()));
  p.fillRect(box, Qt::white);
  p.setPen(Qt::black);
  for (size_t i = 0; i < readout_.size(); ++i) {
    p.drawText(QRect(10, fm.height() * static_cast<int>(i), w + 4, fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromStdString(readout_[i]));
  }
}

void RxCanvas::resizeEvent(QResizeEvent*) { dirty_ = true; }

void RxCanvas::PointerMoved(QPoint at, bool left_button) {
  if (left_button) {
    scene_.scale_length = std::max(at.x() - drag_from_x_, 1);
    dirty_ = true;
    emit scaleMoved();
  } else if (scene_.settings.CircleMode()) {
    const CircleChart chart(rect());
    readout_ = RxReadout(chart.ToGamma(QPointF(at)), scene_.z0);
  }
  update();
}

void RxCanvas::LeftPressed(QPoint at) {
  scene_.scale_at = at;
  drag_from_x_ = at.x();
  dirty_ = true;
  emit scaleMoved();
  update();
}

void RxCanvas::mouseMoveEvent(QMouseEvent* e) { PointerMoved(e->position().toPoint(), e->buttons() & Qt::LeftButton); }

void RxCanvas::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) LeftPressed(e->position().toPoint());
}

}  // namespace kavu
