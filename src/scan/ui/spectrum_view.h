#pragma once
// SpectrumView: the lower part of the main window while no scan runs. Upper half: the averaged
// spectrum of the receiver's band (input A black, input B blue) between m_GrMin and m_GrMax dB,
// with the generator's marker; lower half: the scrolling waterfall between m_VdMin and m_VdMax,
// and over it the result lines of the last scan.
//
// Frames come from LiveSpectrum: SpectrumFrameReady (window thread) takes the graph average and
// the waterfall lines waiting; the sample thread never touches the widget. Repaints are capped
// near 60 per second.
//
// A double click is not handled here: it is reported through DoubleClicked with the pointer's
// place as a fraction of the width (0 at the left edge), and the main window tunes from it.
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "scan/live_spectrum.h"
#include "scan/spektr_settings.h"
#include "scan/ui/column_plotter.h"
#include "scan/ui/waterfall_image.h"

namespace kavu {

class SpectrumView : public QWidget, public ISpectrumListener {
  Q_OBJECT

 public:
  // `spectrum` and `settings` must outlive the view; the limits are read at every drawing.
  SpectrumView(LiveSpectrum& spectrum, const SpektrSettings& settings, QWidget* parent = nullptr);
  ~SpectrumView() override;

  // Where the marker goes: receiver centre and sample rate (Hz), generator frequency (Hz; the
  // marker is drawn within 8 MHz of the centre) and the measuring bandwidth m_PolosaFM (Hz).
  void SetTuning(double receiver_hz, double rate_hz, double generator_hz, double bandwidth_hz);
  // The result lines written over the waterfall (first the last point, then one per range);
  // `previous_cycle` draws them on the cyclic scan's pale yellow instead of white.
  void SetResultLines(const std::vector<std::string>& lines, bool previous_cycle);

  // ISpectrumListener (window thread).
  void SpectrumFrameReady(int64_t number) override;

  // What SpectrumFrameReady does with the frames it takes: `graph` becomes the drawn spectrum and
  // each of `lines` (oldest first) a waterfall row coloured with the current limits; a repaint is
  // scheduled: at most one per kMinRepaintMs, frames arriving faster share it. A graph
  // of the wrong size draws no curve; a line of the wrong size is skipped.
  void ShowFrame(SpectrumFrame graph, const std::vector<SpectrumFrame>& lines);
  static constexpr int kMinRepaintMs = 16;  // about 60 repaints per second at most
  // Draws the whole picture as paintEvent does (for an offscreen image of the view's size).
  void PaintTo(QPainter& painter);
  const WaterfallImage& Waterfall() const { return waterfall_; }

 signals:
  void DoubleClicked(double fraction_of_width);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  LiveSpectrum& spectrum_;
  const SpektrSettings& settings_;
  double receiver_hz_ = 0, rate_hz_ = 0, generator_hz_ = 0, bandwidth_hz_ = 0;
  std::vector<std::string> result_lines_;
  bool previous_cycle_ = false;
  SpectrumFrame graph_;
  WaterfallImage waterfall_;
  ColumnPlotter plotter_;
  QElapsedTimer lastPaint_;  // since the last paintEvent
  QTimer repaintLater_;      // a repaint held back by the cap

  void ScheduleRepaint();

  // The layers, top to bottom; `middle` is the first row of the waterfall.
  void DrawMarker(QPainter& p) const;
  void DrawCurve(QPainter& p, const std::vector<float>& bins, const QColor& colour, int middle);
  void DrawResultLines(QPainter& p, int middle) const;
};

}  // namespace kavu
