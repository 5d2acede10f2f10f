#include "results/paint/scan_plot.h"

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <clocale>
#include <cstdlib>
#include <memory>

#include "measure/results_point_source.h"
#include "platform/atomic_file.h"
#include "results/gr_list_ekg.h"
#include "results/graph_autoscale.h"
#include "results/paint/graph_painter.h"
#include "results/paint/rx_painter.h"
#include "results/results_store.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {

bool ApplyGraphChoice(GraphPanelSettings& p, const std::vector<std::string>& names, std::string& error) {
  if (names.empty()) return true;
  for (const auto& k : GraphPanelSettings::CheckKeys()) {
    if (!k.tristate) p.*k.field = 0;
  }
  p.m_IsMarkers = 0;
  struct Choice { const char* name; int32_t GraphPanelSettings::*field; };
  static const Choice kChoices[] = {
      {"r", &GraphPanelSettings::m_IsR},      {"x", &GraphPanelSettings::m_IsX},
      {"rx", &GraphPanelSettings::m_IsRX},    {"c", &GraphPanelSettings::m_IsC},
      {"l", &GraphPanelSettings::m_IsL},      {"ksv", &GraphPanelSettings::m_IsKSV},
      {"ksvg", &GraphPanelSettings::m_IsKSVG}, {"faza", &GraphPanelSettings::m_IsFAZA},
      {"delay", &GraphPanelSettings::m_IsDelay}, {"ppm", &GraphPanelSettings::m_IsPPM}};
  for (std::string n : names) {
    for (auto& ch : n) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    bool found = false;
    for (const auto& c : kChoices) {
      if (n == c.name) p.*c.field = 1, found = true;
    }
    if (!found) {
      error = "unknown quantity \"" + n + "\" (R, X, RX, C, L, KSV, KSVG, FAZA, Delay, PPM)";
      return false;
    }
  }
  return true;
}

// Encodes the picture in memory and replaces the file atomically: a failed or interrupted
// write leaves whatever was there, and a FIFO, device or folder is refused, never opened.
bool SavePng(const QImage& img, const std::string& path, std::string& error) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!img.save(&buffer, "PNG")) {
    error = "cannot encode the picture as PNG";
    return false;
  }
  std::string why;
  if (WriteFileAtomically(path, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), &why)) {
    return true;
  }
  error = "cannot write \"" + path + "\": " + why;
  return false;
}

// The R and X diagram of set 0 over its whole frequency range.
void PaintRxDiagram(QImage& img, ResultsStore& store, const GraphPanelSettings& panel, bool chart) {
  ResultsPointSource source(MeasureSnapshot::Uncalibrated(BridgeFromPanel(panel)));
  const std::vector<RxSeries> series = GatherRxSeries(store, panel, source);
  const RxRange range = RxSeriesRange(series);
  RxScene scene;
  scene.series = &series;
  scene.settings.Load(Settings(), range);
  scene.settings.m_Mode = chart ? 1 : 0;
  scene.settings.m_ShowFMin = range.lo, scene.settings.m_ShowFMax = range.hi;
  scene.z0 = panel.m_RCable, scene.rmax = panel.m_RMax;
  scene.scale_at = QPoint(10, 10);
  QPainter p(&img);
  RxPainter().Paint(p, img.rect(), scene);
}

}  // namespace

bool RenderScanPlot(const ScanPlotRequest& rq, std::string& error) {
  if (rq.width < 200 || rq.height < 150 || rq.width > 10000 || rq.height > 10000) {
    error = "size must be from 200x150 to 10000x10000";
    return false;
  }
  // Painting needs only a GUI application (fonts, the palette), never the widget library: the
  // command-line tool draws without it.
  std::unique_ptr<QGuiApplication> app;
  if (!QCoreApplication::instance()) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "kavusdraa-cli";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QGuiApplication>(argc, argv);
    // Qt switches the C library to the user's locale, where "2.5" may read as 2 (ru_RU).
    std::setlocale(LC_NUMERIC, "C");
  }
  auto store = std::make_unique<ResultsStore>();
  ScanFileReport report;
  // The reason the file cannot be drawn: it cannot be opened (missing, a folder, a FIFO: the
  // open error names the path), it is not a scan file, or it holds no points.
  if (!store->LoadAntIzmsFile(rq.scan_file, store->Set(0), &report)) {
    error = report.status == ScanFileStatus::kNotOpened ? report.Describe()
                                                        : "\"" + rq.scan_file + "\": " + report.Describe();
    return false;
  }
  if (store->Set(0).Count() == 0) {
    error = "\"" + rq.scan_file + "\": no points";
    return false;
  }
  GraphPanelSettings panel;
  panel.Load(Settings());
  panel.m_IsPredScan = 0;
  panel.m_IsFile.fill(0);
  if (!ApplyGraphChoice(panel, rq.graphs, error)) return false;
  if (rq.kind != ScanPlotRequest::kGraphs) {
    QImage img(rq.width, rq.height, QImage::Format_RGB32);
    PaintRxDiagram(img, *store, panel, rq.kind == ScanPlotRequest::kCircleChart);
    return SavePng(img, rq.png_file, error);
  }
  ResultsPointSource source(MeasureSnapshot::Uncalibrated(BridgeFromPanel(panel)));
  OGrList_EKG list(*store, panel, source);
  BuildResultsGraphList(list, panel, *store);
  QImage img(rq.width, rq.height, QImage::Format_RGB32);
  img.fill(Qt::white);
  TGrDia horizontal;
  AutoscaleOnAttach(list, horizontal);
  GraphPainter painter;
  GraphLayoutInput in;
  in.width = rq.width, in.height = rq.height, in.panes = list.GetGraphCount();
  in.scroll_h = 4, in.scroll_v = 4, in.text_h = painter.TextHeight();
  const GraphLayout layout = ComputeGraphLayout(in);
  {
    QPainter p(&img);
    painter.Prepare(&list, horizontal, layout, rq.width);
    painter.Paint(p, &list, horizontal, layout, rq.width);
  }
  return SavePng(img, rq.png_file, error);
}

}  // namespace kavu
