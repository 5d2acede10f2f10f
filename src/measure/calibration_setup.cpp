#include "measure/calibration_setup.h"

#include <algorithm>

#include "shell/settings_fields.h"

namespace kavu {
namespace {

constexpr const char* kSwitchSection = "CDlgCalibrate";
using K = CalibrationSetup;
using Sw = CalibrationSwitch;

constexpr SettingRange LoadRange(size_t i) { return DefaultOutside(K::kLoadMin[i], K::kLoadMax[i]); }

constexpr SettingBinding<CalibrationSetup> kSetupFields[] = {
    Bind<&K::cal_type>("m_CalType", 0, DefaultOutside(0, 1)),
    Bind<&K::aper2>("m_Aper2", 11, DefaultOutside(0, 150)),
    Bind<&K::is_med>("m_IsMed", 0, NonZeroIsOne()),
    Bind<&K::is_korr_ao>("m_IsKorrAO", 1, NonZeroIsOne()),
    Bind<&K::is_korr_a>("m_IsKorrA", 0, NonZeroIsOne()),
    BindElement<&K::names, 0>("m_Cal1Name", ""),
    BindElement<&K::loads_ohm, 0>("m_Cal1R", K::kLoadDefault[0], LoadRange(0)),
    BindElement<&K::names, 1>("m_Cal2Name", ""),
    BindElement<&K::loads_ohm, 1>("m_Cal2R", K::kLoadDefault[1], LoadRange(1)),
    BindElement<&K::names, 2>("m_Cal3Name", ""),
    BindElement<&K::loads_ohm, 2>("m_Cal3R", K::kLoadDefault[2], LoadRange(2)),
};

constexpr SettingBinding<CalibrationSwitch> kSwitchFields[] = {
    Bind<&Sw::is_cal>("m_IsCal", true),
    Bind<&Sw::var_cal>("m_VarCal", 0, DefaultOutside(0, CalibrationSetup::kCount - 1)),
};

}  // namespace

std::span<const SettingBinding<CalibrationSetup>> CalibrationSetup::Bindings() { return kSetupFields; }

std::span<const SettingBinding<CalibrationSwitch>> CalibrationSwitch::Bindings() { return kSwitchFields; }

std::string CalibrationSection(int number) {
  return "Calibrate" + std::to_string(std::clamp(number, 0, CalibrationSetup::kCount - 1));
}

CalibrationSetup LoadCalibrationSetup(int number) {
  CalibrationSetup s;
  LoadSettings(Settings(), CalibrationSection(number), CalibrationSetup::Bindings(), s);
  return s;
}

bool SaveCalibrationSetup(int number, const CalibrationSetup& setup, const CalibrationSetup* before) {
  return SaveSettings(Settings(), CalibrationSection(number), CalibrationSetup::Bindings(), setup, before);
}

CalibrationSwitch LoadCalibrationSwitch() {
  CalibrationSwitch sw;
  LoadSettings(Settings(), kSwitchSection, CalibrationSwitch::Bindings(), sw);
  return sw;
}

bool SaveCalibrationSwitch(const CalibrationSwitch& sw) {
  return SaveSettings(Settings(), kSwitchSection, CalibrationSwitch::Bindings(), sw);
}

}  // namespace kavu
