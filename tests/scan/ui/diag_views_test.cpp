// The diagnostic views: the one-signal view after single measurements on the virtual bench, and
// the filter view against the filter design.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPointer>
#include <chrono>
#include <cstdlib>
#include <cmath>
#include <filesystem>
#include <functional>
#include <thread>

#include "dsp/fft_test_util.h"
#include "dsp/ombpf2.h"
#include "e2e/bench_scan_fixture.h"
#include "scan/ui/cdlg_bpf_show.h"
#include "scan/ui/cdlg_one_signal.h"
#include "shell/settings_store.h"
#include "shell/ui/qt_test_app.h"

namespace kavu {
namespace {

int KantFiles(const std::string& folder) {
  int n = 0;
  std::error_code ec;
  if (!std::filesystem::exists(folder, ec)) return 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder, ec)) {
    if (e.path().extension() == ".kant") ++n;
  }
  return n;
}

// Lets the view's poll timer run until `done` or `ms` have passed; returns done().
bool LetQtRunUntil(const std::function<bool()>& done, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done() && std::chrono::steady_clock::now() < end) {
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}
void LetQtRun(int ms) {
  LetQtRunUntil([] { return false; }, ms);
}

class OneSignalViewBench : public test::BenchScan {
 protected:
  // A view left open by a failed check goes before the engine it watches.
  void TearDown() override {
    delete view_;
    BenchScan::TearDown();
  }
  QApplication& app_ = test::QtTestApp();
  QPointer<CDlgOneSignal> view_;
};

TEST_F(OneSignalViewBench, WhileOpenScansAreSingleAndUnsavedAndTheViewDrawsTheStoredSamples) {
  ASSERT_TRUE(Start("25-30j"));
  ScanEngine& engine = station_->Engine();
  view_ = new CDlgOneSignal(*station_);
  QPointer<CDlgOneSignal>& view = view_;
  EXPECT_TRUE(engine.SignalViewOpen());
  // Opened before any scan: empty series.
  EXPECT_TRUE(view->Snapshot().decA.Empty());
  EXPECT_TRUE(view->Snapshot().rawA.Empty());
  ASSERT_EQ(view->List().GetGraphCount(), 2);
  EXPECT_EQ(view->List().GetLine(0, 0).GetCount(), 0);

  // A scan of three groups started while the view is open measures one group, saves nothing.
  const auto r = Scan("140-150 5");
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->ok) << r->error;
  EXPECT_TRUE(r->single);
  EXPECT_FALSE(r->saved);
  EXPECT_EQ(r->points, 1);
  EXPECT_EQ(KantFiles(results_), 0);

  // The view takes the stores by itself once the scan has ended, on its poll timer.
  const OSignalChain& chain = engine.Chain();
  ASSERT_TRUE(LetQtRunUntil([&] { return !view->Snapshot().decA.Empty(); }, 10000));
  const OneSignalSnapshot& s = view->Snapshot();
  const OMeasurement& m = engine.Measurement();
  ASSERT_TRUE(m.SyncFound());
  ASSERT_EQ(static_cast<int64_t>(s.decA.v.size()), chain.DecimatedCount());
  ASSERT_EQ(static_cast<int64_t>(s.rawA.v.size()), chain.RawCount());
  ASSERT_GT(chain.DecimatedCount(), m.E());
  // Time axis: decimated sample k at (k − E) / rD, in ms; raw sample k D times denser, 511
  // samples of filter delay earlier.
  const double td = 1000 / station_->Keeper().Published()->DecimatedRate();
  const int D = chain.Decimation();
  EXPECT_NEAR(s.decimatedMs, td, 1e-12);
  for (int64_t k : {int64_t{0}, m.E(), m.E() + 123, chain.DecimatedCount() - 1}) {
    double x, y;
    view->List().GetLine(0, 0).GetPoint(static_cast<int32_t>(k), x, y);
    EXPECT_NEAR(x, static_cast<double>(k - m.E()) * td, 1e-9) << k;
    EXPECT_NEAR(y, std::abs(m.ViewDecimated(k)), 1e-4 * std::abs(m.ViewDecimated(k)) + 1e-9) << k;
  }
  const int64_t rk = (m.E() + 1) * D + 511;  // the raw sample centred on decimated sample E
  EXPECT_NEAR(s.rawA.TimeOf(rk), 0, 1e-9);
  EXPECT_NEAR(std::abs(s.rawA.v[static_cast<size_t>(rk)]), std::abs(m.ViewRaw(rk)), 1e-3 * std::abs(m.ViewRaw(rk)) + 1e-6);
  // The reference band and W1, W2, W3 of the group's last frequency are marked on the graph.
  ASSERT_EQ(view->Graph().ColourBands().size(), 1u + 3u * static_cast<size_t>(m.Repetitions()));
  EXPECT_EQ(view->Graph().ColourBands()[0].rgb, 0xC8C8FFu);
  EXPECT_EQ(view->Graph().ColourBands()[2].rgb, 0xFFFFC8u);
  // The graph spans the stored samples.
  EXPECT_LE(view->Graph().Horizontal().m_Full0, s.decA.TimeOf(0) + 1e-9);
  EXPECT_GE(view->Graph().Horizontal().m_Full1, s.decA.TimeOf(chain.DecimatedCount() - 1) - 1e-9);

  // KAVU_SHOW_MS: both views stay on screen that long, to be looked at under a display.
  if (const char* show = std::getenv("KAVU_SHOW_MS")) {
    view->move(0, 0);
    view->show();
    CDlgBpfShow filter(*station_);
    filter.move(0, 660);
    filter.show();
    LetQtRun(std::atoi(show));
  }

  // A check box rebuilds the lines and is kept in the settings.
  view->Box(1204)->setChecked(true);  // "Исх как есть"
  EXPECT_EQ(Settings().GetProfileInt("CDlg_SelectGraph", "m_IsIn", 0), 1);
  std::string name;
  view->List().GetLine(0, 0).GetName(name);
  EXPECT_EQ(name, "A исх");
  view->Box(1204)->setChecked(false);

  // Closed, the engine scans as usual again: the whole range, saved.
  view->close();
  LetQtRun(50);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(view.isNull());
  EXPECT_FALSE(engine.SignalViewOpen());
  const auto full = Scan("140-150 5");
  ASSERT_TRUE(full);
  EXPECT_TRUE(full->ok) << full->error;
  EXPECT_FALSE(full->single);
  EXPECT_EQ(full->points, 3);
  EXPECT_TRUE(full->saved);
  EXPECT_GE(KantFiles(results_), 1);
  EXPECT_TRUE(std::filesystem::exists(full->save.path)) << full->save.path;
}

TEST_F(OneSignalViewBench, FilterViewShowsTheStationsPlan) {
  ASSERT_TRUE(Start("50"));
  CDlgBpfShow view(*station_);
  EXPECT_TRUE(view.isModal());
  const auto plan = station_->Keeper().Published();
  EXPECT_EQ(view.Label().text().toStdString(), BpfShowText(*plan));
}

// The filter view's curve, on its pixels, against the designed response.
TEST(BpfShowView, CurveFollowsTheDesignedResponseAndTheBandIsMarked) {
  test::QtTestApp();
  RatePlanInputs in;
  in.sampleRate = 2000000;
  const auto plan = RecomputePlan(test::HostFft(), in);
  ASSERT_TRUE(plan);
  CDlgBpfShow view(plan);
  view.resize(900, 560);
  view.show();  // lays the graph out at the dialog's size (offscreen: nothing appears)
  EXPECT_EQ(view.windowTitle().toStdString(), "Синтезированный ФНЧ");
  EXPECT_EQ(view.Label().text().toStdString(), BpfShowText(*plan));
  CDlgGraph& g = view.Graph();
  ASSERT_EQ(g.ColourBands().size(), 1u);
  EXPECT_DOUBLE_EQ(g.ColourBands()[0].from, -10.0);
  EXPECT_DOUBLE_EQ(g.ColourBands()[0].to, 10.0);
  const QImage& img = g.Rendered();
  const PixelRect& pane = g.Layout().panes[0];
  TGrDia& axis = view.List().GetAxis(0);
  const AxisMapping h = AxisMapping::Horizontal(g.Horizontal(), g.PlotLeft(), g.PlotRight());
  const AxisMapping v = AxisMapping::Vertical(axis, pane.top, pane.bottom);
  const double binKhz = 2000.0 / 65536;
  // At bins across the pass band, the cut-off and the first side lobes, the curve (black) passes
  // through the designed level.
  int checked = 0;
  for (int k : {0, 200, plan->F3Bin(), plan->CutOffBin(), plan->FirstNullBin() + 40}) {
    for (int sign : {-1, 1}) {
      const double level = 10 * std::log10(plan->ResponsePower()[static_cast<size_t>(k)]);
      const int x = static_cast<int>(std::lround(h.ToPixel(sign * k * binKhz)));
      const int y = static_cast<int>(std::lround(v.ToPixel(level)));
      if (y < pane.top || y >= pane.bottom) continue;
      ++checked;
      bool dark = false;
      for (int dy = -2; dy <= 2 && !dark; ++dy) dark = img.valid(x, y + dy) && qGray(img.pixel(x, y + dy)) < 90;
      EXPECT_TRUE(dark) << "bin " << sign * k << " level " << level;
    }
  }
  EXPECT_GE(checked, 8);  // the whole response is in view
  // The measuring band is green behind the curve, below the pass band's level.
  // (Values chosen off the grid lines.)
  const int yBand = static_cast<int>(std::lround(v.ToPixel(-43.7)));
  const QRgb in_band = img.pixel(static_cast<int>(h.ToPixel(4.3)), yBand);
  EXPECT_EQ(qRed(in_band), 200);
  EXPECT_EQ(qGreen(in_band), 255);
  EXPECT_EQ(qBlue(in_band), 200);
  const QRgb out_band = img.pixel(static_cast<int>(h.ToPixel(63.7)), static_cast<int>(std::lround(v.ToPixel(-7.3))));
  EXPECT_EQ(qGreen(out_band), 255);
  EXPECT_EQ(qRed(out_band), 255);
}

}  // namespace
}  // namespace kavu
