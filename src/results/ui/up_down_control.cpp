#include "results/ui/up_down_control.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionToolButton>
#include <algorithm>

namespace kavu {

UpDownControl::UpDownControl(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), orientation_(orientation) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_Hover);
  connect(&repeat_, &QTimer::timeout, this, &UpDownControl::Repeat);
}

void UpDownControl::SetRange(int min, int max) {
  min_ = min, max_ = max;
  SetPosition(pos_);
}

void UpDownControl::SetPosition(int pos) {
  pos_ = std::clamp(pos, std::min(min_, max_), std::max(min_, max_));
}

QRect UpDownControl::ArrowRect(Arrow a) const {
  if (a == Arrow::kNone) return {};
  const QRect r = rect();
  if (orientation_ == Qt::Horizontal) {
    const int half = r.width() / 2;
    // Left: decrement; right: increment (it takes the odd pixel).
    return a == Arrow::kDecrement ? QRect(0, 0, half, r.height()) : QRect(half, 0, r.width() - half, r.height());
  }
  const int half = r.height() / 2;
  // Top: increment; bottom: decrement.
  return a == Arrow::kIncrement ? QRect(0, 0, r.width(), half) : QRect(0, half, r.width(), r.height() - half);
}

UpDownControl::Arrow UpDownControl::ArrowAt(QPoint p) const {
  for (Arrow a : {Arrow::kDecrement, Arrow::kIncrement}) {
    if (ArrowRect(a).contains(p)) return a;
  }
  return Arrow::kNone;
}

void UpDownControl::Step(Arrow a) {
  if (a == Arrow::kNone || !isEnabled()) return;
  const int delta = (a == Arrow::kIncrement ? 1 : -1) * (max_ < min_ ? -1 : 1);
  QPointer<UpDownControl> alive(this);
  emit DeltaPos(delta);
  if (!alive) return;  // a receiver removed the control
  const int lo = std::min(min_, max_), hi = std::max(min_, max_);
  const int next = pos_ + delta;
  if (next < lo) pos_ = wrap_ ? hi : lo;
  else if (next > hi) pos_ = wrap_ ? lo : hi;
  else pos_ = next;
}

void UpDownControl::Repeat() {
  repeat_.setInterval(kRepeatIntervalMs);
  if (pressed_ != Arrow::kNone && pressed_inside_) Step(pressed_);
}

void UpDownControl::StopRepeat() {
  repeat_.stop();
  pressed_ = Arrow::kNone;
  pressed_inside_ = false;
  update();
}

QSize UpDownControl::sizeHint() const {
  const int e = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  return orientation_ == Qt::Horizontal ? QSize(2 * e, e) : QSize(e, e * 3 / 2);
}

void UpDownControl::paintEvent(QPaintEvent*) {
  QPainter p(this);
  for (Arrow a : {Arrow::kDecrement, Arrow::kIncrement}) {
    QStyleOptionToolButton opt;
    opt.initFrom(this);
    opt.rect = ArrowRect(a);
    opt.subControls = QStyle::SC_ToolButton;
    opt.features = QStyleOptionToolButton::Arrow;
    opt.toolButtonStyle = Qt::ToolButtonIconOnly;
    const bool down = pressed_ == a && pressed_inside_;
    opt.activeSubControls = down ? QStyle::SC_ToolButton : QStyle::SC_None;
    opt.state &= ~(QStyle::State_MouseOver | QStyle::State_HasFocus);
    opt.state |= down ? QStyle::State_Sunken : QStyle::State_Raised;
    if (hover_ == a && isEnabled()) opt.state |= QStyle::State_MouseOver;
    if (orientation_ == Qt::Horizontal) opt.arrowType = a == Arrow::kDecrement ? Qt::LeftArrow : Qt::RightArrow;
    else opt.arrowType = a == Arrow::kIncrement ? Qt::UpArrow : Qt::DownArrow;
    // The arrow at the size a scroll bar's arrow has in a button of this size.
    const int side = std::min(opt.rect.width(), opt.rect.height());
    opt.iconSize = QSize(side / 2, side / 2);
    style()->drawComplexControl(QStyle::CC_ToolButton, &opt, &p, this);
  }
  if (hasFocus()) {
    // A dotted frame inside the buttons shows where the arrow keys go.
    p.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
    p.drawRect(rect().adjusted(2, 2, -3, -3));
  }
}

void UpDownControl::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return e->ignore();
  const Arrow a = ArrowAt(e->position().toPoint());
  if (a == Arrow::kNone) return;
  pressed_ = a;
  pressed_inside_ = true;
  update();
  repeat_.start(kRepeatDelayMs);
  Step(a);
}

void UpDownControl::mouseMoveEvent(QMouseEvent* e) {
  const Arrow at = ArrowAt(e->position().toPoint());
  if (at != hover_) hover_ = at, update();
  // Leaving the held button pauses the repeat; coming back resumes it.
  const bool inside = pressed_ != Arrow::kNone && at == pressed_;
  if (inside != pressed_inside_) pressed_inside_ = inside, update();
}

void UpDownControl::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) StopRepeat();
}

void UpDownControl::leaveEvent(QEvent*) {
  hover_ = Arrow::kNone;
  update();
}

void UpDownControl::changeEvent(QEvent* e) {
  if (e->type() == QEvent::EnabledChange && !isEnabled()) StopRepeat();
  QWidget::changeEvent(e);
}

void UpDownControl::keyPressEvent(QKeyEvent* e) {
  const bool horizontal = orientation_ == Qt::Horizontal;
  Arrow a = Arrow::kNone;
  switch (e->key()) {
    case Qt::Key_Up: a = horizontal ? Arrow::kNone : Arrow::kIncrement; break;
    case Qt::Key_Down: a = horizontal ? Arrow::kNone : Arrow::kDecrement; break;
    case Qt::Key_Right: a = horizontal ? Arrow::kIncrement : Arrow::kNone; break;
    case Qt::Key_Left: a = horizontal ? Arrow::kDecrement : Arrow::kNone; break;
    default: break;
  }
  if (a == Arrow::kNone) return QWidget::keyPressEvent(e);
  Step(a);
}

}  // namespace kavu
