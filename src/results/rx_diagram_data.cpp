#include "results/rx_diagram_data.h"

#include <cmath>
#include <limits>

#include "platform/number_text.h"

namespace kavu {
namespace {

RxSeries Gather(const AntIzms& set, int number, bool cable, const IGraphPointSource& source) {
  RxSeries s;
  s.set = number;
  const int32_t n = set.Count();
  s.points.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    const double f = set.At(i).freqHz / 1e6;
    const std::complex<double> z = source.Impedance(set, i, cable);
    if (!std::isfinite(f) || !std::isfinite(z.real()) || !std::isfinite(z.imag())) continue;
    s.points.push_back({f, z});
  }
  return s;
}

}  // namespace

std::vector<RxSeries> GatherRxSeries(ResultsStore& store, const GraphPanelSettings& panel,
                                     const IGraphPointSource& source) {
  const bool cable = panel.m_IsTransLen != 0;
  std::vector<RxSeries> out;
  out.push_back(Gather(store.Set(0), 0, cable, source));
  if (panel.m_IsPredScan) out.push_back(Gather(store.Set(1), 1, cable, source));
  for (int k = 1; k <= ResultsStore::kSlots; ++k) {
    if (panel.m_IsFile[static_cast<size_t>(k)]) out.push_back(Gather(store.Slot(k), k + 3, cable, source));
  }
  return out;
}

RxRange RxSeriesRange(const std::vector<RxSeries>& series) {
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  bool any = false;
  for (const auto& s : series) {
    for (const auto& p : s.points) lo = std::min(lo, p.f_mhz), hi = std::max(hi, p.f_mhz), any = true;
  }
  return RxDataRange(lo, hi, any);
}

std::vector<std::complex<double>> RxWindowPoints(const std::vector<RxSeries>& series,
                                                 const RxDiagramSettings& settings, double z0) {
  std::vector<std::complex<double>> out;
  for (const auto& s : series) {
    for (const auto& p : s.points) {
      if (settings.InWindow(p.f_mhz)) out.push_back(settings.CircleMode() ? RxGamma(p.z, z0) : p.z);
    }
  }
  return out;
}

RxFitOutcome ApplyRxFit(RxDiagramSettings& settings, const std::vector<RxSeries>& series, double z0) {
  const auto points = RxWindowPoints(series, settings, z0);
  RxFitOutcome r;
  r.fit = settings.CircleMode() ? FitSwrCircleGamma(points, z0) : FitSwrCircleRx(points);
  if (!r.fit.ok) {
    r.log = "CDlgRX::Podbor() - не подобрать: " + r.fit.why + " (точек " + std::to_string(points.size()) + ")";
    return r;
  }
  r.log = "x0=" + FormatG(r.fit.x0, 8) + " R=" + FormatG(r.fit.radius, 8) + " ksv=" + FormatG(r.fit.swr, 8) +
          " Z0=" + FormatG(r.fit.rc, 8);
  settings.sKSVs = PrependToList(r.fit.swr, settings.sKSVs);
  settings.sRCabs = PrependToList(r.fit.rc, settings.sRCabs);
  return r;
}

}  // namespace kavu
