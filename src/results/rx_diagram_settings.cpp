#include "results/rx_diagram_settings.h"

namespace kavu {
namespace {

using R = RxDiagramSettings;

// The frequency window's defaults are the data's range, given when loading.
constexpr SettingBinding<RxDiagramSettings> kRxFields[] = {
    Bind<&R::m_Mode>("m_Mode", 0, ClampTo(0, 1)),
    Bind<&R::m_ColorType>("m_ColorType", 0, ClampTo(0, 2)),
    Bind<&R::m_ShowFMin>("m_ShowFMin", 0),
    Bind<&R::m_ShowFMax>("m_ShowFMax", 6600),
    Bind<&R::m_IsLo>("m_IsLo", 0, NonZeroIsOne()),
    Bind<&R::sKSVs>("sKSVs", "1.1 1.3 1.5 2 4"),
    Bind<&R::sRCabs>("sRCabs", "50"),
};

}  // namespace

std::span<const SettingBinding<RxDiagramSettings>> RxDiagramSettings::Bindings() { return kRxFields; }

void RxDiagramSettings::Load(SettingsStore& s, RxRange data) {
  RxDiagramSettings defaults;
  defaults.m_ShowFMin = data.lo;
  defaults.m_ShowFMax = data.hi;
  LoadSettings(s, kRxSection, Bindings(), *this, &defaults);
}

void RxDiagramSettings::Store(SettingsStore& s) const { SaveSettings(s, kRxSection, Bindings(), *this); }

}  // namespace kavu
