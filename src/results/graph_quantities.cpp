// The rows of the plotted-quantity table and the values they compute (levels in dB).
#include "results/graph_quantities.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <limits>
#include <optional>

#include "results/gr_list.h"

namespace kavu {
namespace {

using P = GraphPanelSettings;
using G = GraphGroup;
using B = QuantityBand;
using L = QuantityLines;
using Q = const QuantityPoint&;
using F = int32_t&;

constexpr double kTwoPi = 6.283185307179586;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Which boxes show a row (its band and its group's box are checked apart).
bool ADuo(const P& p, bool duo) { return p.m_IsNS && duo; }
bool A(const P& p, bool) { return p.m_IsNS2 != 0; }
bool ODuo(const P& p, bool duo) { return p.m_IsONS && duo; }
bool O(const P& p, bool) { return p.m_IsONS2 != 0; }
bool LevelPause(const P& p, bool) { return p.m_IsPause && (p.m_IsNS2 || p.m_IsONS2); }
bool RatioDuo(const P& p, bool duo) { return p.m_IsDeltaA && duo; }
bool Ratio(const P& p, bool) { return p.m_IsDeltaB != 0; }
bool RatioCorrected(const P& p, bool duo) { return p.m_IsDeltaA_B && duo; }
bool RatioPause(const P& p, bool) { return p.m_IsPause && p.m_IsDeltaB; }
bool WithDuo(const P&, bool duo) { return duo; }
bool Always(const P&, bool) { return true; }
bool Phase(const P& p, bool) { return p.m_IsFAZA != 0; }
bool PhaseDuo(const P& p, bool duo) { return p.m_IsFAZA_Duo && duo; }
bool Resistance(const P& p, bool) { return p.m_IsR != 0; }
bool Reactance(const P& p, bool) { return p.m_IsX != 0; }
bool Modulus(const P& p, bool) { return p.m_IsRX != 0; }
bool Capacitance(const P& p, bool) { return p.m_IsC != 0; }
bool Inductance(const P& p, bool) { return p.m_IsL != 0; }
bool Swr(const P& p, bool) { return p.m_IsKSV != 0; }
bool Gamma(const P& p, bool) { return p.m_IsKSVG != 0; }
bool Delay(const P& p, bool) { return p.m_IsDelay != 0; }
bool Ppm(const P& p, bool) { return p.m_IsPPM != 0; }

double RatioCorr(Q q) { return q.source.RatioCorrectionDb(q.f); }
double LevelCorr(Q q, int which) { return q.source.LevelCorrectionDb(which, q.f); }

// A phase difference brought back into −π … π.
double WrapPi(double v) {
  if (v > M_PI) return v - 2 * M_PI;
  if (v < -M_PI) return v + 2 * M_PI;
  return v;
}

// Peak levels carry a marker where the overload count changed, whatever the panel's box.
int32_t OverloadMarker(Q q, bool duo) {
  if (q.i <= 0) return kGrNoMarker;
  const AntIzm& prev = q.set.At(q.i - 1);
  return (duo ? q.p.overloadsDuo != prev.overloadsDuo : q.p.overloads != prev.overloads) ? 0 : kGrNoMarker;
}

// R + jX of the point in Ω (through the cable when the line asks); a negative R, or |R| or |X|
// beyond m_RMax, marks a glitch. Nothing when R or X is not a finite number.
std::optional<std::complex<double>> SeriesZ(Q q, F flags) {
  const std::complex<double> z = q.source.Impedance(q.set, q.i, q.cable);
  const double r = z.real(), x = z.imag();
  if (!std::isfinite(r) || !std::isfinite(x)) return std::nullopt;
  if (r < 0 || std::fabs(r) > q.panel.m_RMax || std::fabs(x) > q.panel.m_RMax) flags |= kGrGlitch;
  return z;
}

// The series values, or with the parallel flag those of the parallel equivalent circuit.
std::optional<std::complex<double>> ShownZ(Q q, F flags) {
  const auto z = SeriesZ(q, flags);
  if (!z || !q.parallel) return z;
  const double r = z->real(), x = z->imag();
  const double m2 = r * r + x * x;
  return std::complex<double>(m2 / r, m2 / x);
}

// |Γ| against m_RCable, a negative R taken as 0.
double GammaOf(Q q, std::complex<double> z) {
  const double z0 = q.panel.m_RCable, rp = std::max(z.real(), 0.0);
  return std::abs(std::complex<double>(rp - z0, z.imag()) / std::complex<double>(rp + z0, z.imag()));
}

double ZR(Q q, F fl) { const auto z = ShownZ(q, fl); return z ? z->real() : kNaN; }
double ZX(Q q, F fl) { const auto z = ShownZ(q, fl); return z ? z->imag() : kNaN; }
double ZModulus(Q q, F fl) { const auto z = SeriesZ(q, fl); return z ? std::hypot(z->real(), z->imag()) : kNaN; }
double ZGamma(Q q, F fl) { const auto z = SeriesZ(q, fl); return z ? GammaOf(q, *z) : kNaN; }

// pF; infinite where X is 0, so the point is not drawn.
double ZCapacitance(Q q, F fl) {
  const auto z = ShownZ(q, fl);
  return z ? -1 / (kTwoPi * q.f * z->imag()) * 1e12 : kNaN;
}

// nH.
double ZInductance(Q q, F fl) {
  const auto z = ShownZ(q, fl);
  return z ? z->imag() / (kTwoPi * q.f) * 1e9 : kNaN;
}

// 10,000 where |Γ| > 0.9999, at most m_KsvMax, and 1 where the result is not a number or below 1.
double ZSwr(Q q, F fl) {
  const auto z = SeriesZ(q, fl);
  if (!z) return kNaN;
  const double g = GammaOf(q, *z);
  double swr = g > 0.9999 ? 10000 : (1 + g) / (1 - g);
  swr = std::min(swr, q.panel.m_KsvMax);
  return (!std::isfinite(swr) || swr < 1) ? 1 : swr;
}

// The rows. Within a group the builder draws them in this order, band by band.
constexpr GraphQuantity kRows[] = {
    {40, "Вх |A| Duo", G::kInput, B::kNarrow, ADuo, [](Q q, F) { return q.p.aDuo - q.p.gainDuo - LevelCorr(q, 0); }},
    {41, "Вх |A|", G::kInput, B::kNarrow, A, [](Q q, F) { return q.p.a - q.p.gain - LevelCorr(q, 0); }},
    {140, "Вх |O| Duo", G::kInput, B::kNarrow, ODuo, [](Q q, F) { return q.p.oDuo - q.p.gainDuo - LevelCorr(q, 0); }},
    {141, "Вх |O|", G::kInput, B::kNarrow, O, [](Q q, F) { return q.p.o - q.p.gain - LevelCorr(q, 0); }},
    {74, "ВхАнтDuo ПФ", G::kInput, B::kBpf, ADuo, [](Q q, F) { return q.p.aDuoBpf - q.p.gainDuo - LevelCorr(q, 1); }},
    {75, "ВхАнт ПФ", G::kInput, B::kBpf, A, [](Q q, F) { return q.p.aBpf - q.p.gain - LevelCorr(q, 1); }},
    {174, "ВхОпDuo ПФ", G::kInput, B::kBpf, ODuo, [](Q q, F) { return q.p.oDuoBpf - q.p.gainDuo - LevelCorr(q, 1); }},
    {175, "ВхОп ПФ", G::kInput, B::kBpf, O, [](Q q, F) { return q.p.oBpf - q.p.gain - LevelCorr(q, 1); }},
    {70, "ВхАнтDuo вся", G::kInput, B::kWhole, ADuo, [](Q q, F) { return q.p.aDuoAll - q.p.gainDuo; }},
    {71, "ВхАнт вся", G::kInput, B::kWhole, A, [](Q q, F) { return q.p.aAll - q.p.gain; }},
    {170, "ВхОпDuo вся", G::kInput, B::kWhole, ODuo, [](Q q, F) { return q.p.oDuoAll - q.p.gainDuo; }},
    {171, "ВхОп вся", G::kInput, B::kWhole, O, [](Q q, F) { return q.p.oAll - q.p.gain; }},

    {50, "max A Duo", G::kPeak, B::kAny, ADuo, [](Q q, F fl) { fl = OverloadMarker(q, true); return double{q.p.maxADuo}; }},
    {51, "max A", G::kPeak, B::kAny, A, [](Q q, F fl) { fl = OverloadMarker(q, false); return double{q.p.maxA}; }},
    {150, "max O Duo", G::kPeak, B::kAny, ODuo, [](Q q, F fl) { fl = OverloadMarker(q, true); return double{q.p.maxODuo}; }},
    {151, "max O", G::kPeak, B::kAny, O, [](Q q, F fl) { fl = OverloadMarker(q, false); return double{q.p.maxO}; }},

    {200, "ЧувDuo", G::kGain, B::kAny, WithDuo, [](Q q, F) { return q.p.gainDuo; }},
    {201, "Чувств", G::kGain, B::kAny, Always, [](Q q, F) { return q.p.gain; }},

    {0, "|A| Duo", G::kLevels, B::kNarrow, ADuo, [](Q q, F) { return q.p.aDuo; }},
    {1, "|A|", G::kLevels, B::kNarrow, A, [](Q q, F) { return q.p.a; }},
    {100, "|О| Duo", G::kLevels, B::kNarrow, ODuo, [](Q q, F) { return q.p.oDuo; }},
    {101, "|O|", G::kLevels, B::kNarrow, O, [](Q q, F) { return q.p.o; }},
    {3, "|пауза|", G::kLevels, B::kNarrow, LevelPause, [](Q q, F) { return double{q.p.pause}; }},
    {64, "|A| Duo ПФ", G::kLevels, B::kBpf, ADuo, [](Q q, F) { return q.p.aDuoBpf; }},
    {65, "|A| ПФ", G::kLevels, B::kBpf, A, [](Q q, F) { return q.p.aBpf; }},
    {164, "|О| Duo ПФ", G::kLevels, B::kBpf, ODuo, [](Q q, F) { return q.p.oDuoBpf; }},
    {165, "|О| ПФ", G::kLevels, B::kBpf, O, [](Q q, F) { return q.p.oBpf; }},
    {6, "|пауза| ПФ", G::kLevels, B::kBpf, LevelPause, [](Q q, F) { return double{q.p.pauseBpf}; }},
    {60, "|A| Duo вся", G::kLevels, B::kWhole, ADuo, [](Q q, F) { return q.p.aDuoAll; }},
    {61, "|A| вся", G::kLevels, B::kWhole, A, [](Q q, F) { return q.p.aAll; }},
    {160, "|О| Duo вся", G::kLevels, B::kWhole, ODuo, [](Q q, F) { return q.p.oDuoAll; }},
    {161, "|О| вся", G::kLevels, B::kWhole, O, [](Q q, F) { return q.p.oAll; }},
    {7, "|пауза| вся", G::kLevels, B::kWhole, LevelPause, [](Q q, F) { return double{q.p.pauseAll}; }},

    {4, "|А_duo/О_duo|", G::kRatios, B::kNarrow, RatioDuo, [](Q q, F) { return q.p.aDuo - q.p.oDuo - RatioCorr(q); }},
    {104, "|А/О|", G::kRatios, B::kNarrow, Ratio, [](Q q, F) { return q.p.a - q.p.o - RatioCorr(q); }},
    {5, "|А/О| попр duo", G::kRatios, B::kNarrow, RatioCorrected,
     [](Q q, F) { return (q.p.a - q.p.o) - (q.p.aDuo - q.p.oDuo) - RatioCorr(q); }},
    {8, "|пауза/O|", G::kRatios, B::kNarrow, RatioPause, [](Q q, F) { return q.p.pause - q.p.o; }},
    {66, "|A/О| Duo ПФ", G::kRatios, B::kBpf, RatioDuo, [](Q q, F) { return q.p.aDuoBpf - q.p.oDuoBpf; }},
    {166, "|A/О| ПФ", G::kRatios, B::kBpf, Ratio, [](Q q, F) { return q.p.aBpf - q.p.oBpf - RatioCorr(q); }},
    {9, "|пауза/O| ПФ", G::kRatios, B::kBpf, RatioPause, [](Q q, F) { return q.p.pauseBpf - q.p.oBpf; }},
    {62, "|A/О| Duo вся", G::kRatios, B::kWhole, RatioDuo, [](Q q, F) { return q.p.aDuoAll - q.p.oDuoAll; }},
    {162, "|A/О| вся", G::kRatios, B::kWhole, Ratio, [](Q q, F) { return q.p.aAll - q.p.oAll; }},
    {10, "|пауза/O| вся", G::kRatios, B::kWhole, RatioPause, [](Q q, F) { return q.p.pauseAll - q.p.oAll; }},

    // Radians, the phase correction subtracted.
    {500, "Фаза", G::kPhase, B::kAny, Phase,
     [](Q q, F) { return WrapPi(q.p.phase - q.source.PhaseCorrectionRad(q.f)); }},
    {501, "ФазаDuo", G::kPhase, B::kAny, PhaseDuo,
     [](Q q, F) { return WrapPi(q.p.phaseDuo - q.source.PhaseCorrectionRad(q.f)); }},

    {600, "R", G::kResistance, B::kAny, Resistance, ZR, L::kImpedance, "R каб"},
    {601, "X", G::kReactance, B::kAny, Reactance, ZX, L::kImpedance, "X каб"},
    {602, "|R|", G::kModulus, B::kAny, Modulus, ZModulus, L::kImpedanceAnyU, "|R| каб"},
    {604, "C, пФ", G::kCapacitance, B::kAny, Capacitance, ZCapacitance, L::kImpedance, "C каб"},
    {605, "L, нГ", G::kInductance, B::kAny, Inductance, ZInductance, L::kImpedance, "L каб"},
    // No name through the cable: no box draws the SWR through the cable.
    {603, "ксв", G::kSwr, B::kAny, Swr, ZSwr, L::kImpedanceNoCable, ""},
    {606, "|G|", G::kGamma, B::kAny, Gamma, ZGamma, L::kImpedanceNoCable, "|G| каб"},
    {607, "", G::kResistance, B::kAny, nullptr, nullptr, L::kNone, "R|| каб"},

    {740, "Delay", G::kDelay, B::kAny, Delay, [](Q q, F) { return static_cast<double>(q.p.delay) * 1000; }},  // ms
    {741, "ppm", G::kPpm, B::kAny, Ppm, [](Q q, F) { return double{q.p.ppm}; }},
};

constexpr int kIndexSize = 800;

// Row index by quantity number, −1 where none.
constexpr std::array<int16_t, kIndexSize> MakeIndex() {
  std::array<int16_t, kIndexSize> index{};
  index.fill(-1);
  for (size_t r = 0; r < std::size(kRows); ++r) index[static_cast<size_t>(kRows[r].number)] = static_cast<int16_t>(r);
  return index;
}
constexpr std::array<int16_t, kIndexSize> kIndex = MakeIndex();

}  // namespace

std::span<const GraphQuantity> GraphQuantities() { return kRows; }

const GraphQuantity* FindGraphQuantity(int q) {
  if (q >= kImpedanceFirst && q <= kImpedanceLast) q = kImpedanceFirst + (q - kImpedanceFirst) % 10;
  if (q < 0 || q >= kIndexSize) return nullptr;
  const int16_t r = kIndex[static_cast<size_t>(q)];
  return r < 0 ? nullptr : &kRows[static_cast<size_t>(r)];
}

std::string QuantityName(int q, bool parallel) {
  const GraphQuantity* row = FindGraphQuantity(q);
  if (q < kImpedanceFirst || q > kImpedanceLast) return row ? row->name : "";
  const int k = q - kImpedanceFirst;
  std::string text;
  if (k / 20 == 1) text += "duo ";
  if (parallel) text += "|| ";
  const char* name = row ? ((k % 20) >= 10 ? row->cable_name : row->name) : nullptr;
  return name ? text + name : text;
}

}  // namespace kavu
