#pragma once
// The points the R and X diagram draws: the impedance of every point of every shown set (set 0,
// set 1 when the panel shows the previous scan, the comparison slots whose boxes are set), with
// the panel's cable and second-channel choices. Points whose frequency or impedance is not a
// finite number are left out here, so nothing downstream divides by them.
#include <complex>
#include <string>
#include <vector>

#include "results/graph_panel_settings.h"
#include "results/graph_point_source.h"
#include "results/results_store.h"
#include "results/rx_diagram_settings.h"
#include "results/swr_circle_fit.h"

namespace kavu {

struct RxPoint {
  double f_mhz = 0;
  std::complex<double> z;  // R + jX, Ω
};

struct RxSeries {
  int set = 0;  // set number as the graph list counts them: 0, 1, 4 … 9 for slots 1 … 6
  std::vector<RxPoint> points;
};

std::vector<RxSeries> GatherRxSeries(ResultsStore& store, const GraphPanelSettings& panel,
                                     const IGraphPointSource& source);

// The data range over all gathered points (0 … 6600 without points).
RxRange RxSeriesRange(const std::vector<RxSeries>& series);

// The points inside the frequency window of all series, as R + jX, or as Γ against z0 in the
// circle diagram.
std::vector<std::complex<double>> RxWindowPoints(const std::vector<RxSeries>& series,
                                                 const RxDiagramSettings& settings, double z0);

// "Подобрать!": fits the SWR circle to the window's points and puts the SWR and the cable
// impedance in front of the two lists. A refused fit leaves the settings as they were. The
// returned text is the log line (values or the reason).
struct RxFitOutcome {
  SwrCircleFit fit;
  std::string log;
};
RxFitOutcome ApplyRxFit(RxDiagramSettings& settings, const std::vector<RxSeries>& series, double z0);

}  // namespace kavu
