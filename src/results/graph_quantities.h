#pragma once
// The table of plotted quantities: for every quantity number (the low 16 bits of a result line's
// code) its legend name, how its value is computed from a stored point, which graph of the
// results window draws it and which panel boxes show it. The graph list's builder, the lines'
// values and their legend names are all read from this one table; a quantity is added by adding
// its row (graph_quantities.cpp), and a test checks that every row the builder can draw has a
// name and a value.
//
// Impedance rows (numbers 600–607) stand for a family of codes: with k = code − 600, the kind
// k mod 10 picks the row, (k mod 20) ≥ 10 means through the cable and k / 20 = 1 marks the lines
// computed with the second channel's corrections.
#include <cstdint>
#include <span>
#include <string>

#include "results/ant_izms.h"
#include "results/graph_panel_settings.h"
#include "results/graph_point_source.h"

namespace kavu {

// What a value is computed from: point `i` of `set` (the index already clamped into the set).
struct QuantityPoint {
  const AntIzms& set;
  int32_t i;
  const AntIzm& p;  // set.At(i)
  double f;         // the point's frequency, Hz
  const IGraphPointSource& source;  // impedance and calibration corrections
  const GraphPanelSettings& panel;  // display limits and cable impedance
  bool parallel;    // R, X, C and L of the parallel equivalent circuit
  bool cable;       // an impedance line through the cable
};

// y of one point (dB for levels, Ω, pF, nH, rad as the row says). `flags` holds the panel's
// marker flags on entry; a value may replace them (peak levels mark overloads) or add the glitch
// flag. A result that is not a finite number makes the point invalid.
using QuantityValue = double (*)(const QuantityPoint& in, int32_t& flags);
// Whether the panel draws the row for a set with (`duo`) or without second-channel data, beyond
// its band and its group's box.
using QuantityShown = bool (*)(const GraphPanelSettings& panel, bool duo);

// The results window's graphs in the order it builds them (each one graph, or one per set with
// m_IsRazd). Reactance and modulus share the resistance graph unless m_IsRazdRX is set.
enum class GraphGroup : uint8_t {
  kInput,        // levels at the input (m_IsUGen)
  kPeak,         // peak sample levels (m_IsMax)
  kGain,         // receiver gain (m_IsEK2)
  kLevels,
  kRatios,
  kPhase,        // the one graph of type 3 (degrees)
  kResistance,
  kReactance,
  kModulus,
  kCapacitance,
  kInductance,
  kSwr,
  kGamma,
  kDelay,
  kPpm,
};

// Which filter band a level row belongs to, by m_IsUFilter (three states) and m_IsShirik.
enum class QuantityBand : uint8_t {
  kAny,
  kNarrow,  // m_IsUFilter < 2: the level of the narrow measuring filter
  kBpf,     // m_IsUFilter ≠ 0: after the band-pass filter
  kWhole,   // m_IsShirik: the whole received signal
};

// The line codes a row gives one set. T = m_IsTransLen, U = m_UseDuoAmpl, and D: the set has
// Duo data and m_UseDuoFaza or m_UseDuoAmpl is set; n is the row's number.
enum class QuantityLines : uint8_t {
  kOne,                // n
  kImpedance,          // n (T < 2, U < 2), n+10 (T ≠ 0, U < 2), n+20 (D, T < 2), n+30 (D, T ≠ 0)
  kImpedanceAnyU,      // as kImpedance whatever U
  kImpedanceNoCable,   // n (U < 2), n+20 (D)
  kNone,               // a legend name only: no box draws it and it has no value
};

struct GraphQuantity {
  int number;
  const char* name;
  GraphGroup group;
  QuantityBand band;
  QuantityShown shown;
  QuantityValue value;
  QuantityLines lines = QuantityLines::kOne;
  const char* cable_name = nullptr;  // impedance rows: the name of the line through the cable
};

inline constexpr int kImpedanceFirst = 600;
inline constexpr int kImpedanceLast = 699;
inline constexpr int kSwrQuantity = 603;

// Whether impedance code q is a line through the cable.
inline bool IsCableCode(int q) {
  return q >= kImpedanceFirst && q <= kImpedanceLast && (q - kImpedanceFirst) % 20 >= 10;
}

// Every row, in the order the builder draws them within a group.
std::span<const GraphQuantity> GraphQuantities();
// The row of quantity number q (impedance codes 600–699 give their kind's row); null when the
// number is not used.
const GraphQuantity* FindGraphQuantity(int q);
// The quantity part of a legend name: the row's name, for impedance codes "duo " (k / 20 = 1),
// "|| " (parallel) and the name or cable name. Empty for a number not used.
std::string QuantityName(int q, bool parallel);

}  // namespace kavu
