#pragma once
// UpDownControl: a bare pair of arrow buttons (a spin control without an edit field), vertical
// (up over down) or horizontal (left beside right). Every step, from a click, from holding a
// button down (auto-repeat) or from an arrow key while it has the focus, is announced first by
// DeltaPos(delta) with delta = ±1, whatever the position; the position then moves by delta
// inside the range, wrapping round when Wrap is on and stopping at the ends otherwise.
//
// The sign follows the range's direction: with min < max the up (right) arrow gives +1, with
// min > max (the unset range, 100 … 0) it gives −1.
#include <QTimer>
#include <QWidget>

namespace kavu {

class UpDownControl : public QWidget {
  Q_OBJECT
 public:
  enum class Arrow { kNone, kDecrement, kIncrement };  // down/left, up/right

  explicit UpDownControl(Qt::Orientation orientation, QWidget* parent = nullptr);

  Qt::Orientation Orientation() const { return orientation_; }
  void SetRange(int min, int max);
  int Minimum() const { return min_; }
  int Maximum() const { return max_; }
  void SetWrap(bool wrap) { wrap_ = wrap; }
  bool Wrap() const { return wrap_; }
  int Position() const { return pos_; }
  void SetPosition(int pos);

  // Which arrow lies under a point of the widget (kNone outside both).
  Arrow ArrowAt(QPoint p) const;
  // The rectangle of one arrow's button.
  QRect ArrowRect(Arrow a) const;
  // One step as the given arrow makes it: DeltaPos, then the position moves.
  void Step(Arrow a);

  // Auto-repeat while a button is held: the first repeat after kRepeatDelayMs, then every
  // kRepeatIntervalMs.
  static constexpr int kRepeatDelayMs = 400;
  static constexpr int kRepeatIntervalMs = 80;

  QSize sizeHint() const override;

 signals:
  void DeltaPos(int delta);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void leaveEvent(QEvent*) override;
  void changeEvent(QEvent*) override;

 private:
  void Repeat();
  void StopRepeat();

  Qt::Orientation orientation_;
  int min_ = 100, max_ = 0;  // the range a fresh control has
  int pos_ = 0;
  bool wrap_ = false;
  Arrow pressed_ = Arrow::kNone;  // the button held down
  Arrow hover_ = Arrow::kNone;
  bool pressed_inside_ = false;  // the pointer is still over the held button
  QTimer repeat_;
};

}  // namespace kavu
