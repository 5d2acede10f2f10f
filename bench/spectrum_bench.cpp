// Live picture benchmark, offscreen: one spectrum + waterfall frame of the main window's view at
// 1920 × 1000 pixels (2048 bins, a tone in noise, the waterfall ring full).
//   spectrum_frame_ms          a new graph frame and one waterfall line taken, then the whole view
//                              drawn: column-plotted curve, ring image blitted in two pieces
//                              (target under 2 ms)
//   spectrum_frame_median_ms   the median frame (a frame preempted on a busy machine left out)
//   spectrum_frame_cpu_ms      processor time of the drawing thread per frame
//   spectrum_take_ms, spectrum_paint_ms   its two parts: taking the frame (waterfall line
//                              coloured into the ring) and drawing the view
//   spectrum_naive_frame_ms    anchor: the same curve as one QPainter::drawPolyline of 2048 points
//                              and the waterfall area refilled pixel by pixel from the stored lines
//   spectrum_frame_ratio       ours ÷ naive
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <random>
#include <vector>

#include "bench_registry.h"
#include "qt_bench_app.h"
#include "dsp/fft_setup.h"
#include "dsp/ombpf2.h"
#include "scan/live_spectrum.h"
#include "scan/spectrum_geometry.h"
#include "scan/spektr_settings.h"
#include "scan/ui/spectrum_view.h"

namespace kavu::bench {
namespace {

using Clock = std::chrono::steady_clock;
namespace geo = spectrum_geometry;
constexpr int kWidth = 1920, kHeight = 1000;
constexpr int kFrames = 300;
constexpr int kNaiveFrames = 20;  // the anchor is slow: fewer frames are enough to compare

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// `count` frames of noise around −60 dB with a tone drifting slowly through the band.
std::vector<SpectrumFrame> SyntheticFrames(int count) {
  std::mt19937 rng(7);
  std::exponential_distribution<float> noise(1e6f);
  std::vector<SpectrumFrame> frames(static_cast<size_t>(count));
  for (int n = 0; n < count; ++n) {
    SpectrumFrame& f = frames[static_cast<size_t>(n)];
    f.a.resize(geo::kBins);
    for (float& p : f.a) p = noise(rng);
    f.a[static_cast<size_t>((300 + n) % geo::kBins)] = 1e3f;
    f.number = n + 1;
  }
  return frames;
}

struct OurTimes {
  double take_ms = 0, paint_ms = 0, median_ms = 0, cpu_ms = 0;
};

double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

OurTimes OurFrameMs(const std::vector<SpectrumFrame>& frames) {
  LiveSpectrum spectrum(FftSetup::ForHost(65536));
  SpektrSettings settings;
  SpectrumView view(spectrum, settings);
  view.resize(kWidth, kHeight);
  view.SetTuning(144e6, 2.4e6, 144.6e6, 10e3);
  QImage screen(kWidth, kHeight, QImage::Format_RGB32);
  for (int n = 0; n < geo::kWaterfallRows; ++n) view.ShowFrame(frames[0], {frames[static_cast<size_t>(n)]});
  Clock::duration take{}, paint{};
  std::vector<double> each(kFrames);
  const double cpu0 = ThreadCpuMs();
  for (int n = 0; n < kFrames; ++n) {
    const SpectrumFrame& f = frames[static_cast<size_t>(n)];
    const auto t0 = Clock::now();
    view.ShowFrame(f, {f});
    const auto t1 = Clock::now();
    QPainter p(&screen);
    view.PaintTo(p);
    p.end();
    const auto t2 = Clock::now();
    take += t1 - t0;
    paint += t2 - t1;
    each[static_cast<size_t>(n)] = Ms(t2 - t0);
  }
  OurTimes t;
  t.cpu_ms = (ThreadCpuMs() - cpu0) / kFrames;
  t.take_ms = Ms(take) / kFrames;
  t.paint_ms = Ms(paint) / kFrames;
  std::nth_element(each.begin(), each.begin() + kFrames / 2, each.end());
  t.median_ms = each[kFrames / 2];
  return t;
}

double NaiveFrameMs(const std::vector<SpectrumFrame>& frames) {
  const SpektrSettings settings;
  const int middle = kHeight / 2;
  QImage screen(kWidth, kHeight, QImage::Format_RGB32);
  QImage fall(kWidth, kHeight - middle, QImage::Format_RGB32);
  QPolygonF curve(geo::kBins);
  const auto t0 = Clock::now();
  for (int n = 0; n < kNaiveFrames; ++n) {
    const SpectrumFrame& f = frames[static_cast<size_t>(n)];
    for (int j = 0; j < geo::kBins; ++j) {
      const double level = geo::LevelDb(f.a[static_cast<size_t>(geo::DisplayBin(j))]);
      const double t = geo::LevelFraction(level, settings.m_GrMin, settings.m_GrMax);
      curve[j] = QPointF(j * kWidth / 2048.0, (middle - 1) * (1 - t));
    }
    // Line n at the top, the older ones below, each pixel from its nearest bin.
    for (int y = 0; y < fall.height(); ++y) {
      const std::vector<float>& line = frames[static_cast<size_t>((n - y + 10 * kFrames) % kFrames)].a;
      for (int x = 0; x < kWidth; ++x) {
        const float p = line[static_cast<size_t>(geo::DisplayBin(x * geo::kBins / kWidth))];
        fall.setPixel(x, y, 0xff000000u | geo::WaterfallColour(p, settings.m_VdMin, settings.m_VdMax));
      }
    }
    QPainter p(&screen);
    p.fillRect(0, 0, kWidth, middle, QColor(192, 192, 192));
    p.setPen(Qt::black);
    p.drawPolyline(curve);
    p.drawImage(0, middle, fall);
  }
  return Ms(Clock::now() - t0) / kNaiveFrames;
}

void SpectrumFrameBench() {
  EnsureOffscreenApp();
  const std::vector<SpectrumFrame> frames = SyntheticFrames(std::max(kFrames, geo::kWaterfallRows));
  const OurTimes t = OurFrameMs(frames);
  const double ours = t.take_ms + t.paint_ms;
  BenchPrint("spectrum_frame_ms", ours);
  BenchPrint("spectrum_frame_median_ms", t.median_ms);
  BenchPrint("spectrum_frame_cpu_ms", t.cpu_ms);
  BenchPrint("spectrum_take_ms", t.take_ms);
  BenchPrint("spectrum_paint_ms", t.paint_ms);
  const double naive = NaiveFrameMs(frames);
  BenchPrint("spectrum_naive_frame_ms", naive);
  BenchPrint("spectrum_frame_ratio", naive > 0 ? ours / naive : 0);
}

const BenchRegistrar kRegister("spectrum", SpectrumFrameBench);

}  // namespace
}  // namespace kavu::bench
