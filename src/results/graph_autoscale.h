#pragma once
// Autoscaling of a graph list: the full ranges when a list is attached to a window, and the
// visible value range of an autoscaled pane from the points in view.
#include "results/gr_list.h"

namespace kavu {

// For every graph: full range emptied, m_IsAuto on, m_Format = m_GraphType; the full ranges of
// the value axes and of `horizontal` taken from all valid points (or the lines' fixed ranges),
// widened by the must-include range, the minimum span and a margin of 1e-10 of the magnitude
// (0.5 for a range at 0); then every axis is normalised to show its full range.
void AutoscaleOnAttach(OGrList& list, TGrDia& horizontal);

// The visible range of graph g's axis from the points whose x lies in the horizontal visible
// range (skipping invalid and non-autoscaled points, and glitches while they are ignored).
// Each line is told whether it had points in view. Normalise(false) follows. An axis with no
// point in view keeps its range.
void AutoscaleVisible(OGrList& list, int g, const TGrDia& horizontal);

}  // namespace kavu
