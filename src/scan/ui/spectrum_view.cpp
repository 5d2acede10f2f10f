// The live picture, drawn in layers: light grey upper half, generator marker, spectrum curves
// (column plotter), the waterfall ring below, and the result lines over the waterfall.
#include "scan/ui/spectrum_view.h"

#include <QMouseEvent>
#include <QPainter>

#include "results/paint/graph_painter.h"
#include "scan/spectrum_geometry.h"

namespace kavu {

namespace geo = spectrum_geometry;

namespace {

const QColor kUpperBackground(192, 192, 192);
const QColor kCurveB(0, 0, 255);
const QColor kPreviousCycleBackground(255, 255, 190);

}  // namespace

SpectrumView::SpectrumView(LiveSpectrum& spectrum, const SpektrSettings& settings, QWidget* parent)
    : QWidget(parent), spectrum_(spectrum), settings_(settings), waterfall_(width()) {
  setMinimumHeight(120);
  // Every pixel is painted each time: Qt need not clear the background first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  repaintLater_.setSingleShot(true);
  connect(&repaintLater_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
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

void SpectrumView::SpectrumFrameReady(int64_t /*number*/) { ShowFrame(spectrum_.Graph(), spectrum_.TakeLines()); }

void SpectrumView::ShowFrame(SpectrumFrame graph, const std::vector<SpectrumFrame>& lines) {
  if (graph.number > 0) graph_ = std::move(graph);
  waterfall_.Resize(width());  // a hidden widget gets its resize event only when shown
  for (const SpectrumFrame& line : lines) waterfall_.AddLine(line.a, settings_.m_VdMin, settings_.m_VdMax);
  ScheduleRepaint();
}

void SpectrumView::ScheduleRepaint() {
  if (repaintLater_.isActive()) return;  // the held-back repaint will show this frame too
  const qint64 since = lastPaint_.isValid() ? lastPaint_.elapsed() : kMinRepaintMs;
  if (since >= kMinRepaintMs)
    update();
  else
    repaintLater_.start(static_cast<int>(kMinRepaintMs - since));
}

void SpectrumView::paintEvent(QPaintEvent* /*event*/) {
  lastPaint_.start();
  QPainter p(this);
  PaintTo(p);
}

void SpectrumView::PaintTo(QPainter& p) {
  const int middle = height() / 2;
  waterfall_.Resize(width());
  p.fillRect(0, 0, width(), middle, kUpperBackground);
  DrawMarker(p);
  DrawCurve(p, graph_.a, Qt::black, middle);
  DrawCurve(p, graph_.b, kCurveB, middle);
  const QRect below(0, middle, width(), height() - middle);
  waterfall_.Draw(p, below);
  if (below.height() > WaterfallImage::kRows)
    p.fillRect(0, middle + WaterfallImage::kRows, width(), below.height() - WaterfallImage::kRows, Qt::black);
  DrawResultLines(p, middle);
}

void SpectrumView::DrawMarker(QPainter& p) const {
  const auto m = geo::Marker(receiver_hz_, rate_hz_, generator_hz_, bandwidth_hz_, width());
  if (!m) return;
  p.setPen(QPen(GraphPainter::LineColour(m->colour), 2));
  const int half = std::max(m->w, 10);
  const int top = 0;
  p.drawLine(m->x - half, top + 1, m->x + half, top + 1);
  p.drawLine(m->x - m->w, top, m->x - m->w, top + 3);
  p.drawLine(m->x + m->w, top, m->x + m->w, top + 3);
}

void SpectrumView::DrawCurve(QPainter& p, const std::vector<float>& bins, const QColor& colour, int middle) {
  if (bins.size() != static_cast<size_t>(geo::kBins) || middle < 1) return;
  const int w = width();
  plotter_.Begin();
  for (int j = 0; j < geo::kBins; ++j) {
    const double level = geo::LevelDb(bins[static_cast<size_t>(geo::DisplayBin(j))]);
    plotter_.Add(geo::BinColumn(j, w), geo::SpectrumRow(level, settings_.m_GrMin, settings_.m_GrMax, 0, middle));
  }
  plotter_.Finish();
  p.setPen(QPen(colour, 1));
  plotter_.Draw(p);
}

void SpectrumView::DrawResultLines(QPainter& p, int middle) const {
  const QFontMetrics metrics(font());
  const int step = metrics.height();
  int y = middle;
  p.setFont(font());
  for (const std::string& line : result_lines_) {
    const QString text = QString::fromStdString(line);
    const QRect box(10, y, metrics.horizontalAdvance(text), step);
    p.fillRect(box, previous_cycle_ ? kPreviousCycleBackground : QColor(Qt::white));
    p.setPen(Qt::black);
    p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, text);
    y += step;
  }
}

void SpectrumView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (width() > 0) emit DoubleClicked(event->position().x() / width());
}

void SpectrumView::resizeEvent(QResizeEvent* event) {
  waterfall_.Resize(width());
  QWidget::resizeEvent(event);
}

}  // namespace kavu
