// Every window of the program on a small screen: opened from the main window on the virtual bench
// as a user opens it, resized to 800×500 (a 1600×1000 screen at scale factor 2, or a small
// display), each control must stay reachable, none may overlap another and no text may be
// squeezed. The same table runs again with QT_SCALE_FACTOR=2 (a second CTest entry).
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <functional>
#include <string>

#include "results/ui/cdlg_graph.h"
#include "results/ui/cdlg_rx.h"
#include "results/ui/cshow_data_window.h"
#include "scan/ui/cdlg_bpf_show.h"
#include "scan/ui/cdlg_calibrate.h"
#include "scan/ui/cdlg_one_signal.h"
#include "scan/ui/main_window_fixture.h"
#include "shell/ui/layout_check.h"

namespace kavu {
namespace {

struct WindowCase {
  const char* name;
  // Opens the window from the started main window; null when it could not be opened.
  std::function<QWidget*(ODlgSpektr&)> open;
  // At least this many controls are visible: the check saw the window, not an empty shell.
  size_t controls;
};

std::ostream& operator<<(std::ostream& os, const WindowCase& c) { return os << c.name; }

QWidget* Calibration(ODlgSpektr& w) {
  CShowDataWindow& results = w.Results();
  if (!results.open_calibration) return nullptr;
  results.open_calibration();
  return results.findChild<CDlgCalibrate*>();
}

QWidget* RxDiagram(ODlgSpektr& w) {
  w.Results().Command(3100);  // "Диаграммы..."
  return w.Results().RxDiagram();
}

QWidget* RtlSdr(ODlgSpektr& w) {
  w.ShowRtlSdrWindow();
  return w.RtlSdrWindow();
}

QWidget* OneSignal(ODlgSpektr& w) {
  w.OnShowSignal();
  return w.findChild<CDlgOneSignal*>();
}

// The filter view is modal in the program; here it is made as OnShowFilter makes it, not run.
QWidget* Filter(ODlgSpektr& w) { return new CDlgBpfShow(w.Station(), &w); }

const WindowCase kWindows[] = {
    {"MainWindow", [](ODlgSpektr& w) -> QWidget* { return &w; }, 40},
    {"Calibration", Calibration, 30},
    {"Results", [](ODlgSpektr& w) -> QWidget* { return &w.Results(); }, 50},
    {"RxDiagram", RxDiagram, 15},
    {"RtlSdr", RtlSdr, 9},
    {"OneSignal", OneSignal, 8},
    {"Filter", Filter, 2},
    {"About", [](ODlgSpektr& w) -> QWidget* {
       w.ShowAbout();
       return w.findChild<QWidget*>("about");
     }, 1},
};

class SmallScreen : public test::MainWindowBench, public ::testing::WithParamInterface<WindowCase> {};

std::string Lines(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += "\n  " + l;
  return s;
}

TEST_P(SmallScreen, EveryControlReachableAndNoneOverlapsAt800x500) {
  ASSERT_TRUE(Start());
  QWidget* window = GetParam().open(*window_);
  ASSERT_NE(window, nullptr);
  const std::vector<std::string> problems = test::SmallScreenProblems(*window, QSize(800, 500));
  EXPECT_TRUE(problems.empty()) << GetParam().name << " at scale "
                                << QGuiApplication::primaryScreen()->devicePixelRatio() << Lines(problems);
  EXPECT_GE(test::VisibleControls(*window).size(), GetParam().controls);
  // A large screen (1366×768 and up) keeps everything in reach and nothing needs sideways
  // scrolling: wide rows wrap (the results window's panel among them).
  for (const QSize size : {QSize(1366, 768), QSize(1600, 900)}) {
    EXPECT_TRUE(test::SmallScreenProblems(*window, size).empty()) << GetParam().name;
    EXPECT_TRUE(test::SidewaysProblems(*window).empty())
        << GetParam().name << " at " << size.width() << "x" << size.height()
        << Lines(test::SidewaysProblems(*window));
  }
  if (window != window_.get()) window->close();  // the main window closes in TearDown
}

// Drawings cached as images follow the screen's pixel density: at scale factor 2 the R and X
// diagram has twice the pixels each way, and its lines and texts stay sharp.
using SmallScreenDensity = test::MainWindowBench;

TEST_F(SmallScreenDensity, RxDiagramIsDrawnAtTheScreensPixelDensity) {
  ASSERT_TRUE(Start());
  auto* rx = static_cast<CDlgRX*>(RxDiagram(*window_));
  ASSERT_NE(rx, nullptr);
  rx->show();
  const qreal dpr = QGuiApplication::primaryScreen()->devicePixelRatio();
  EXPECT_EQ(rx->devicePixelRatioF(), dpr);
  const QImage& picture = rx->Canvas().Picture();
  EXPECT_EQ(picture.devicePixelRatio(), dpr);
  EXPECT_EQ(picture.size(), rx->Canvas().size() * dpr);
  EXPECT_EQ(picture.deviceIndependentSize(), QSizeF(rx->Canvas().size()));
  rx->close();
}

TEST_F(SmallScreenDensity, GraphsAreDrawnAtTheScreensPixelDensity) {
  ASSERT_TRUE(Start());
  CShowDataWindow& results = window_->Results();
  results.resize(700, 450);
  results.show();
  CDlgGraph& graph = results.Graph();
  const qreal dpr = QGuiApplication::primaryScreen()->devicePixelRatio();
  EXPECT_EQ(graph.devicePixelRatioF(), dpr);
  const QImage& picture = graph.Rendered();
  EXPECT_EQ(picture.devicePixelRatio(), dpr);
  EXPECT_EQ(picture.size(), graph.size() * dpr);
  EXPECT_EQ(picture.deviceIndependentSize(), QSizeF(graph.size()));
  results.close();
}

INSTANTIATE_TEST_SUITE_P(Windows, SmallScreen, ::testing::ValuesIn(kWindows),
                         [](const ::testing::TestParamInfo<WindowCase>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace kavu
