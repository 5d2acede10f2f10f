// The results window's graph list, built from the panel's settings: fifteen groups of quantities,
// each group one graph (or, with m_IsRazd, one graph per shown set), sets in order 0–9.
#include <functional>
#include <vector>

#include "results/gr_list_ekg.h"
#include "results/results_store.h"

namespace kavu {
namespace {

using Lines = std::vector<int>;
// The quantity numbers one group shows for a set, given whether the set has Duo data.
using GroupFn = std::function<Lines(bool duo)>;

void AddIf(Lines& out, bool cond, int q) {
  if (cond) out.push_back(q);
}

// Four level lines (A duo, A, O duo, O) of one family.
void FourLevels(Lines& out, const GraphPanelSettings& p, bool duo, int a_duo, int a, int o_duo, int o) {
  AddIf(out, p.m_IsNS && duo, a_duo);
  AddIf(out, p.m_IsNS2, a);
  AddIf(out, p.m_IsONS && duo, o_duo);
  AddIf(out, p.m_IsONS2, o);
}

// Impedance lines of one kind (offset 0 R, 1 X, 2 |Z|, 4 C, 5 L) under the R conditions;
// |Z| ignores U.
void ImpedanceLines(Lines& out, const GraphPanelSettings& p, bool duo, int kind) {
  const int t = p.m_IsTransLen, u = p.m_UseDuoAmpl;
  const bool d = duo && (p.m_UseDuoFaza || p.m_UseDuoAmpl);
  const bool u_ok = kind == 2 || u < 2;
  AddIf(out, t < 2 && u_ok, 600 + kind);
  AddIf(out, t != 0 && u_ok, 610 + kind);
  AddIf(out, d && t < 2, 620 + kind);
  AddIf(out, d && t != 0, 630 + kind);
}

std::vector<std::pair<GroupFn, int>> Groups(const GraphPanelSettings& p) {
  std::vector<std::pair<GroupFn, int>> g;
  const int uf = p.m_IsUFilter;
  g.push_back({[&p, uf](bool duo) {
                 Lines l;
                 if (!p.m_IsUGen) return l;
                 if (uf < 2) FourLevels(l, p, duo, 40, 41, 140, 141);
                 if (uf != 0) FourLevels(l, p, duo, 74, 75, 174, 175);
                 if (p.m_IsShirik) FourLevels(l, p, duo, 70, 71, 170, 171);
                 return l;
               }, 1});
  g.push_back({[&p](bool duo) {
                 Lines l;
                 if (p.m_IsMax) FourLevels(l, p, duo, 50, 51, 150, 151);
                 return l;
               }, 1});
  g.push_back({[&p](bool duo) {
                 Lines l;
                 AddIf(l, p.m_IsEK2 && duo, 200);
                 AddIf(l, p.m_IsEK2, 201);
                 return l;
               }, 1});
  g.push_back({[&p, uf](bool duo) {
                 Lines l;
                 const bool pause = p.m_IsPause && (p.m_IsNS2 || p.m_IsONS2);
                 if (uf < 2) FourLevels(l, p, duo, 0, 1, 100, 101), AddIf(l, pause, 3);
                 if (uf != 0) FourLevels(l, p, duo, 64, 65, 164, 165), AddIf(l, pause, 6);
                 if (p.m_IsShirik) FourLevels(l, p, duo, 60, 61, 160, 161), AddIf(l, pause, 7);
                 return l;
               }, 1});
  g.push_back({[&p, uf](bool duo) {
                 Lines l;
                 if (uf != 2) {
                   AddIf(l, p.m_IsDeltaA && duo, 4);
                   AddIf(l, p.m_IsDeltaB, 104);
                   AddIf(l, p.m_IsDeltaA_B && duo, 5);
                   AddIf(l, p.m_IsPause && p.m_IsDeltaB, 8);
                 }
                 if (uf != 0) {
                   AddIf(l, p.m_IsDeltaA && duo, 66);
                   AddIf(l, p.m_IsDeltaB, 166);
                   AddIf(l, p.m_IsPause && p.m_IsDeltaB, 9);
                 }
                 if (p.m_IsShirik) {
                   AddIf(l, p.m_IsDeltaA && duo, 62);
                   AddIf(l, p.m_IsDeltaB, 162);
                   AddIf(l, p.m_IsPause && p.m_IsDeltaB, 10);
                 }
                 return l;
               }, 1});
  g.push_back({[&p](bool duo) {
                 Lines l;
                 AddIf(l, p.m_IsFAZA, 500);
                 AddIf(l, p.m_IsFAZA_Duo && duo, 501);
                 return l;
               }, 3});
  g.push_back({[&p](bool duo) {
                 Lines l;
                 if (p.m_IsR) ImpedanceLines(l, p, duo, 0);
                 if (!p.m_IsRazdRX && p.m_IsX) ImpedanceLines(l, p, duo, 1);
                 if (!p.m_IsRazdRX && p.m_IsRX) ImpedanceLines(l, p, duo, 2);
                 return l;
               }, 1});
  for (int kind : {1, 2}) {
    g.push_back({[&p, kind](bool duo) {
                   Lines l;
                   const int32_t on = kind == 1 ? p.m_IsX : p.m_IsRX;
                   if (p.m_IsRazdRX && on) ImpedanceLines(l, p, duo, kind);
                   return l;
                 }, 1});
  }
  for (int kind : {4, 5}) {
    g.push_back({[&p, kind](bool duo) {
                   Lines l;
                   if (kind == 4 ? p.m_IsC : p.m_IsL) ImpedanceLines(l, p, duo, kind);
                   return l;
                 }, 1});
  }
  for (int kind : {3, 6}) {
    g.push_back({[&p, kind](bool duo) {
                   Lines l;
                   if (!(kind == 3 ? p.m_IsKSV : p.m_IsKSVG)) return l;
                   AddIf(l, p.m_UseDuoAmpl < 2, 600 + kind);
                   AddIf(l, duo && (p.m_UseDuoFaza || p.m_UseDuoAmpl), 620 + kind);
                   return l;
                 }, 1});
  }
  g.push_back({[&p](bool) { return p.m_IsDelay ? Lines{740} : Lines{}; }, 1});
  g.push_back({[&p](bool) { return p.m_IsPPM ? Lines{741} : Lines{}; }, 1});
  return g;
}

bool IsShown(const GraphPanelSettings& p, int set) {
  if (set == 0) return true;
  if (set == 1) return p.m_IsPredScan != 0;
  if (set >= 4 && set <= 9) return p.m_IsFile[static_cast<size_t>(set - 3)] != 0;
  return false;
}

}  // namespace

bool BuildResultsGraphList(OGrList_EKG& list, const GraphPanelSettings& panel, ResultsStore& store) {
  list.Clear();
  list.SetParallel(panel.m_IsLCRPara);
  bool any_duo = false;
  for (int s = 0; s <= 9; ++s) {
    if (IsShown(panel, s) && OGrListItem_EKG::SetOf(store, s)->hasDuo) any_duo = true;
  }
  for (const auto& [lines_of, type] : Groups(panel)) {
    bool new_graph = true;
    for (int s = 0; s <= 9; ++s) {
      if (!IsShown(panel, s)) continue;
      if (panel.m_IsRazd) new_graph = true;
      const bool duo = OGrListItem_EKG::SetOf(store, s)->hasDuo != 0;
      for (int q : lines_of(duo)) list.AddLine((s << 16) | q, new_graph, type);
    }
  }
  return any_duo;
}

}  // namespace kavu
