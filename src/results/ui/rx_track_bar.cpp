#include "results/ui/rx_track_bar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>

namespace kavu {

RxTrackBar::RxTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setTickPosition(QSlider::TicksBelow);
  setMinimumWidth(200);
}

void RxTrackBar::SetSelection(int lo, int hi) {
  lo_ = lo, hi_ = hi;
  update();
}

void RxTrackBar::paintEvent(QPaintEvent* e) {
  QSlider::paintEvent(e);
  if (maximum() <= minimum()) return;
  QStyleOptionSlider opt;
  initStyleOption(&opt);
  const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
  const QRect handle = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
  const int span = groove.width() - handle.width();
  auto x = [&](int v) {
    return groove.left() + handle.width() / 2 +
           QStyle::sliderPositionFromValue(minimum(), maximum(), std::clamp(v, minimum(), maximum()), span);
  };
  QPainter p(this);
  p.fillRect(QRect(QPoint(x(std::min(lo_, hi_)), height() - 4), QPoint(x(std::max(lo_, hi_)), height() - 2)),
             QColor(0, 90, 200));
}

}  // namespace kavu
