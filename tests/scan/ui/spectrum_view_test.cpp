// The live picture as a user sees it: spectrum curves, marker, waterfall and result lines,
// checked pixel by pixel on offscreen drawings of the view fed with synthetic frames.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "dsp/fft_test_util.h"
#include "dsp/ombpf2.h"
#include "scan/live_spectrum.h"
#include "scan/spektr_settings.h"
#include "scan/ui/spectrum_view.h"
#include "shell/ui/qt_test_app.h"

namespace kavu {
namespace {

const QRgb kGrey = qRgb(192, 192, 192), kBlack = qRgb(0, 0, 0), kBlue = qRgb(0, 0, 255),
           kWhite = qRgb(255, 255, 255);

struct ViewFixture {
  QApplication& app = test::QtTestApp();
  LiveSpectrum spectrum{test::HostFft()};
  SpektrSettings settings;  // graph −90 … 80 dB, waterfall −90 … 50 dB
  SpectrumView view{spectrum, settings};

  ViewFixture() { view.resize(512, 300); }  // upper half rows 0 … 149, 4 display positions per column
  QImage Paint() {
    QImage img(view.size(), QImage::Format_RGB32);
    img.fill(Qt::green);
    QPainter p(&img);
    view.PaintTo(p);
    return img;
  }
  // A frame with every bin at `power`.
  static SpectrumFrame Frame(float power, int64_t number = 1) {
    SpectrumFrame f;
    f.a.assign(2048, power);
    f.number = number;
    return f;
  }
};

TEST(SpectrumView, CurvesOfBothInputsBetweenTheGraphLimits) {
  ViewFixture f;
  SpectrumFrame g = ViewFixture::Frame(1e-9f);  // −90 dB: the lowest row
  g.a[1024 + 256] = 1e8f;                        // 80 dB at display position 256: column 64
  g.b.assign(2048, std::pow(10.0f, -0.5f));      // −5 dB: half way, row 75
  f.view.ShowFrame(g, {});
  const QImage img = f.Paint();
  EXPECT_EQ(img.pixel(200, 40), kGrey);
  EXPECT_EQ(img.pixel(200, 149), kBlack);  // the flat curve of input A on the lowest row
  for (int y : {0, 40, 100, 148}) EXPECT_EQ(img.pixel(64, y), kBlack) << y;  // the peak's stroke
  EXPECT_EQ(img.pixel(300, 75), kBlue);
  EXPECT_EQ(img.pixel(300, 74), kGrey);
  // No marker without tuning: the top row is background away from the peak.
  EXPECT_EQ(img.pixel(384, 1), kGrey);

  // Equal graph limits: a level above them is at the top, one at or below them at the bottom
  // (input B, drawn last, covers A there).
  f.settings.m_GrMin = f.settings.m_GrMax = 0;
  const QImage flat = f.Paint();
  EXPECT_EQ(flat.pixel(64, 0), kBlack);
  EXPECT_EQ(flat.pixel(64, 100), kBlack);
  EXPECT_EQ(flat.pixel(200, 149), kBlue);
  EXPECT_EQ(flat.pixel(200, 75), kGrey);
}

TEST(SpectrumView, GeneratorMarkerWithinEightMegahertz) {
  ViewFixture f;
  // Δ = 0.6 MHz at 2.4 MS/s: x = 1536 × 512 / 2048 = 384, colour entry 1 (204, 0, 0).
  f.view.SetTuning(144e6, 2.4e6, 144.6e6, 10e3);
  QImage img = f.Paint();
  EXPECT_EQ(img.pixel(384, 1), qRgb(204, 0, 0));
  EXPECT_EQ(img.pixel(376, 1), qRgb(204, 0, 0));  // the bar reaches x ± 10
  EXPECT_EQ(img.pixel(384, 10), kGrey);
  // Δ = −3 MHz: the next alias band, entry 2 (0, 0, 204), at x = 512 × 512 / 2048 = 128.
  f.view.SetTuning(144e6, 2.4e6, 141e6, 10e3);
  img = f.Paint();
  EXPECT_EQ(img.pixel(128, 1), qRgb(0, 0, 204));
  EXPECT_EQ(img.pixel(384, 1), kGrey);
  // 8 MHz away: no marker at all.
  f.view.SetTuning(144e6, 2.4e6, 152e6, 10e3);
  img = f.Paint();
  for (int x = 0; x < 512; ++x) ASSERT_EQ(img.pixel(x, 1), kGrey) << x;
}

TEST(SpectrumView, WaterfallBelowWithTheNewestLineOnTop) {
  ViewFixture f;
  // −50 dB: H = 3 × 40 / 140, blue 218; 60 dB: white.
  f.view.ShowFrame(SpectrumFrame{}, {ViewFixture::Frame(1e-5f), ViewFixture::Frame(1e6f)});
  QImage img = f.Paint();
  EXPECT_EQ(img.pixel(256, 150), kWhite);
  EXPECT_EQ(img.pixel(256, 151), qRgb(0, 0, 218));
  EXPECT_EQ(img.pixel(256, 152), kBlack);
  EXPECT_EQ(img.pixel(256, 299), kBlack);
  EXPECT_EQ(f.view.Waterfall().LineCount(), 2);
  // An empty graph frame keeps the spectrum drawn before; a wrong-sized line is skipped.
  SpectrumFrame bad;
  bad.a.assign(7, 1.0f);
  f.view.ShowFrame(SpectrumFrame{}, {bad});
  EXPECT_EQ(f.view.Waterfall().LineCount(), 2);
  // Equal waterfall limits saturate: white above, black at or below.
  f.settings.m_VdMin = f.settings.m_VdMax = -20;
  f.view.ShowFrame(SpectrumFrame{}, {ViewFixture::Frame(1e-1f), ViewFixture::Frame(1e-2f)});
  img = f.Paint();
  EXPECT_EQ(img.pixel(10, 150), kBlack);
  EXPECT_EQ(img.pixel(10, 151), kWhite);
  EXPECT_EQ(img.pixel(10, 152), kWhite);
}

TEST(SpectrumView, ResultLinesOverTheWaterfall) {
  ViewFixture f;
  const std::string line = "f=14.200, Z=(50.000, 0.000), КСВ=1.00      ";
  f.view.SetResultLines({line, line}, false);
  QImage img = f.Paint();
  const QFontMetrics m(f.view.font());
  const int right = 10 + m.horizontalAdvance(QString::fromStdString(line)) - 2;
  const int step = m.height();
  EXPECT_EQ(img.pixel(right, 150 + step / 2), kWhite);  // the trailing blanks: background
  EXPECT_EQ(img.pixel(right, 150 + step + step / 2), kWhite);
  EXPECT_EQ(img.pixel(8, 150 + step / 2), kBlack);        // left of x = 10: waterfall
  EXPECT_EQ(img.pixel(right + 4, 150 + step / 2), kBlack);
  f.view.SetResultLines({line}, true);
  img = f.Paint();
  EXPECT_EQ(img.pixel(right, 150 + step / 2), qRgb(255, 255, 190));
  EXPECT_EQ(img.pixel(right, 150 + step + step / 2), kBlack);  // one line only now
}

TEST(SpectrumView, FramesTakenFromTheLiveSpectrum) {
  ViewFixture f;
  f.spectrum.SetPeriods(1, 1);
  // A tone at +r/4 (bin 512, display position 1536, column 384) of amplitude 1. The window
  // averages 1/2 and the transform scales by 1/2048, so the bin holds 1/2: power 1/4, −6.02 dB.
  std::vector<float> block(2048);
  for (int i = 0; i < 1024; ++i) {
    block[2 * static_cast<size_t>(i)] = static_cast<float>(std::cos(M_PI / 2 * i));
    block[2 * static_cast<size_t>(i) + 1] = static_cast<float>(std::sin(M_PI / 2 * i));
  }
  for (int n = 0; n < 3; ++n) f.spectrum.Feed(block.data(), block.data(), nullptr, nullptr);
  f.view.SpectrumFrameReady(f.spectrum.Graph().number);
  EXPECT_EQ(f.view.Waterfall().LineCount(), 3);
  const QImage img = f.view.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(img.width(), 512);
  // −6.02 dB of −90 … 80 sits at row 149 − 83.98 / 170 × 149 = 75.5: the stroke starts there.
  EXPECT_EQ(img.pixel(384, 80), kBlack);
  EXPECT_EQ(img.pixel(384, 70), kGrey);
  EXPECT_EQ(img.pixel(100, 80), kGrey);
  // Waterfall −90 … 50 dB: H = 3 × 83.98 / 140 = 1.80, blue full and red 203.
  EXPECT_EQ(img.pixel(384, 150), qRgb(203, 0, 255));
  EXPECT_EQ(img.pixel(384, 152), qRgb(203, 0, 255));
  EXPECT_EQ(img.pixel(100, 150), kBlack);
  EXPECT_EQ(img.pixel(384, 153), kBlack);  // only three lines so far
}

// The picture a user looks at: noise around −60 dB, a steady tone at +r/4 and a second one
// sweeping slowly, 300 waterfall lines, the marker and two result lines. Saved as
// spectrum_view.png into $KAVU_SHOT_DIR (or the test temporary folder) for a look by eye.
TEST(SpectrumView, PictureOfTonesInNoise) {
  ViewFixture f;
  f.view.resize(1000, 600);
  f.view.SetTuning(144e6, 2.4e6, 144.6e6, 10e3);
  f.view.SetResultLines({"f=144.600, Z=(48.120, -3.410), КСВ=1.08  ", "144.000-145.000 0.100: КСВ мин 1.05 на 144.550    "}, false);
  std::mt19937 rng(3);
  std::exponential_distribution<float> noise(1e6f);
  for (int n = 0; n < 300; ++n) {
    SpectrumFrame line = ViewFixture::Frame(0, n + 1);
    for (float& p : line.a) p = noise(rng);
    line.a[512] = 1e3f;                               // steady tone: display position 1536
    line.a[static_cast<size_t>(1024 + 200 + n)] = 1e2f;  // sweeping tone, display 200 + n
    f.view.ShowFrame(line, {line});
  }
  const QImage img = f.view.grab().toImage().convertToFormat(QImage::Format_RGB32);
  const char* dir = std::getenv("KAVU_SHOT_DIR");
  const std::string path = (dir ? std::string(dir) : ::testing::TempDir()) + "/spectrum_view.png";
  EXPECT_TRUE(img.save(QString::fromStdString(path)));
  // The steady tone (30 dB: H = 2.57) is a light magenta column down all 300 lines; the
  // sweeping one (20 dB: H = 2.36) a diagonal, line n at display position 200 + n, n rows up
  // from the oldest (the top row is the newest line, n = 299).
  const QRgb steady = qRgb(255, 145, 255), sweeping = qRgb(255, 91, 255);
  EXPECT_EQ(img.pixel(1536 * 1000 / 2048, 300), steady);
  EXPECT_EQ(img.pixel(1536 * 1000 / 2048, 300 + 299), steady);
  EXPECT_EQ(img.pixel(399 * 1000 / 2048, 300 + 100), sweeping);  // n = 199
  EXPECT_EQ(img.pixel(200 * 1000 / 2048, 300 + 299), sweeping);  // n = 0
  EXPECT_NE(img.pixel(200 * 1000 / 2048, 300 + 100), sweeping);
  EXPECT_LT(qBlue(img.pixel(800, 300 + 150)), 0xff);  // noise stays dark blue
}

}  // namespace
}  // namespace kavu
