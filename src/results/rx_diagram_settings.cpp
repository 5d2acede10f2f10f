#include "results/rx_diagram_settings.h"

#include <algorithm>

#include "shell/settings_store.h"

namespace kavu {

void RxDiagramSettings::Load(SettingsStore& s, RxRange data) {
  m_Mode = std::clamp(s.GetProfileInt(kRxSection, "m_Mode", 0), 0, 1);
  m_ColorType = std::clamp(s.GetProfileInt(kRxSection, "m_ColorType", 0), 0, 2);
  m_ShowFMin = s.GetProfileInt(kRxSection, "m_ShowFMin", data.lo);
  m_ShowFMax = s.GetProfileInt(kRxSection, "m_ShowFMax", data.hi);
  m_IsLo = s.GetProfileInt(kRxSection, "m_IsLo", 0) ? 1 : 0;
  sKSVs = s.GetProfileString(kRxSection, "sKSVs", "1.1 1.3 1.5 2 4");
  sRCabs = s.GetProfileString(kRxSection, "sRCabs", "50");
}

void RxDiagramSettings::Store(SettingsStore& s) const {
  s.WriteProfileInt(kRxSection, "m_Mode", m_Mode);
  s.WriteProfileInt(kRxSection, "m_ColorType", m_ColorType);
  s.WriteProfileInt(kRxSection, "m_ShowFMin", m_ShowFMin);
  s.WriteProfileInt(kRxSection, "m_ShowFMax", m_ShowFMax);
  s.WriteProfileInt(kRxSection, "m_IsLo", m_IsLo);
  s.WriteProfileString(kRxSection, "sKSVs", sKSVs);
  s.WriteProfileString(kRxSection, "sRCabs", sRCabs);
}

}  // namespace kavu
