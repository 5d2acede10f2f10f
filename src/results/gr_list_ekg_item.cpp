// Points and names of the scan-result lines: the table of plotted quantities.
#include <algorithm>
#include <cmath>
#include <complex>

#include "results/gr_list_ekg.h"
#include "results/results_store.h"

namespace kavu {
namespace {

constexpr double kTwoPi = 6.283185307179586;

struct QuantityName {
  int number;
  const char* name;
};
constexpr QuantityName kNames[] = {
    {0, "|A| Duo"}, {1, "|A|"}, {3, "|пауза|"}, {4, "|А_duo/О_duo|"}, {5, "|А/О| попр duo"},
    {6, "|пауза| ПФ"}, {7, "|пауза| вся"}, {8, "|пауза/O|"}, {40, "Вх |A| Duo"}, {41, "Вх |A|"},
    {50, "max A Duo"}, {51, "max A"}, {60, "|A| Duo вся"}, {61, "|A| вся"}, {62, "|A/О| Duo вся"},
    {64, "|A| Duo ПФ"}, {65, "|A| ПФ"}, {66, "|A/О| Duo ПФ"}, {70, "ВхАнтDuo вся"},
    {71, "ВхАнт вся"}, {74, "ВхАнтDuo ПФ"}, {75, "ВхАнт ПФ"}, {100, "|О| Duo"}, {101, "|O|"},
    {104, "|А/О|"}, {140, "Вх |O| Duo"}, {141, "Вх |O|"}, {150, "max O Duo"}, {151, "max O"},
    {160, "|О| Duo вся"}, {161, "|О| вся"}, {162, "|A/О| вся"}, {164, "|О| Duo ПФ"},
    {165, "|О| ПФ"}, {166, "|A/О| ПФ"}, {170, "ВхОпDuo вся"}, {171, "ВхОп вся"},
    {174, "ВхОпDuo ПФ"}, {175, "ВхОп ПФ"}, {200, "ЧувDuo"}, {201, "Чувств"}, {500, "Фаза"},
    {501, "ФазаDuo"}, {740, "Delay"}, {741, "ppm"},
};

const char* ImpedanceName(int k20) {
  switch (k20) {
    case 0: return "R";
    case 1: return "X";
    case 2: return "|R|";
    case 3: return "ксв";
    case 4: return "C, пФ";
    case 5: return "L, нГ";
    case 6: return "|G|";
    case 10: return "R каб";
    case 11: return "X каб";
    case 12: return "|R| каб";
    case 14: return "C каб";
    case 15: return "L каб";
    case 16: return "|G| каб";
    case 17: return "R|| каб";
    default: return "";
  }
}

double WrapPi(double v) {
  if (v > M_PI) return v - 2 * M_PI;
  if (v < -M_PI) return v + 2 * M_PI;
  return v;
}

// Marker flags of a peak-level point: a marker where the overload count changed.
int32_t OverloadMarker(const AntIzms& set, int32_t i, bool duo) {
  if (i <= 0) return kGrNoMarker;
  const AntIzm& p = set.At(i);
  const AntIzm& q = set.At(i - 1);
  return (duo ? p.overloadsDuo != q.overloadsDuo : p.overloads != q.overloads) ? 0 : kGrNoMarker;
}

}  // namespace

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
  const int q = code & 0xFFFF;
  if (q < 600 || q > 699 || (q - 600) % 10 != 3) return false;
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

int32_t OGrListItem_EKG::ImpedancePoint(const AntIzms& set, int32_t i, int q, double& y) const {
  const int k = q - 600;
  const int kind = k % 10;
  const std::complex<double> z = source_->Impedance(set, i, (k % 20) >= 10);
  const double r = z.real(), x = z.imag();
  if (!std::isfinite(r) || !std::isfinite(x)) return kGrInvalid;
  int32_t flags = (r < 0 || std::fabs(r) > panel_->m_RMax || std::fabs(x) > panel_->m_RMax) ? kGrGlitch : 0;
  double rr = r, xx = x;
  if ((parallel & 1) && (kind == 0 || kind == 1 || kind == 4 || kind == 5)) {
    const double m2 = r * r + x * x;
    rr = m2 / r, xx = m2 / x;
  }
  const double f = set.At(i).freqHz;
  auto gamma = [&] {
    const double z0 = panel_->m_RCable, rp = std::max(r, 0.0);
    return std::abs(std::complex<double>(rp - z0, x) / std::complex<double>(rp + z0, x));
  };
  switch (kind) {
    case 0: y = rr; break;
    case 1: y = xx; break;
    case 2: y = std::hypot(r, x); break;
    case 3: {
      const double g = gamma();
      double swr = g > 0.9999 ? 10000 : (1 + g) / (1 - g);
      swr = std::min(swr, panel_->m_KsvMax);
      y = (!std::isfinite(swr) || swr < 1) ? 1 : swr;
      break;
    }
    case 4: y = -1 / (kTwoPi * f * xx) * 1e12; break;
    case 5: y = xx / (kTwoPi * f) * 1e9; break;
    case 6: y = gamma(); break;
    default: return kGrInvalid;
  }
  return flags;
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
  const IGraphPointSource& s = *source_;
  const int q = code & 0xFFFF;
  switch (q) {
    case 0: y = p.aDuo; break;
    case 1: y = p.a; break;
    case 3: y = p.pause; break;
    case 4: y = p.aDuo - p.oDuo - s.RatioCorrectionDb(f); break;
    case 5: y = (p.a - p.o) - (p.aDuo - p.oDuo) - s.RatioCorrectionDb(f); break;
    case 6: y = p.pauseBpf; break;
    case 7: y = p.pauseAll; break;
    case 8: y = p.pause - p.o; break;
    case 9: y = p.pauseBpf - p.oBpf; break;
    case 10: y = p.pauseAll - p.oAll; break;
    case 40: y = p.aDuo - p.gainDuo - s.LevelCorrectionDb(0, f); break;
    case 41: y = p.a - p.gain - s.LevelCorrectionDb(0, f); break;
    case 50: y = p.maxADuo, flags = OverloadMarker(*set, i, true); break;
    case 51: y = p.maxA, flags = OverloadMarker(*set, i, false); break;
    case 60: y = p.aDuoAll; break;
    case 61: y = p.aAll; break;
    case 62: y = p.aDuoAll - p.oDuoAll; break;
    case 64: y = p.aDuoBpf; break;
    case 65: y = p.aBpf; break;
    case 66: y = p.aDuoBpf - p.oDuoBpf; break;
    case 70: y = p.aDuoAll - p.gainDuo; break;
    case 71: y = p.aAll - p.gain; break;
    case 74: y = p.aDuoBpf - p.gainDuo - s.LevelCorrectionDb(1, f); break;
    case 75: y = p.aBpf - p.gain - s.LevelCorrectionDb(1, f); break;
    case 100: y = p.oDuo; break;
    case 101: y = p.o; break;
    case 104: y = p.a - p.o - s.RatioCorrectionDb(f); break;
    case 140: y = p.oDuo - p.gainDuo - s.LevelCorrectionDb(0, f); break;
    case 141: y = p.o - p.gain - s.LevelCorrectionDb(0, f); break;
    case 150: y = p.maxODuo, flags = OverloadMarker(*set, i, true); break;
    case 151: y = p.maxO, flags = OverloadMarker(*set, i, false); break;
    case 160: y = p.oDuoAll; break;
    case 161: y = p.oAll; break;
    case 162: y = p.aAll - p.oAll; break;
    case 164: y = p.oDuoBpf; break;
    case 165: y = p.oBpf; break;
    case 166: y = p.aBpf - p.oBpf - s.RatioCorrectionDb(f); break;
    case 170: y = p.oDuoAll - p.gainDuo; break;
    case 171: y = p.oAll - p.gain; break;
    case 174: y = p.oDuoBpf - p.gainDuo - s.LevelCorrectionDb(1, f); break;
    case 175: y = p.oBpf - p.gain - s.LevelCorrectionDb(1, f); break;
    case 200: y = p.gainDuo; break;
    case 201: y = p.gain; break;
    case 500: y = WrapPi(p.phase - s.PhaseCorrectionRad(f)); break;
    case 501: y = WrapPi(p.phaseDuo - s.PhaseCorrectionRad(f)); break;
    case 740: y = static_cast<double>(p.delay) * 1000; break;
    case 741: y = p.ppm; break;
    default:
      if (q >= 600 && q <= 699) {
        flags |= ImpedancePoint(*set, i, q, y);
        if (flags & kGrInvalid) return kGrInvalid;
        break;
      }
      return kGrInvalid;
  }
  // A value that is not a finite number is never drawn (whatever the quantity).
  if (!std::isfinite(y) || !std::isfinite(x)) return kGrInvalid;
  return flags;
}

void OGrListItem_EKG::GetName(std::string& text) const {
  static constexpr const char* kPrefixes[] = {"", "пред ", "гарм1 ", "гарм2 ", "файл1 ",
                                              "файл2 ", "файл3 ", "файл4 ", "файл5 ", "файл6 "};
  const int set = code >> 16;
  const int q = code & 0xFFFF;
  text = (set >= 0 && set <= 9) ? kPrefixes[set] : "";
  if (q >= 600 && q <= 699) {
    const int k = q - 600;
    if (k / 20 == 1) text += "duo ";
    if ((parallel & 1)) text += "|| ";
    text += ImpedanceName(k % 20);
    return;
  }
  for (const auto& n : kNames) {
    if (n.number == q) {
      text += n.name;
      return;
    }
  }
}

}  // namespace kavu
