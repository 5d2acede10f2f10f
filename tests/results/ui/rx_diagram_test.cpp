// The R and X diagram as the user meets it: opened from the results window on a scan file whose
// points come from the bridge model, a matched load drawn at the centre of the circle diagram
// and an open at its right edge, the controls rewriting the stored settings, the read-out under
// the pointer and the colour scale.
#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>

#include "results/ant_izm_file.h"
#include "results/graph_layout.h"
#include "results/paint/rx_painter.h"
#include "results/ui/cshow_data_window.h"
#include "shell/settings_store.h"
#include "shell/ui/qt_test_app.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

using C = std::complex<double>;

// The level difference |A| − |O| (dB) that the default bridge (Rt 56, Rb 51, Rd 330, Rg 24 Ω,
// receiver 50 Ω) shows with a resistive load r on its antenna port (phase 0): the A node sees r
// beside the detector branch Z1, the O node Rb beside Z1.
double LevelDbFor(double r) {
  const double z1 = 330 + 24.0 * 50 / 74, zb = 51 * z1 / (51 + z1);
  const double v = 1 / (1 + 56 * (1 / r + 1 / z1));
  return 20 * std::log10(v * (zb + 56) / zb);
}

bool Near(QRgb px, QColor c, int tol = 40) {
  return std::abs(qRed(px) - c.red()) + std::abs(qGreen(px) - c.green()) + std::abs(qBlue(px) - c.blue()) <= tol;
}

struct DiagramFixture {
  test::TempDir dir;
  std::unique_ptr<ResultsStore> store;
  std::unique_ptr<CShowDataWindow> window;

  // Set 0: a matched load (51 Ω = Rb, a balanced bridge) at 15 MHz; comparison slot 1: a nearly
  // open port (100 kΩ) at 20 MHz.
  DiagramFixture() {
    test::QtTestApp();
    UseSettingsFile(dir.Path() + "/settings.ini");
    Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", dir.Path());
    Settings().WriteProfileDouble("CDlg_SelectGraph", "m_RCable", 51);
    Settings().WriteProfileInt("CDlg_SelectGraph", "m_IsFile1", 1);
    Settings().WriteProfileString("CShowDataWindow", "sFileName1", Scan("open.kant", 20, LevelDbFor(1e5)));
    Settings().WriteProfileInt("CDlgRX", "m_ShowFMin", 10);
    Settings().WriteProfileInt("CDlgRX", "m_ShowFMax", 20);
    Settings().WriteProfileInt("CDlgRX", "m_Mode", 1);
    store = std::make_unique<ResultsStore>(1024);
    window = std::make_unique<CShowDataWindow>(*store);
    window->inform = [](bool, const QString&, const QString&) {};
    const QString matched = QString::fromStdString(Scan("match.kant", 15, LevelDbFor(51)));
    window->choose_files = [matched](const QString&, const QString&) { return QStringList{matched}; };
    window->Command(2799);
    window->Command(3100);
  }
  std::string Scan(const std::string& name, double f_mhz, double level_db) {
    AntIzm p = EmptyAntIzm();
    p.freqHz = f_mhz * 1e6, p.a = -20 + level_db, p.o = -20, p.phase = 0;
    const std::string path = dir.File(name);
    EXPECT_TRUE(WriteScanFile(path, &p, 1, std::nullopt));
    return path;
  }
  CDlgRX& Rx() { return *window->RxDiagram(); }
  QImage Picture(int w, int h) {
    Rx().Canvas().resize(w, h);
    return Rx().Canvas().Picture();
  }
};

TEST(RxDiagramTest, CircleDiagramPlacesMatchAtCentreAndOpenAtTheRim) {
  DiagramFixture f;
  ASSERT_NE(f.window->RxDiagram(), nullptr);
  EXPECT_EQ(f.Rx().windowTitle(), "Диапазон данных 15 - 20 МГц, Z0 = 51 Ом");
  ASSERT_EQ(f.Rx().Series().size(), 2u);
  EXPECT_NEAR(LevelDbFor(51), 0, 1e-12);  // the bridge is balanced
  EXPECT_NEAR(f.Rx().Series()[0].points[0].z.real(), 51, 1e-6);
  EXPECT_NEAR(f.Rx().Series()[1].points[0].z.real(), 1e5, 1);
  EXPECT_NEAR(f.Rx().Series()[1].points[0].z.imag(), 0, 1e-6);
  const QImage img = f.Picture(400, 400);
  const CircleChart chart(QRect(0, 0, 400, 400));
  const QPointF centre = chart.Centre();
  // 15 MHz in the window 10 … 20 takes palette entry 512; 20 MHz the last entry.
  const QColor mid = RxPainter::PaletteColour(512), top = RxPainter::PaletteColour(1023);
  EXPECT_TRUE(Near(img.pixel(int(centre.x()) - 2, int(centre.y()) - 2), mid));
  EXPECT_TRUE(Near(img.pixel(int(centre.x()) + 1, int(centre.y()) + 1), mid));
  const QPointF open = chart.ToPixel({1, 0});
  EXPECT_GT(open.x(), 395);
  EXPECT_TRUE(Near(img.pixel(int(open.x()) - 2, int(open.y()) - 2), top));
  // Away from the data the chart is white with its black rim.
  EXPECT_EQ(img.pixel(5, 5), qRgb(255, 255, 255));
  EXPECT_TRUE(Near(img.pixel(int(centre.x()), int(centre.y() - chart.Radius())), Qt::black, 60));
}

// The darkest pixel within `r` pixels of (x, y), as the sum of its channels.
int Darkest(const QImage& img, double x, double y, int r) {
  int best = 3 * 255;
  for (int dy = -r; dy <= r; ++dy) {
    for (int dx = -r; dx <= r; ++dx) {
      const QRgb px = img.pixel(int(std::lround(x)) + dx, int(std::lround(y)) + dy);
      best = std::min(best, qRed(px) + qGreen(px) + qBlue(px));
    }
  }
  return best;
}

TEST(RxDiagramTest, PlaneModeDrawsPointsAndTheSwrCircle) {
  DiagramFixture f;
  f.Rx().SetMode(0);
  EXPECT_EQ(f.Rx().windowTitle(), "Диапазон данных 15 - 20 МГц");
  EXPECT_EQ(Settings().GetProfileInt("CDlgRX", "m_Mode", -1), 0);
  // Points on the SWR-2 circle about 50 Ω, drawn by the diagram's painter into an image.
  std::vector<RxSeries> series(1);
  for (C z : {C(25, 0), C(62.5, 37.5), C(100, 0)}) series[0].points.push_back({15, z});
  RxScene scene;
  scene.series = &series;
  scene.settings.m_ShowFMin = 10, scene.settings.m_ShowFMax = 20;
  scene.settings.m_ColorType = kRxColourFile;
  scene.settings.sKSVs = "0.5 2", scene.settings.sRCabs = "0 50";  // 0.5 and 0 Ω are skipped
  QImage img(600, 400, QImage::Format_RGB32);
  RxPainter painter;
  {
    QPainter p(&img);
    painter.Paint(p, img.rect(), scene);
  }
  const QRect plot = painter.PlotRect();
  const AxisMapping mr = AxisMapping::Horizontal(painter.AxisR(), plot.left(), plot.right());
  const AxisMapping mx = AxisMapping::Vertical(painter.AxisX(), plot.top(), plot.bottom());
  EXPECT_LE(painter.AxisR().m_Show0, 25);
  EXPECT_GE(painter.AxisR().m_Show1, 100);
  EXPECT_GT(painter.AxisR().Setka_GetN(), 2);  // a grid with labels
  // The top point lies above the axis (X grows upwards) and is drawn in set 0's colour.
  EXPECT_LT(mx.ToPixel(37.5), mx.ToPixel(0));
  EXPECT_TRUE(Near(img.pixel(int(mr.ToPixel(62.5)) + 1, int(mx.ToPixel(37.5)) + 1), GraphPainter::LineColour(0)));
  // Between the points the SWR-2 circle about the second cable impedance (colour 1) passes.
  const double a = 2.4;
  const double r = 62.5 + 37.5 * std::cos(a), x = 37.5 * std::sin(a);
  const QColor circle = GraphPainter::LineColour(1);
  bool found = false;
  for (int dy = -2; dy <= 2 && !found; ++dy) {
    for (int dx = -2; dx <= 2 && !found; ++dx) {
      found = Near(img.pixel(int(mr.ToPixel(r)) + dx, int(mx.ToPixel(x)) + dy), circle, 120);
    }
  }
  EXPECT_TRUE(found);
  // Nothing is drawn far inside the circle (centre) but the grid: no dark pixels there.
  EXPECT_GT(Darkest(img, mr.ToPixel(62.5), mx.ToPixel(15), 2), 3 * 150);
}

TEST(RxDiagramTest, ControlsRewriteTheStoredSettings) {
  DiagramFixture f;
  CDlgRX& rx = f.Rx();
  EXPECT_EQ(rx.WindowText(), "10 - 20 МГц");
  rx.MoveTrack(18, false);  // "ВЧ" chosen: the end moves
  EXPECT_EQ(rx.Values().m_ShowFMax, 18);
  EXPECT_EQ(Settings().GetProfileInt("CDlgRX", "m_ShowFMax", 0), 18);
  rx.MoveTrack(16, true);  // Shift: the other end
  EXPECT_EQ(rx.Values().m_ShowFMin, 16);
  EXPECT_EQ(rx.WindowText(), "16 - 18 МГц");
  rx.ChooseLo(true);
  EXPECT_EQ(Settings().GetProfileInt("CDlgRX", "m_IsLo", 0), 1);
  rx.MoveTrack(12, false);
  EXPECT_EQ(rx.Values().m_ShowFMin, 12);
  rx.StepSwr(2);
  EXPECT_EQ(rx.SwrText(), "1.3 1.3 1.5 2 4");
  EXPECT_EQ(Settings().GetProfileString("CDlgRX", "sKSVs", ""), "1.3 1.3 1.5 2 4");
  rx.StepCable(-5);
  EXPECT_EQ(rx.CableText(), "49.5");
  // A list typed but not yet left is what the spin steps from.
  QLineEdit* cable = rx.findChild<QLineEdit*>("1039");
  ASSERT_NE(cable, nullptr);
  cable->setText("75 300");
  rx.StepCable(1);
  EXPECT_EQ(rx.CableText(), "75.1 300");
  rx.StepCable(-6);
  EXPECT_EQ(rx.CableText(), "74.5 300");
  rx.SetColourType(2);
  EXPECT_EQ(Settings().GetProfileInt("CDlgRX", "m_ColorType", 0), 2);
  // The window now holds only the matched point: no SWR above 1 to fit, the lists stay.
  rx.Fit();
  EXPECT_EQ(rx.SwrText(), "1.3 1.3 1.5 2 4");
  EXPECT_EQ(rx.CableText(), "74.5 300");
  // The results window's rebuild reaches the diagram: hiding slot 1 removes its set.
  f.window->Panel().SetFileBox(1, false);
  f.window->Rebuild();
  EXPECT_EQ(rx.Series().size(), 1u);
  EXPECT_EQ(rx.windowTitle(), "Диапазон данных 15 - 15 МГц, Z0 = 51 Ом");
}

TEST(RxDiagramTest, FollowsPointsAppendedByAScan) {
  DiagramFixture f;
  ASSERT_EQ(f.Rx().Series()[0].points.size(), 1u);
  AntIzm p = f.store->Set(0).At(0);
  p.freqHz = 16e6;
  ASSERT_TRUE(f.store->Set(0).Append(p));
  f.window->DataChanged();  // what the scan's repaint timer calls
  EXPECT_EQ(f.Rx().Series()[0].points.size(), 2u);
  EXPECT_EQ(f.Rx().windowTitle(), "Диапазон данных 15 - 20 МГц, Z0 = 51 Ом");
}

TEST(RxDiagramTest, ReadoutAndColourScaleFollowThePointer) {
  DiagramFixture f;
  RxCanvas& canvas = f.Rx().Canvas();
  canvas.resize(400, 400);
  const CircleChart chart(canvas.rect());
  canvas.PointerMoved(chart.Centre().toPoint(), false);
  ASSERT_EQ(canvas.Readout().size(), 4u);
  EXPECT_EQ(canvas.Readout()[1], "|Г|=0.000, ксв=1.00");
  EXPECT_EQ(canvas.Readout()[3], "Z=51.000, 0.000 ");
  canvas.PointerMoved({2, 2}, false);  // outside the unit circle: the read-out goes
  EXPECT_TRUE(canvas.Readout().empty());
  canvas.LeftPressed({20, 300});
  canvas.PointerMoved({220, 305}, true);
  EXPECT_EQ(canvas.Scene().scale_length, 200);
  const QImage img = canvas.Picture();
  EXPECT_EQ(img.pixel(20 + 100, 305), RxPainter::PaletteColour(512).rgb());
  EXPECT_EQ(img.pixel(20 + 10, 305), RxPainter::PaletteColour(51).rgb());
}

TEST(RxDiagramTest, EmptyStoreShowsTheWholeRange) {
  test::TempDir dir;
  test::QtTestApp();
  UseSettingsFile(dir.Path() + "/settings.ini");
  ResultsStore store(16);
  GraphPanelSettings panel;
  CDlgRX rx(store, [&] { return CDlgRX::Inputs{&panel, nullptr}; });
  EXPECT_EQ(rx.windowTitle(), "Диапазон данных 0 - 6600 МГц");
  EXPECT_TRUE(rx.Series().empty());
  rx.Fit();  // nothing to fit: nothing changes
  EXPECT_EQ(rx.SwrText(), "1.1 1.3 1.5 2 4");
  EXPECT_FALSE(rx.Canvas().Picture().isNull());
}

}  // namespace
}  // namespace kavu
