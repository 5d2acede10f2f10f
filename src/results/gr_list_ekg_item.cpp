// Points and names of the scan-result lines, read from the table of plotted quantities.
#include <algorithm>
#include <cmath>

#include "results/gr_list_ekg.h"
#include "results/graph_quantities.h"
#include "results/results_store.h"

namespace kavu {

const AntIzms* OGrListItem_EKG::SetOf(ResultsStore& store, int set_number) {
  switch (set_number) {
    case 0: return &store.Set(0);
    case 1: return &store.Set(1);
    case 2: return &store.Set(2);
    case 3: return &store.Set(4);
    default:
      if (set_number >= 4 && set_number <= 9) return &store.Slot(set_number - 3);
      return nullptr;
  }
}

int32_t OGrListItem_EKG::GetCount() const {
  const AntIzms* set = SetOf(*store_, code >> 16);
  return set ? set->Count() : 0;
}

bool OGrListItem_EKG::GetFixedRange(double& x0, double& x1, double& y0, double& y1) const {
  const GraphQuantity* row = FindGraphQuantity(code & 0xFFFF);
  if (!row || row->number != kSwrQuantity) return false;
  x0 = 1e100, x1 = -1e100;
  if (const AntIzms* set = SetOf(*store_, code >> 16)) {
    for (int32_t i = 0, n = set->Count(); i < n; ++i) {
      const double f = set->At(i).freqHz * 1e-6;
      if (!std::isfinite(f)) continue;
      x0 = std::min(x0, f), x1 = std::max(x1, f);
    }
  }
  y0 = 1, y1 = panel_->m_KsvMax;
  return true;
}

int32_t OGrListItem_EKG::GetPoint(int32_t i, double& x, double& y) const {
  x = 0, y = 0;
  const AntIzms* set = SetOf(*store_, code >> 16);
  if (!set) return kGrInvalid;
  i = std::clamp<int32_t>(i, 0, AntIzms::kCapacity - 1);
  const AntIzm& p = set->At(i);
  const double f = p.freqHz;
  x = f * 1e-6;
  int32_t flags = panel_->m_IsMarkers == 1 ? 0 : kGrNoMarker;
  if (panel_->m_IsMarkers == 2 && i > 0 && p.overloads != set->At(i - 1).overloads) flags = 0;
  const GraphQuantity* row = FindGraphQuantity(code & 0xFFFF);
  if (!row || !row->value) return kGrInvalid;
  const QuantityPoint in{*set, i, p, f, *source_, *panel_, (parallel & 1) != 0, IsCableCode(code & 0xFFFF)};
  y = row->value(in, flags);
  // A value that is not a finite number is never drawn (whatever the quantity).
  if (!std::isfinite(y) || !std::isfinite(x)) return kGrInvalid;
  return flags;
}

void OGrListItem_EKG::GetName(std::string& text) const {
  static constexpr const char* kPrefixes[] = {"", "пред ", "гарм1 ", "гарм2 ", "файл1 ",
                                              "файл2 ", "файл3 ", "файл4 ", "файл5 ", "файл6 "};
  const int set = code >> 16;
  text = (set >= 0 && set <= 9) ? kPrefixes[set] : "";
  text += QuantityName(code & 0xFFFF, (parallel & 1) != 0);
}

}  // namespace kavu
