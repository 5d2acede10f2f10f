// First cut of the live picture: the background, the result lines and the double click. The
// spectrum, the marker and the waterfall are drawn by the next version of this file.
#include "scan/ui/spectrum_view.h"

#include <QMouseEvent>
#include <QPainter>

namespace kavu {

SpectrumView::SpectrumView(LiveSpectrum& spectrum, const SpektrSettings& settings, QWidget* parent)
    : QWidget(parent), spectrum_(spectrum), settings_(settings) {
  setMinimumHeight(120);
}

SpectrumView::~SpectrumView() = default;

void SpectrumView::SetTuning(double receiver_hz, double rate_hz, double generator_hz, double bandwidth_hz) {
  receiver_hz_ = receiver_hz;
  rate_hz_ = rate_hz;
  generator_hz_ = generator_hz;
  bandwidth_hz_ = bandwidth_hz;
  update();
}

void SpectrumView::SetResultLines(const std::vector<std::string>& lines, bool previous_cycle) {
  result_lines_ = lines;
  previous_cycle_ = previous_cycle;
  update();
}

void SpectrumView::SpectrumFrameReady(int64_t /*number*/) { update(); }

void SpectrumView::paintEvent(QPaintEvent* /*event*/) {
  QPainter p(this);
  const int middle = height() / 2;
  p.fillRect(0, 0, width(), middle, QColor(192, 192, 192));
  p.fillRect(0, middle, width(), height() - middle, Qt::black);
  const int step = p.fontMetrics().height();
  int y = middle;
  for (const std::string& line : result_lines_) {
    const QString text = QString::fromStdString(line);
    const QRect box(10, y, p.fontMetrics().horizontalAdvance(text), step);
    p.fillRect(box, previous_cycle_ ? QColor(255, 255, 190) : QColor(Qt::white));
    p.setPen(Qt::black);
    p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, text);
    y += step;
  }
}

void SpectrumView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (width() > 0) emit DoubleClicked(event->position().x() / width());
}

}  // namespace kavu
