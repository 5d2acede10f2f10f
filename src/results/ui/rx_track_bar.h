#pragma once
// The frequency track bar of the R and X diagram: a horizontal slider over the data range (MHz)
// that also shows the chosen window [lo, hi] as a band under its groove.
#include <QSlider>

namespace kavu {

class RxTrackBar : public QSlider {
  Q_OBJECT
 public:
  explicit RxTrackBar(QWidget* parent = nullptr);
  void SetSelection(int lo, int hi);
  int SelectionLo() const { return lo_; }
  int SelectionHi() const { return hi_; }

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  int lo_ = 0, hi_ = 0;
};

}  // namespace kavu
