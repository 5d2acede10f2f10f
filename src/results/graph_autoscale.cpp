#include "results/graph_autoscale.h"

#include <algorithm>
#include <cmath>

#include "results/graph_curves.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

struct Range {
  double lo = TGrDia::kEmpty, hi = -TGrDia::kEmpty;
  void Add(double a, double b) {
    if (!TGrDia::IsValidRange(a, b)) return;
    lo = std::min(lo, a), hi = std::max(hi, b);
  }
};

// Must-include range, minimum span and the 1e-10 margin on a full range.
void FinishFull(TGrDia& a) {
  a.ExtendFull(a.m_Must0, a.m_Must1);
  if (!a.FullValid()) return;
  if (a.m_MinSpan >= 0 && a.m_Full1 - a.m_Full0 < a.m_MinSpan) {
    const double grow = (a.m_MinSpan - (a.m_Full1 - a.m_Full0)) / 2;
    a.m_Full0 -= grow, a.m_Full1 += grow;
  }
  double m = std::max({std::fabs(a.m_Full0), a.m_Full1 - a.m_Full0, std::fabs(a.m_Full1)}) * 1e-10 / 2;
  if (m == 0) m = 0.5;
  a.m_Full0 -= m, a.m_Full1 += m;
}

}  // namespace

void AutoscaleOnAttach(OGrList& list, TGrDia& horizontal) {
  horizontal.EmptyFull();
  for (int g = 0; g < list.GetGraphCount(); ++g) {
    TGrDia& axis = list.GetAxis(g);
    axis.EmptyFull();
    axis.m_IsAuto = 1;
    axis.SetFormat(axis.m_GraphType);
    for (int l = 0; l < list.GetLineCount(g); ++l) {
      OGrListItem& line = list.GetLine(g, l);
      if (line.GetKind() == 1) {
        double x0, x1, y0, y1;
        line.GetFunctionXRange(x0, x1);
        line.GetFunctionYRange(y0, y1);
        if (!TGrDia::IsValidRange(y0, y1) && TGrDia::IsValidRange(x0, x1) &&
            SampledFunctionRange(line, x0, x1, y0, y1)) {
          Log() << "Расчет диа изм mi=" << y0 << " ma=" << y1 << "\n";
        }
        horizontal.ExtendFull(x0, x1);
        axis.ExtendFull(y0, y1);
        continue;
      }
      double x0, x1, y0, y1;
      if (line.GetFixedRange(x0, x1, y0, y1)) {
        horizontal.ExtendFull(x0, x1);
        axis.ExtendFull(y0, y1);
        continue;
      }
      const bool band = line.HasBand();
      for (int32_t i = 0, n = line.GetCount(); i < n; ++i) {
        double x, y;
        if (line.GetPoint(i, x, y) & kGrInvalid) continue;
        if (x > -TGrDia::kEmpty && x < TGrDia::kEmpty) horizontal.ExtendFull(x, x);
        const double h = band ? std::fabs(line.GetHalfWidth(i)) : 0;
        axis.ExtendFull(y - h, y + h);
      }
    }
    FinishFull(axis);
    axis.m_IsFull = 1;
    axis.Normalise(true);
  }
  FinishFull(horizontal);
  horizontal.m_IsFull = 1;
  horizontal.m_IsAuto = 0;
  horizontal.Normalise(true);
}

void AutoscaleVisible(OGrList& list, int g, const TGrDia& horizontal) {
  TGrDia& axis = list.GetAxis(g);
  if (!axis.m_IsAuto) return;
  Range r;
  const double x_lo = horizontal.m_Show0, x_hi = horizontal.m_Show1;
  const int32_t skip = kGrInvalid | kGrNoAutoscale | (axis.m_IsIgnoreGlitches ? kGrGlitch : 0);
  for (int l = 0; l < list.GetLineCount(g); ++l) {
    OGrListItem& line = list.GetLine(g, l);
    Range lr;
    if (line.GetKind() == 1) {
      for (int k = 0; k <= 1024; ++k) {
        const double x = x_lo + (x_hi - x_lo) * k / 1024;
        const double y = line.GetFunctionValue(x), h = std::fabs(line.GetHalfWidthAt(x));
        if (std::isfinite(y)) lr.Add(y - h, y + h);
      }
    } else {
      const bool band = line.HasBand();
      for (int32_t i = 0, n = line.GetCount(); i < n; ++i) {
        double x, y;
        if ((line.GetPoint(i, x, y) & skip) || x < x_lo || x > x_hi) continue;
        const double h = band ? std::fabs(line.GetHalfWidth(i)) : 0;
        lr.Add(y - h, y + h);
      }
    }
    line.SetHasVisiblePoints(TGrDia::IsValidRange(lr.lo, lr.hi));
    r.Add(lr.lo, lr.hi);
  }
  if (TGrDia::IsValidRange(r.lo, r.hi)) axis.m_Show0 = r.lo, axis.m_Show1 = r.hi;
  axis.Normalise(false);
}

}  // namespace kavu
