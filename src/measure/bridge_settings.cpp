#include "measure/bridge_settings.h"

#include <cmath>

#include "platform/number_text.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {

using B = BridgeSettings;

constexpr SettingBinding<BridgeSettings> kBridgeFields[] = {
    Bind<&B::rt>("m_Most1", 56, DefaultOutside(5, 6800)),
    Bind<&B::rb>("m_Most2", 51, DefaultOutside(5, 6800)),
    Bind<&B::rd>("m_Most3", 330, DefaultOutside(24, 5100)),
    Bind<&B::rg>("m_Most4", 24, DefaultOutside(1, 10000)),
    Bind<&B::cs_pf>("m_Most5", 0, DefaultOutside(0, 999999)),
    Bind<&B::z0>("m_RCable", 50, DefaultOutside(1, 500)),
    Bind<&B::cable_m>("m_LenCable", 0),
    Bind<&B::trans_len>("m_IsTransLen", 0),
    Bind<&B::use_duo_ampl>("m_UseDuoAmpl", 0),
    Bind<&B::use_duo_faza>("m_UseDuoFaza", 0),
};

}  // namespace

std::span<const SettingBinding<BridgeSettings>> BridgeSettings::Bindings() { return kBridgeFields; }

BridgeSettings LoadBridgeSettings() {
  BridgeSettings s;
  LoadSettings(Settings(), BridgeSettings::kSection, BridgeSettings::Bindings(), s);
  // A cable beyond ±10 km (or not a number) only yields overflow: it is refused aloud, so the
  // user sees why the transformation is off.
  if (!(std::fabs(s.cable_m) <= BridgeSettings::kMaxCableM)) {
    Log() << LogColour(kColourError) << "settings: [" << BridgeSettings::kSection << "] m_LenCable="
          << FormatG(s.cable_m, 6) << " m is outside -10000 .. 10000 m; no cable transformation (0) is used\n"
          << LogColour(kColourNormal);
    s.cable_m = 0;
  }
  return s;
}

}  // namespace kavu
