#pragma once
// The R and X diagram's own settings (section "CDlgRX"): mode, colour mode, frequency window,
// which end the track bar moves and the two lists. Read once when the window is made, each
// value written as soon as it changes.
#include <cstdint>
#include <span>
#include <string>

#include "results/rx_diagram_math.h"
#include "shell/settings_fields.h"

namespace kavu {

inline constexpr const char* kRxSection = "CDlgRX";

struct RxDiagramSettings {
  int32_t m_Mode = 0;        // 0 R–X plane, 1 circle diagram
  int32_t m_ColorType = 0;   // RxColourType, 0 … 2
  int32_t m_ShowFMin = 0;    // frequency window, MHz
  int32_t m_ShowFMax = 6600;
  int32_t m_IsLo = 0;        // the track bar moves the start (1) or the end (0)
  std::string sKSVs = "1.1 1.3 1.5 2 4";
  std::string sRCabs = "50";

  // Every key with its default and check.
  static std::span<const SettingBinding<RxDiagramSettings>> Bindings();
  // Reads every key; the window defaults to `data` (the data range), a mode or colour mode
  // outside its values is clamped.
  void Load(SettingsStore& store, RxRange data);
  void Store(SettingsStore& store) const;

  bool operator==(const RxDiagramSettings&) const = default;

  bool CircleMode() const { return m_Mode == 1; }
  // Whether a frequency in MHz lies within the window (ends included).
  bool InWindow(double f_mhz) const { return f_mhz >= m_ShowFMin && f_mhz <= m_ShowFMax; }
};

}  // namespace kavu
