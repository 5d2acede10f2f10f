#include "scan/one_signal_gr_list.h"

#include <algorithm>
#include <cmath>
#include <vector>


namespace kavu {

std::span<const SettingBinding<OneSignalChoice>> OneSignalChoice::Bindings() {
  using C = OneSignalChoice;
  static constexpr SettingBinding<OneSignalChoice> kFields[] = {
      Bind<&C::m_IsA>("m_IsA", 1, DefaultOutside(0, 1)),
      Bind<&C::m_IsAFiltrAmpl>("m_IsAFiltrAmpl", 1, DefaultOutside(0, 1)),
      Bind<&C::m_IsB>("m_IsB", 1, DefaultOutside(0, 1)),
      Bind<&C::m_IsIn>("m_IsIn", 0, DefaultOutside(0, 1)),
      Bind<&C::m_IsPf>("m_IsPf", 1, DefaultOutside(0, 1)),
      Bind<&C::m_IsIn2>("m_IsIn2", 0, DefaultOutside(0, 1)),
      Bind<&C::m_IsFaza>("m_IsFaza", 1, DefaultOutside(0, 1)),
  };
  static_assert(std::size(kFields) == 7, "one binding per box");
  return kFields;
}

std::array<std::pair<const char*, int*>, 7> OneSignalChoice::Fields() {
  std::array<std::pair<const char*, int*>, 7> fields{};
  for (size_t i = 0; i < fields.size(); ++i) {
    const SettingBinding<OneSignalChoice>& b = Bindings()[i];
    fields[i] = {b.key, &std::get<IntSetting<OneSignalChoice>>(b.value).at(*this)};
  }
  return fields;
}

void OneSignalChoice::Load() { LoadSettings(Settings(), kSection, Bindings(), *this); }

void OneSignalChoice::Save() const { SaveSettings(Settings(), kSection, Bindings(), *this); }

int32_t OneSignalLine::GetCount() const {
  const size_t n = complex_ ? complex_->v.size() : (real_ ? real_->v.size() : 0);
  return static_cast<int32_t>(std::min<size_t>(n, INT32_MAX));
}

void OneSignalLine::GetIndexRange(double x_lo, double x_hi, int pixels, int32_t& first, int32_t& end,
                                  int32_t& step) const {
  const int32_t n = GetCount();
  first = 0, end = n, step = 1;
  const double dt = Dt();
  if (n == 0 || !(dt > 0) || !std::isfinite(x_lo) || !std::isfinite(x_hi) || x_hi < x_lo) return;
  const double lo = std::floor((x_lo - T0()) / dt) - 1, hi = std::ceil((x_hi - T0()) / dt) + 2;
  first = static_cast<int32_t>(std::clamp(lo, 0.0, static_cast<double>(n)));
  end = static_cast<int32_t>(std::clamp(hi, static_cast<double>(first), static_cast<double>(n)));
  // Column merging keeps each column's extremes; a coarse step would lose them, so only a very
  // dense view is thinned.
  const int64_t dense = int64_t{std::max(pixels, 1)} * 64;
  if (end - first > dense) step = static_cast<int32_t>((end - first) / dense);
}

int32_t OneSignalLine::GetPoint(int32_t i, double& x, double& y) const {
  if (i < 0 || i >= GetCount()) return kGrInvalid;
  x = T0() + static_cast<double>(i) * Dt();
  const size_t k = static_cast<size_t>(i);
  switch (quantity_) {
    case Quantity::kAmplitude: y = std::abs(complex_->v[k]); break;
    case Quantity::kPhase: y = std::arg(complex_->v[k]); break;
    case Quantity::kReal: y = real_->v[k]; break;
  }
  return std::isfinite(y) ? kGrNoMarker : kGrInvalid;
}

void OneSignalGrList::Add(int pane, const OneSignalLine& line) {
  int32_t& n = counts_[static_cast<size_t>(pane)];
  if (n < kMaxLines) lines_[static_cast<size_t>(pane)][static_cast<size_t>(n++)] = line;
}

void OneSignalGrList::Build(const OneSignalSnapshot& snap, const OneSignalChoice& c) {
  counts_ = {};
  using Q = OneSignalLine::Quantity;
  const bool b = c.m_IsB && snap.hasB;
  struct Shown {
    const TimeSeries<std::complex<float>>* s;
    const char* phaseName;
  };
  std::vector<Shown> phases;
  auto complexLine = [&](const TimeSeries<std::complex<float>>& s, const char* name, const char* phaseName) {
    Add(0, OneSignalLine(s, Q::kAmplitude, name));
    phases.push_back({&s, phaseName});
  };
  if (c.m_IsIn) {
    if (c.m_IsA) complexLine(snap.rawA, "A исх", "фаза A исх");
    if (b) complexLine(snap.rawB, "B исх", "фаза B исх");
  }
  if (c.m_IsPf) {
    if (c.m_IsA) complexLine(snap.decA, "A фильтр", "фаза A");
    if (c.m_IsAFiltrAmpl) Add(0, OneSignalLine(snap.filteredAmplitude, "A фильтр ампл"));
    if (b) complexLine(snap.decB, "B фильтр", "фаза B");
  }
  if (c.m_IsIn2) Add(0, OneSignalLine(snap.wholeBand, "исх с децим"));
  if (c.m_IsFaza) {
    for (const Shown& s : phases) Add(1, OneSignalLine(*s.s, Q::kPhase, s.phaseName));
  }
  graphs_ = counts_[1] > 0 ? 2 : 1;
  axes_[0].ResetForGraph(0);
  axes_[1].ResetForGraph(2);  // radians shown in degrees
}

OGrListItem& OneSignalGrList::GetLine(int32_t g, int32_t l) {
  const size_t p = Pane(g);
  return lines_[p][static_cast<size_t>(std::clamp(l, 0, std::max(counts_[p] - 1, 0)))];
}

}  // namespace kavu
