#include "results/tgr_dia.h"

#include <algorithm>
#include <cmath>

#include "platform/num_convert.h"

namespace kavu {
namespace {

constexpr const char* kFormatNames[TGrDia::kFormats] = {
    "число", "число c пробелами", "градусы с десятыми", "градусы:мин:сек",
    "час:мин:сек", "дни:час:мин:сек", "ДМВ время", "ДМВ дата:время"};

bool IsSexagesimal(int format) { return format >= 3 && format <= 7; }

}  // namespace

void TGrDia::ResetForGraph(int32_t type) {
  m_Must0 = kEmpty;
  m_Must1 = -kEmpty;
  m_MinSpan = -1e100;
  EmptyFull();
  m_Show0 = kEmpty;
  m_Show1 = -kEmpty;
  m_IsLog = 0;
  m_IsFull = 1;
  m_IsAuto = 0;
  m_IsIgnoreGlitches = 1;
  Init();
  m_IsGrid = m_IsValues = m_IsLegend = m_IsSpare = 1;
  m_GraphType = type;
  m_Setka_N = 0;
}

void TGrDia::Init() {
  EnableAllFormats();
  m_Format = 1;
}

int TGrDia::GetFormatName(int number, std::string& text) const {
  if (number < 0 || number >= kFormats) {
    text = "не знаю, ошибка";
    return 0;
  }
  text = kFormatNames[number];
  return m_FormatEnabled[number];
}

void TGrDia::EnableAllFormats() { std::fill(std::begin(m_FormatEnabled), std::end(m_FormatEnabled), 1); }

void TGrDia::EnableFormat(int number, int flag) {
  if (number >= 0 && number < 16) m_FormatEnabled[number] = flag ? 1 : 0;
}

void TGrDia::SetFormat(int number) { m_Format = (number >= 0 && number < kFormats) ? number : 0; }

double TGrDia::DisplayFactor() const {
  if (m_Format == 2) return kRadToDeg;
  if (m_Format == 3) return kRadToArcSec;
  return 1.0;
}

int32_t TGrDia::Setka_BigN(int32_t exponent) const {
  if (m_Format <= 2 || exponent < 0) return 10;
  return (exponent == 1 || exponent == 3) ? 6 : 10;
}

void TGrDia::Setka_Create(double delta_min) {
  m_Setka_N = 0;
  const double factor = DisplayFactor();
  delta_min *= factor;
  const double show0 = m_Show0 * factor, show1 = m_Show1 * factor;
  if (!ShowValid() || !std::isfinite(delta_min) || delta_min <= 0 || !std::isfinite(show0) ||
      !std::isfinite(show1)) {
    return;
  }
  double e;
  int32_t exponent, d;
  if (!IsSexagesimal(m_Format) || delta_min <= 10) {
    exponent = static_cast<int32_t>(std::ceil(std::log10(delta_min)));
    e = std::pow(10.0, exponent);
    d = 10;
  } else if (delta_min <= 60) {
    exponent = 2, e = 60, d = 6;
  } else if (delta_min <= 600) {
    exponent = 3, e = 600, d = 10;
  } else {
    const int32_t g = static_cast<int32_t>(std::ceil(std::log10(delta_min / 3600)));
    exponent = g + 4;
    e = 3600 * std::pow(10.0, g);
    d = g == 0 ? 6 : 10;
  }
  for (int32_t k = 1; k <= d; ++k) {
    if (d % k != 0) continue;
    if (e / (d / k) >= delta_min || k == d) {
      d /= k;
      break;
    }
  }
  m_Setka_DopN = d;
  m_Setka_Step = e / d;
  m_Setka_StepBase_I = exponent;
  const double first = std::ceil(show0 / m_Setka_Step);
  const double n = std::floor(show1 / m_Setka_Step) - first + 1;
  m_Setka_BigN = Setka_BigN(exponent);
  const double period = static_cast<double>(m_Setka_BigN) * d;
  // Index arithmetic in 64 bits; a first index beyond that (a step far below the values'
  // resolution) gives no grid rather than a wrapped one.
  const auto first_i = ToInt64(first);
  const auto phase = ToInt64(first - period * std::floor(first / period));
  if (!first_i || !phase || !(n > 0) || std::fabs(first) > 4e18) return;
  m_Setka_LoBase = first * m_Setka_Step;
  m_Setka_IBase = *phase;
  m_Setka_N = static_cast<int32_t>(std::min(n, 1e9));
}

int TGrDia::Setka_GetValue(int32_t i, double& value) const {
  value = (m_Setka_LoBase + static_cast<double>(i) * m_Setka_Step) / DisplayFactor();
  const int64_t j = static_cast<int64_t>(i) + m_Setka_IBase;
  const int64_t d = std::max<int32_t>(m_Setka_DopN, 1);
  if (j % d != 0) return -1;
  return ((j / d) % std::max<int32_t>(m_Setka_BigN, 1) == 0) ? 1 : 0;
}

int TGrDia::Setka_GetText(int32_t i, double& value, std::string& text) const {
  const int cls = Setka_GetValue(i, value);
  const int32_t p = m_Setka_StepBase_I - (cls == -1 ? 1 : 0);
  text = FormatLabel(m_Format, value * DisplayFactor(), p);
  return cls;
}

void TGrDia::ExtendFull(double a, double b) {
  if (!IsValidRange(a, b)) return;
  m_Full0 = std::min(m_Full0, a);
  m_Full1 = std::max(m_Full1, b);
}

void TGrDia::Normalise(bool follow) {
  if (follow && m_IsFull && !m_IsAuto) {
    m_Show0 = kEmpty;
    m_Show1 = -kEmpty;
  }
  if (!ShowValid()) {
    m_Show0 = m_Full0;
    m_Show1 = m_Full1;
    m_IsFull = 1;
    return;
  }
  if (IsValidRange(m_Must0, m_Must1)) {
    m_Show0 = std::min(m_Show0, m_Must0);
    m_Show1 = std::max(m_Show1, m_Must1);
  }
  auto widen_to = [this](double w) {
    const double grow = (w - (m_Show1 - m_Show0)) / 2;
    if (grow > 0) m_Show0 -= grow, m_Show1 += grow;
  };
  if (m_MinSpan >= 0) widen_to(m_MinSpan);
  // Without a valid full range there is nothing to keep the view inside.
  if (!FullValid()) {
    m_IsFull = 0;
    return;
  }
  widen_to(std::max({std::fabs(m_Full0), m_Full1 - m_Full0, std::fabs(m_Full1)}) * 1e-10);
  if (m_Show0 < m_Full0) m_Show1 += m_Full0 - m_Show0, m_Show0 = m_Full0;
  if (m_Show1 > m_Full1) m_Show0 -= m_Show1 - m_Full1, m_Show1 = m_Full1;
  m_Show0 = std::clamp(m_Show0, m_Full0, m_Full1);
  m_Show1 = std::clamp(m_Show1, m_Full0, m_Full1);
  m_IsFull = (m_Show0 == m_Full0 && m_Show1 == m_Full1) ? 1 : 0;
}

bool TGrDia::UsesLog() const {
  return m_IsLog && m_Show0 > 0 && m_Full0 > 0 && ShowValid() && FullValid();
}

void TGrDia::MappedEnds(double& f0, double& f1, double& s0, double& s1) const {
  f0 = m_Full0, f1 = m_Full1, s0 = m_Show0, s1 = m_Show1;
  if (UsesLog()) f0 = std::log(f0), f1 = std::log(f1), s0 = std::log(s0), s1 = std::log(s1);
}

void TGrDia::SetShowFromMapped(double s0, double s1) {
  if (UsesLog()) s0 = std::exp(s0), s1 = std::exp(s1);
  m_Show0 = s0;
  m_Show1 = s1;
}

AxisScrollBar TGrDia::BarFromRange(bool reversed) const {
  AxisScrollBar bar;
  if (!ShowValid() || !FullValid()) return bar;
  double f0, f1, s0, s1;
  MappedEnds(f0, f1, s0, s1);
  const double full = f1 - f0;
  if (!(full > 0)) return bar;
  const double page = (s1 - s0) / full * 1e9 + 1;
  const double pos = (reversed ? (f1 - s1) : (s0 - f0)) / full * 1e9;
  bar.enabled = true;
  bar.page = ToInt32Or(std::clamp(page, 0.0, 1e9 + 1), AxisScrollBar::kScrollMax);
  bar.pos = ToInt32Or(std::clamp(pos, 0.0, 1e9), 0);
  return bar;
}

void TGrDia::RangeFromBar(int32_t pos, bool reversed) {
  if (!ShowValid() || !FullValid()) return;
  double f0, f1, s0, s1;
  MappedEnds(f0, f1, s0, s1);
  const double width = s1 - s0, full = f1 - f0;
  if (reversed) {
    s1 = f1 - full * pos * 1e-9;
    s0 = s1 - width;
  } else {
    s0 = f0 + full * pos * 1e-9;
    s1 = s0 + width;
  }
  SetShowFromMapped(s0, s1);
  Normalise(true);
}

AxisScrollBar TGrDia::Scroll(int command, int32_t track_pos, bool reversed) {
  const AxisScrollBar bar = BarFromRange(reversed);
  if (bar.enabled) {
    const int64_t line = std::max<int64_t>(bar.page / 20, 1);
    int64_t pos = bar.pos;
    bool moved = true;
    switch (command) {
      case kScrollLineUp: pos -= line; break;
      case kScrollLineDown: pos += line; break;
      case kScrollPageUp: pos -= bar.page; break;
      case kScrollPageDown: pos += bar.page; break;
      case kScrollThumbPosition:
      case kScrollThumbTrack: pos = track_pos, m_IsAuto = 0; break;
      case kScrollTop: pos = 0; break;
      case kScrollBottom: pos = AxisScrollBar::kScrollMax; break;
      case kScrollCentre: {
        const double w = m_Show1 - m_Show0, c = (m_Full0 + m_Full1) / 2;
        m_Show0 = c - w / 2;
        m_Show1 = c + w / 2;
        Normalise(false);
        moved = false;
        break;
      }
      default: moved = false;
    }
    if (moved) RangeFromBar(static_cast<int32_t>(std::clamp<int64_t>(pos, 0, AxisScrollBar::kScrollMax)), reversed);
  }
  return BarFromRange(reversed);
}

void TGrDia::Zoom(double exponent, double centre) {
  if (ShowValid() && std::isfinite(exponent) && std::isfinite(centre)) {
    const double f = std::pow(1.1, exponent);
    if (UsesLog() && centre > 0) {
      const double c = std::log(centre);
      m_Show0 = std::exp((std::log(m_Show0) - c) * f + c);
      m_Show1 = std::exp((std::log(m_Show1) - c) * f + c);
    } else {
      m_Show0 = (m_Show0 - centre) * f + centre;
      m_Show1 = (m_Show1 - centre) * f + centre;
    }
  }
  m_IsAuto = 0;
  Normalise(false);
}

}  // namespace kavu
