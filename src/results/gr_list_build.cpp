// The results window's graph list, built from the panel's settings and the table of plotted
// quantities: the graph groups in order, each one graph (or, with m_IsRazd, one graph per shown
// set), sets in order 0–9, within a set the table's rows of that group in table order.
#include <array>

#include "results/gr_list_ekg.h"
#include "results/graph_quantities.h"
#include "results/results_store.h"

namespace kavu {
namespace {

using P = GraphPanelSettings;

struct GroupRule {
  GraphGroup group;
  int32_t type;          // the axis format of its graphs (3: degrees)
  int32_t P::*box;       // drawn only while this box is set (null: always)
};

constexpr GroupRule kGroupRules[] = {
    {GraphGroup::kInput, 1, &P::m_IsUGen},   {GraphGroup::kPeak, 1, &P::m_IsMax},
    {GraphGroup::kGain, 1, &P::m_IsEK2},     {GraphGroup::kLevels, 1, nullptr},
    {GraphGroup::kRatios, 1, nullptr},       {GraphGroup::kPhase, 3, nullptr},
    {GraphGroup::kResistance, 1, nullptr},   {GraphGroup::kReactance, 1, nullptr},
    {GraphGroup::kModulus, 1, nullptr},      {GraphGroup::kCapacitance, 1, nullptr},
    {GraphGroup::kInductance, 1, nullptr},   {GraphGroup::kSwr, 1, nullptr},
    {GraphGroup::kGamma, 1, nullptr},        {GraphGroup::kDelay, 1, nullptr},
    {GraphGroup::kPpm, 1, nullptr},
};

// The graph a row is drawn in: reactance and modulus join the resistance graph unless
// m_IsRazdRX asks for graphs of their own.
GraphGroup GraphOf(const GraphQuantity& row, const P& p) {
  const bool joins = row.group == GraphGroup::kReactance || row.group == GraphGroup::kModulus;
  return joins && !p.m_IsRazdRX ? GraphGroup::kResistance : row.group;
}

// The box m_IsUFilter has three states, so "not the third" (< 2) and "≠ 2" are the same.
bool InBand(QuantityBand band, const P& p) {
  switch (band) {
    case QuantityBand::kAny: return true;
    case QuantityBand::kNarrow: return p.m_IsUFilter < 2;
    case QuantityBand::kBpf: return p.m_IsUFilter != 0;
    case QuantityBand::kWhole: return p.m_IsShirik != 0;
  }
  return false;
}

struct Codes {
  std::array<int, 4> code{};
  int count = 0;
  void AddIf(bool cond, int q) {
    if (cond) code[static_cast<size_t>(count++)] = q;
  }
};

// The line codes of `row` for one set (QuantityLines says which).
Codes LinesOf(const GraphQuantity& row, const P& p, bool duo) {
  Codes c;
  const int n = row.number, t = p.m_IsTransLen, u = p.m_UseDuoAmpl;
  const bool d = duo && (p.m_UseDuoFaza || p.m_UseDuoAmpl);
  switch (row.lines) {
    case QuantityLines::kOne: c.AddIf(true, n); break;
    case QuantityLines::kImpedance:
    case QuantityLines::kImpedanceAnyU: {
      const bool u_ok = row.lines == QuantityLines::kImpedanceAnyU || u < 2;
      c.AddIf(t < 2 && u_ok, n);
      c.AddIf(t != 0 && u_ok, n + 10);
      c.AddIf(d && t < 2, n + 20);
      c.AddIf(d && t != 0, n + 30);
      break;
    }
    case QuantityLines::kImpedanceNoCable:
      c.AddIf(u < 2, n);
      c.AddIf(d, n + 20);
      break;
    case QuantityLines::kNone: break;
  }
  return c;
}

bool IsShown(const P& p, int set) {
  if (set == 0) return true;
  if (set == 1) return p.m_IsPredScan != 0;
  if (set >= 4 && set <= 9) return p.m_IsFile[static_cast<size_t>(set - 3)] != 0;
  return false;
}

// Adds the lines of one group for one set.
void AddGroupLines(OGrList_EKG& list, const GroupRule& g, const P& p, int set, bool duo, bool& new_graph) {
  for (const GraphQuantity& row : GraphQuantities()) {
    if (row.lines == QuantityLines::kNone || GraphOf(row, p) != g.group) continue;
    if (!InBand(row.band, p) || !row.shown(p, duo)) continue;
    const Codes c = LinesOf(row, p, duo);
    for (int k = 0; k < c.count; ++k) list.AddLine((set << 16) | c.code[static_cast<size_t>(k)], new_graph, g.type);
  }
}

}  // namespace

bool BuildResultsGraphList(OGrList_EKG& list, const GraphPanelSettings& panel, ResultsStore& store) {
  list.Clear();
  list.SetParallel(panel.m_IsLCRPara);
  bool any_duo = false;
  for (int s = 0; s <= 9; ++s) {
    if (IsShown(panel, s) && OGrListItem_EKG::SetOf(store, s)->hasDuo) any_duo = true;
  }
  for (const GroupRule& g : kGroupRules) {
    if (g.box && !(panel.*g.box)) continue;
    bool new_graph = true;
    for (int s = 0; s <= 9; ++s) {
      if (!IsShown(panel, s)) continue;
      if (panel.m_IsRazd) new_graph = true;
      AddGroupLines(list, g, panel, s, OGrListItem_EKG::SetOf(store, s)->hasDuo != 0, new_graph);
    }
  }
  return any_duo;
}

}  // namespace kavu
