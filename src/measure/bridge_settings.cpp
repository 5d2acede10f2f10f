#include "measure/bridge_settings.h"

#include <cmath>

#include "platform/number_text.h"
#include "shell/log_console.h"
#include "shell/settings_binding.h"
#include "shell/settings_store.h"

namespace kavu {

BridgeSettings LoadBridgeSettings() {
  constexpr const char* kSection = "CDlg_SelectGraph";
  BridgeSettings s;
  s.rt = LoadRealEdit(kSection, "m_Most1", 56, 5, 6800);
  s.rb = LoadRealEdit(kSection, "m_Most2", 51, 5, 6800);
  s.rd = LoadRealEdit(kSection, "m_Most3", 330, 24, 5100);
  s.rg = LoadRealEdit(kSection, "m_Most4", 24, 1, 10000);
  s.cs_pf = LoadRealEdit(kSection, "m_Most5", 0, 0, 999999);
  s.z0 = LoadRealEdit(kSection, "m_RCable", 50, 1, 500);
  s.cable_m = Settings().GetProfileDouble(kSection, "m_LenCable", 0);
  if (!(std::fabs(s.cable_m) <= BridgeSettings::kMaxCableM)) {
    Log() << LogColour(kColourError) << "settings: [" << kSection << "] m_LenCable=" << FormatG(s.cable_m, 6)
          << " m is outside -10000 .. 10000 m; no cable transformation (0) is used\n"
          << LogColour(kColourNormal);
    s.cable_m = 0;
  }
  s.trans_len = Settings().GetProfileInt(kSection, "m_IsTransLen", 0);
  s.use_duo_ampl = Settings().GetProfileInt(kSection, "m_UseDuoAmpl", 0);
  s.use_duo_faza = Settings().GetProfileInt(kSection, "m_UseDuoFaza", 0);
  return s;
}

}  // namespace kavu
